#!/usr/bin/env bash
# Cross-builds Lexora for Windows (mingw-w64) and runs the whole test suite under Wine in a
# private prefix (build/windows/wineprefix, made on first use). No display is needed.
# The Linux build is made as well: the comparison of packed images needs both.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh windows
scripts/build.sh default
scripts/build.sh windows

export WINEPREFIX="$PWD/build/windows/wineprefix"
export WINEDEBUG=-all WINEDLLOVERRIDES="winemenubuilder.exe=d;mscoree=d;mshtml=d"
unset DISPLAY WAYLAND_DISPLAY
if [ ! -f "$WINEPREFIX/system.reg" ]; then
  wineboot -i >/dev/null 2>&1
fi
# One wineserver stays up for the whole run instead of one starting per test program.
wineserver -p
trap 'wineserver -k 2>/dev/null || true' EXIT

ctest --preset windows
tests/cross/compare_images.sh build/default build/windows
