#!/usr/bin/env bash
# Renders the hicolor PNG sizes from the scalable icon. Run after changing the SVG and
# commit the PNGs with it (the build itself needs no SVG renderer).
set -euo pipefail
PW_ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
source "$PW_ROOT/scripts/setup.sh"
pw_install_packages librsvg2-bin
icons=$PW_ROOT/desktop/icons
for size in 16 22 24 32 48 64 128 256; do
  rsvg-convert -w "$size" -h "$size" "$icons/com.brindlecroft.Patchwarden.svg" -o "$icons/patchwarden-$size.png"
done
