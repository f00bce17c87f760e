#!/usr/bin/env bash
# Renders the PNG sizes of the application icon from face_qt/resources/mailvane.svg
# into packaging/icons/. The results are committed; run this again after
# changing the SVG (needs rsvg-convert from librsvg2-bin).
set -euo pipefail
cd "$(dirname "$0")/.."
for size in 48 256; do
  rsvg-convert --width "$size" --height "$size" --output "packaging/icons/mailvane-$size.png" \
    face_qt/resources/mailvane.svg
done
