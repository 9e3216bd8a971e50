#!/usr/bin/env bash
# Remakes the committed PNG sizes and the Windows .ico from lexora.svg. Only needed after the
# drawing changes (the build uses the committed files): needs rsvg-convert (librsvg2-bin) and
# icotool (icoutils). The 256-pixel image goes into the .ico as PNG, as Windows expects.
set -euo pipefail
cd "$(dirname "$0")"
for n in 16 24 32 48 64 128 256; do
  mkdir -p "icons/${n}x${n}"
  rsvg-convert -w "$n" -h "$n" lexora.svg -o "icons/${n}x${n}/lexora.png"
done
icotool -c -o lexora.ico icons/16x16/lexora.png icons/32x32/lexora.png icons/48x48/lexora.png \
  -r icons/256x256/lexora.png
