#!/usr/bin/env bash
# Screenshots of the native Windows dialogs (main dialog, About box, password dialog, in
# Chinese and English) under Wine into docs/screenshots/win-*.png. Builds the windows preset's
# screenshot tool first; starts Xvfb when there is no display. The private Wine prefix gets
# WenQuanYi Micro Hei (fonts-wqy-microhei) in place of SimSun and as the shell font's link,
# so the Chinese texts render instead of boxes, and draws its own window frames.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
font=/usr/share/fonts/truetype/wqy/wqy-microhei.ttc
if [[ ! -f $font ]]; then
  echo "screenshots-windows: no Chinese-capable font ($font); run scripts/setup.sh" >&2
  exit 1
fi

cmake --preset windows >/dev/null
cmake --build --preset windows -j2 --target lexora-screenshots

export WINEPREFIX=${LEXORA_WINEPREFIX:-$root/build/windows/wine-screenshots}
export WINEDEBUG=-all
started_xvfb=
if [[ -z ${DISPLAY:-} ]]; then
  display=:$((90 + RANDOM % 100))
  Xvfb "$display" -screen 0 1024x768x24 -nolisten tcp >/dev/null 2>&1 &
  started_xvfb=$!
  trap 'kill "$started_xvfb" 2>/dev/null || true' EXIT
  export DISPLAY=$display
  sleep 1
fi

if [[ ! -d $WINEPREFIX ]]; then
  wineboot -i >/dev/null 2>&1
fi
# Wine draws the caption buttons with Marlett, which Debian keeps outside the prefix.
if [[ -f /usr/share/wine/fonts/marlett.ttf ]]; then
  cp /usr/share/wine/fonts/marlett.ttf "$WINEPREFIX/drive_c/windows/Fonts/"
fi
regfile=$(mktemp --suffix=.reg)
cat >"$regfile" <<'REG'
Windows Registry Editor Version 5.00

[HKEY_CURRENT_USER\Software\Wine\Fonts\Replacements]
"SimSun"="WenQuanYi Micro Hei"
"宋体"="WenQuanYi Micro Hei"

[HKEY_LOCAL_MACHINE\Software\Microsoft\Windows NT\CurrentVersion\FontLink\SystemLink]
"Tahoma"=hex(7):77,00,71,00,79,00,2d,00,6d,00,69,00,63,00,72,00,6f,00,68,00,65,00,69,00,2e,00,74,00,74,00,63,00,2c,00,57,00,65,00,6e,00,51,00,75,00,61,00,6e,00,59,00,69,00,20,00,4d,00,69,00,63,00,72,00,6f,00,20,00,48,00,65,00,69,00,00,00,00,00
"Microsoft Sans Serif"=hex(7):77,00,71,00,79,00,2d,00,6d,00,69,00,63,00,72,00,6f,00,68,00,65,00,69,00,2e,00,74,00,74,00,63,00,2c,00,57,00,65,00,6e,00,51,00,75,00,61,00,6e,00,59,00,69,00,20,00,4d,00,69,00,63,00,72,00,6f,00,20,00,48,00,65,00,69,00,00,00,00,00

[HKEY_CURRENT_USER\Software\Wine\X11 Driver]
"Decorated"="N"
"Managed"="N"
REG
iconv -f UTF-8 -t UTF-16LE <(printf '\xef\xbb\xbf'; cat "$regfile") >"$regfile.utf16"
wine regedit /S "$(winepath -w "$regfile.utf16")" >/dev/null 2>&1
wineserver -w
rm -f "$regfile" "$regfile.utf16"

mkdir -p docs/screenshots
wine build/windows/src/app/win32/lexora-screenshots.exe "$(winepath -w docs/screenshots)"
wineserver -k || true
ls -l docs/screenshots/win-*.png
