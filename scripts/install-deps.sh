#!/usr/bin/env bash
# Installs every Debian 12 package the build, the tests and the tools need: the
# list in scripts/debian-packages.txt. Safe to run again: apt-get skips what is
# already there.
set -euo pipefail

mapfile -t packages < <(sed 's/#.*//' "$(dirname "$0")/debian-packages.txt" | tr -s ' \t' '\n' | grep -v '^$')

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
