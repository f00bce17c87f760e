#!/usr/bin/env bash
# Installs what is missing, builds, and starts the Mailvane window (needs a display:
# a desktop session, or DISPLAY pointing at an X server such as Xvfb).
# Until the window exists, converts the sample messages with quorvex instead.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/install-deps.sh
cmake --preset default > /dev/null
cmake --build --preset default -j "$(nproc)"

if [ -x build/default/bin/mailvane ]; then
  exec build/default/bin/mailvane "$@"
fi

out="${1:-$PWD/converted}"
mkdir -p "$out"
for msg in build/default/bin/Samples/*.msg; do
  [ -e "$msg" ] || continue
  build/default/bin/quorvex "$msg" "$out/"
done
echo "Converted the sample messages into $out"
