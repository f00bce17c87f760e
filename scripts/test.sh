#!/usr/bin/env bash
# Builds and runs every test: once in the release build, once under
# AddressSanitizer + UndefinedBehaviorSanitizer, and the Windows programs under Wine.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/install-deps.sh
# Fails, naming the Debian package, when a script uses a module or command that
# scripts/install-deps.sh does not bring onto a fresh machine.
/usr/bin/python3 scripts/check-deps.py

for preset in default asan; do
  echo "=== ${preset}: configure and build"
  cmake --preset "$preset" > /dev/null
  cmake --build --preset "$preset" -j "$(nproc)"
  echo "=== ${preset}: tests"
  ctest --preset "$preset"
done

# Quorvex.exe and Mailvane.exe for Windows, cross-built and tested under Wine
# against the Linux build above; the window end to end, its installer and the zip.
echo "=== windows: Quorvex.exe and Mailvane.exe under Wine"
bash scripts/windows-test.sh

if [ -f fuzz/run-brief.sh ]; then
  echo "=== fuzz targets, briefly"
  bash fuzz/run-brief.sh
fi

# The Debian package, built and tried in a scratch root (about 2.5 minutes).
echo "=== package: build, unpack, start the window, convert the samples"
JOBS="$(nproc)" bash scripts/package-test.sh
