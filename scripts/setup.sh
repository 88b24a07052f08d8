#!/usr/bin/env bash
# Installs every Debian package the project needs (quiet when all are there),
# then configures and builds one build tree.
#   scripts/setup.sh [BUILD_DIR [extra cmake arguments...]]
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)

packages=(
  build-essential cmake ninja-build pkg-config
  libsdl2-dev libopenmpt-dev libjpeg62-turbo-dev libfreetype-dev fonts-dejavu-core
  googletest libgtest-dev libgmock-dev libbenchmark-dev libxmp-dev
  clang libclang-rt-14-dev
  zlib1g-dev libpng-dev
  ffmpeg xvfb xauth x11-apps imagemagick
)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if ((${#missing[@]})); then
  echo "setup: installing ${missing[*]}"
  sudo=""
  [ "$(id -u)" -eq 0 ] || sudo="sudo"
  export DEBIAN_FRONTEND=noninteractive
  $sudo apt-get update -qq
  $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
fi

build=${1:-$root/build}
shift || true
cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo "$@" >/dev/null
cmake --build "$build" -j "$(nproc)"
