#!/usr/bin/env bash
# Writes mailvane.ico, the program's icon on Windows, from the window's PNG icon:
# 256, 48, 32 and 16 pixels square, 32 bits per pixel (ImageMagick).
#
#   bash face_win32/resources/make_icon.sh
set -euo pipefail
here="$(dirname "$0")"
/usr/bin/convert "$here/../../face_qt/resources/mailvane.png" -background none -alpha on \
  -define icon:auto-resize=256,48,32,16 "$here/mailvane.ico"
