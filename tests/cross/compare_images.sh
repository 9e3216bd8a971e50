#!/usr/bin/env bash
# Packs the same dictionaries with the Linux build and with the Windows build under Wine
# and compares the packed images byte for byte. ANSI text is packed under two system code
# pages, 1252 and 936: Wine takes its ANSI code page (CP_ACP) from LC_ALL as Linux does its
# locale's, so neither side is told the code page on the command line.
# Usage: compare_images.sh LINUX_BUILD_DIR WINDOWS_BUILD_DIR
set -euo pipefail
cd "$(dirname "$0")/../.."
linux=$(realpath "$1")/src/cli/lexora-cli
windows=$(realpath "$2")/src/cli/lexora-cli.exe
prefix=$(realpath "$2")/wineprefix
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

python3 tests/cross/make_fixtures.py "$work/in"
cp examples/*.txt tests/data/dictzip/inorder.* "$work/in/"

failures=0
runner=$PWD/scripts/run_under_wine.sh
# pack LOCALE FILE: packs FILE with both builds under LOCALE and compares the images.
pack() {
  local locale=$1 file=$2 name
  name=$(basename "$file")
  mkdir -p "$work/linux/$locale" "$work/windows/$locale"
  (cd "$work/in" && env LC_ALL="$locale" LANG= LANGUAGE= "$linux" pack "$name" \
    -o "$work/linux/$locale/$name.lxp" >/dev/null)
  (cd "$work/in" && env LC_ALL="$locale" LANG= LANGUAGE= "$runner" "$prefix" "$windows" pack \
    "$name" -o "$work/windows/$locale/$name.lxp" >/dev/null)
  if cmp -s "$work/linux/$locale/$name.lxp" "$work/windows/$locale/$name.lxp"; then
    echo "same   $locale $name ($(stat -c %s "$work/linux/$locale/$name.lxp") bytes)"
  else
    echo "DIFFER $locale $name"
    failures=$((failures + 1))
  fi
}

for f in english.txt chinese-english.txt utf16.txt plain.ifo gzipped.ifo inorder.ifo \
         powerword.ifo; do
  pack en_US.UTF-8 "$f"
done
pack en_US.UTF-8 ansi-cp1252.txt
pack zh_CN.UTF-8 ansi-cp936.tab
pack zh_CN.UTF-8 chinese-english.txt
pack zh_CN.UTF-8 utf16.txt

if [ "$failures" -ne 0 ]; then
  echo "$failures packed images differ between the Linux and the Windows build" >&2
  exit 1
fi
echo "Linux and Windows pack every dictionary to the same bytes"
