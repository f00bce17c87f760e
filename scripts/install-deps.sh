#!/usr/bin/env bash
# Installs every Debian 12 package that a build step, test, check script or
# packaging step uses. scripts/check-deps.py fails when a script uses a Python
# module, typelib or command that none of these (nor the base system) brings.
# Safe to run again: apt-get skips what is already there.
set -euo pipefail

packages=(
  build-essential cmake ninja-build pkg-config
  qt6-base-dev qt6-base-dev-tools libgl-dev
  libgtest-dev googletest libbenchmark-dev
  clang-14 libclang-rt-14-dev
  python3 python3-olefile python3-gi gir1.2-gmime-3.0
  python3-icalendar python3-dateutil
  xvfb xauth fonts-liberation
  desktop-file-utils appstream file
  g++-mingw-w64-x86-64-posix wine wine64
  wixl xdotool imagemagick
  libcli11-dev parallel
)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

SUDO=""
if [ "$(id -u)" -ne 0 ]; then SUDO="sudo"; fi
export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get update -qq
$SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
