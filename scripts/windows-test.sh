#!/usr/bin/env bash
# Builds Quorvex.exe, the window's core and Mailvane.exe for 64-bit Windows and
# tests them under Wine: the converter's unit tests, the command line as the
# window uses it, the core's tests (the batch run with the real Quorvex.exe,
# folder scanning, the registry store, the window's handlers against a scripted
# face), the Windows window's face on a virtual display, every corpus file and
# sample against the Linux build's quorvex (built by the default preset first),
# the window end to end and its installer (scripts/windows-window-test.sh), and
# the zip.
set -euo pipefail
cd "$(dirname "$0")/.."

linux_tool="${LINUX_QUORVEX:-build/default/bin/quorvex}"
if [ ! -x "$linux_tool" ]; then
  echo "windows-test.sh: $linux_tool is missing; build the default preset first" >&2
  exit 1
fi

export WINEPREFIX="$PWD/build/windows/wineprefix" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
# The window's tests need a display: a virtual one of our own.
display=""
for n in $(seq 80 120); do
  if [ ! -e "/tmp/.X11-unix/X$n" ] && [ ! -e "/tmp/.X$n-lock" ]; then display=":$n"; break; fi
done
[ -n "$display" ] || { echo "windows-test.sh: no free X display number" >&2; exit 1; }
Xvfb "$display" -screen 0 1024x768x24 -nolisten tcp > /dev/null 2>&1 &
xvfb_pid=$!
export DISPLAY="$display"
echo "=== windows: configure and build"
cmake --preset windows > /dev/null
cmake --build --preset windows -j "$(nproc)"
# One Wine server for the whole run, instead of one per started program. Its
# services start now, away from the tests' output: started by a test they would
# hold its output pipe open, and ctest would wait for them.
wineserver -k 2> /dev/null || true  # one left from an earlier run may not be persistent
wineserver -w
wineserver -p
trap 'wineserver -k 2>/dev/null || true; kill "$xvfb_pid" 2>/dev/null || true' EXIT
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

# The downloads first: the window's check installs the .msi made here.
echo "=== windows: the downloads (zip and installer)"
bash scripts/windows-package.sh

echo "=== windows: the window end to end, and its installer"
window_check=0
bash scripts/windows-window-test.sh || window_check=$?

if [ "$unit_tests" -ne 0 ]; then
  echo "windows: unit tests failed (above)" >&2
  exit "$unit_tests"
fi
if [ "$window_check" -ne 0 ]; then
  echo "windows: the window's check failed (above)" >&2
  exit "$window_check"
fi
