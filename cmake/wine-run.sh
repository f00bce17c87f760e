#!/bin/sh
# wine-run.sh <wine prefix> <program.exe> [arguments...]
# Runs a cross-built program under Wine in the build's own prefix (unless WINEPREFIX
# names another), quietly, without offering to install Wine's .NET or browser parts.
prefix="$1"
shift
export WINEPREFIX="${WINEPREFIX:-$prefix}"
export WINEDEBUG="${WINEDEBUG:--all}"
export WINEDLLOVERRIDES="${WINEDLLOVERRIDES:-mscoree,mshtml=}"
exec wine "$@"
