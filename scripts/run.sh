#!/usr/bin/env bash
# Sets everything up and plays the demo full screen. With no display it renders
# the demo to a video file instead.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
"$root/scripts/setup.sh" "$root/build"
if [ -n "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ]; then
  exec "$root/build/bin/tessary"
fi
if [ -x "$root/build/bin/tessary-capture" ]; then
  echo "No display found: rendering the demo to a video file instead."
  exec "$root/build/bin/tessary-capture" --output "$root/tessary.mp4"
fi
echo "No display found, and the capture tool is not built." >&2
exit 1
