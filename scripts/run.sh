#!/usr/bin/env bash
# Sets everything up and plays the demo full screen. With no display it renders
# the demo to a video file instead (tessary.mp4 at the top of the repository;
# without ffmpeg, PNG frames and a WAV file in tessary/).
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
"$root/scripts/setup.sh" "$root/build"
if [ -n "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ]; then
  exec "$root/build/bin/tessary"
fi
capture="$root/build/bin/tessary-capture"
if [ ! -x "$capture" ]; then
  echo "No display found, and the capture tool is not built." >&2
  exit 1
fi
echo "No display found: rendering the demo to a video file instead (with its sound;"
echo "Escape is pressed a few seconds into the cake, as a viewer would)."
rm -f "$root/tessary.mp4"
status=0
"$capture" --output "$root/tessary.mp4" || status=$?
if [ "$status" -ne 0 ]; then
  echo "The capture failed (exit code $status)." >&2
  exit "$status"
fi
if [ -f "$root/tessary.mp4" ]; then
  echo "Done: the video is $root/tessary.mp4"
else
  echo "Done (no ffmpeg): the frames are in $root/tessary/, the sound is $root/tessary/audio.wav"
fi
