#!/bin/sh
# Validates the desktop entry and the AppStream metainfo given as $1 and $2.
# Exits 77 (skipped) when a validator is not installed: packages
# desktop-file-utils and appstream.
set -u
for tool in desktop-file-validate appstreamcli; do
  if ! command -v "$tool" > /dev/null 2>&1; then
    echo "skipped: $tool is not installed (scripts/install-deps.sh installs it)"
    exit 77
  fi
done
status=0
# desktop-file-validate prints hints and warnings but fails only on errors;
# a warning is a fault here too.
output=$(desktop-file-validate "$1" 2>&1) || status=1
[ -n "$output" ] && echo "$output"
echo "$output" | grep -q "error:\|warning:" && status=1
# --no-net: the screenshot address is not fetched, so the test runs offline.
appstreamcli validate --no-net "$2" || status=1
exit $status
