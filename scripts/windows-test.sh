#!/usr/bin/env bash
# Builds Quorvex.exe and the window's core for 64-bit Windows and tests them
# under Wine: the converter's unit tests, the command line as the window uses it,
# the core's tests (the batch run with the real Quorvex.exe, folder scanning, the
# registry store, the window's handlers against a scripted face), and every
# corpus file and sample against the Linux build's quorvex (built by the default
# preset first).
set -euo pipefail
cd "$(dirname "$0")/.."

linux_tool="${LINUX_QUORVEX:-build/default/bin/quorvex}"
if [ ! -x "$linux_tool" ]; then
  echo "windows-test.sh: $linux_tool is missing; build the default preset first" >&2
  exit 1
fi

export WINEPREFIX="$PWD/build/windows/wineprefix" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
echo "=== windows: configure and build"
cmake --preset windows > /dev/null
cmake --build --preset windows -j "$(nproc)"
# One Wine server for the whole run, instead of one per started program. Its
# services start now, away from the tests' output: started by a test they would
# hold its output pipe open, and ctest would wait for them.
wineserver -k 2> /dev/null || true  # one left from an earlier run may not be persistent
wineserver -w
wineserver -p
trap 'wineserver -k 2>/dev/null || true' EXIT
wine cmd /c exit < /dev/null > /dev/null 2>&1

# A failing unit test does not stop the checks below; the script fails at the end.
echo "=== windows: unit tests under Wine"
unit_tests=0
ctest --preset windows || unit_tests=$?

echo "=== windows: the corpus and the samples, against the Linux build"
scratch="build/windows/corpus-check"
rm -rf "$scratch"
mkdir -p "$scratch"
python3 tests/converter_tool/windows_check.py build/windows/bin/Quorvex.exe "$linux_tool" "$scratch" \
  ../shared/corpus build/windows/bin/Samples

echo "=== windows: the download"
bash scripts/windows-package.sh

if [ "$unit_tests" -ne 0 ]; then
  echo "windows: unit tests failed (above)" >&2
  exit "$unit_tests"
fi
