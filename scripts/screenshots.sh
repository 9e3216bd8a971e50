#!/usr/bin/env bash
# Renders the desktop dialog (main dialog, About box, password dialog) in Chinese and in
# English to docs/screenshots/qt-*.png on Qt's offscreen platform with the installed fonts.
# Fails when no Chinese-capable font is installed, rather than rendering boxes.
# Usage: scripts/screenshots.sh [PRESET]   (default: "default"; builds lexora-screenshots)
set -euo pipefail
cd "$(dirname "$0")/.."
preset=${1:-default}

if ! command -v fc-list >/dev/null || [ -z "$(fc-list :lang=zh family)" ]; then
  echo "screenshots: no Chinese-capable font found (fc-list :lang=zh); run scripts/setup.sh" >&2
  exit 1
fi

cmake --preset "$preset" -DLEXORA_WERROR=ON >/dev/null
cmake --build --preset "$preset" --target lexora-screenshots
binary=$(find "build/$preset" -type f -name lexora-screenshots -perm -u+x | head -n 1)
if [ -z "$binary" ]; then
  echo "screenshots: lexora-screenshots was not built (is Qt 6 Widgets installed?)" >&2
  exit 1
fi

mkdir -p docs/screenshots
# A fixed, private settings folder and language environment: the pictures depend on nothing
# but the fonts.
config=$(mktemp -d)
trap 'rm -rf "$config"' EXIT
QT_QPA_PLATFORM=offscreen XDG_CONFIG_HOME="$config" LC_ALL=C.UTF-8 LANGUAGE= \
  "$binary" docs/screenshots
