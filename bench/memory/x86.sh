#!/usr/bin/env bash
# The 32-bit build on a dictionary of gigabytes: `lexora-cli.exe pack` of the x86 cross
# build, under 32-bit Wine, of a generated text dictionary (default 16,000,000 entries,
# about 1.5 GB), its peak memory and time, and its image against the Linux build's.
# Large-address aware, the program has 4 GB of address space instead of 2. Where 32-bit
# Wine or the x86 build is missing, says so and exits 0.
#   bench/memory/x86.sh [ENTRIES]
set -euo pipefail
cd "$(dirname "$0")/../.."
entries=${1:-16000000}
out=bench/out/memory-x86
mkdir -p "$out"
if ! dpkg-query -W -f='${Status}' wine32:i386 2>/dev/null | grep -q 'install ok installed'; then
  echo "skipped: 32-bit Wine (wine32:i386) is not installed (scripts/setup.sh windows says why)"
  exit 0
fi
exe=build/windows-x86/src/cli/lexora-cli.exe
if [ ! -f "$exe" ]; then
  echo "skipped: no x86 build ($exe); scripts/build.sh windows-x86 makes it"
  exit 0
fi
# Read whole first: grep -q leaving early would break objdump's pipe (pipefail).
headers=$(i686-w64-mingw32-objdump -p "$exe")
grep -q 'large address aware' <<<"$headers" ||
  { echo "$exe is not large-address aware"; exit 1; }
scripts/build.sh default >/dev/null

dict=$out/text-$entries.txt
[ -f "$dict" ] || python3 bench/gen_text_dictionary.py "$dict" "$entries" >/dev/null
size=$(stat -c %s "$dict")
prefix=$PWD/build/windows-x86/wineprefix
# Absolute paths: Wine runs the program on drive Z:, the Linux root, where they name the
# same files.
/usr/bin/time -f "%e %M" -o "$out/time-x86" scripts/run_under_wine.sh "$prefix" "$exe" \
  pack --force "$PWD/$dict" -o "$PWD/$out/x86.lxp" >"$out/x86.log" 2>&1 ||
  { echo "the x86 pack failed:"; cat "$out/x86.log"; exit 1; }
/usr/bin/time -f "%e %M" -o "$out/time-linux" build/default/src/cli/lexora-cli pack --force \
  "$dict" -o "$out/linux.lxp" >/dev/null 2>&1
cmp -s "$out/x86.lxp" "$out/linux.lxp" || { echo "the x86 image differs from the Linux one"; exit 1; }
read -r xs xkb <"$out/time-x86"
read -r ls lkb <"$out/time-linux"
awk -v n="$entries" -v b="$size" -v xs="$xs" -v xkb="$xkb" -v ls="$ls" -v lkb="$lkb" 'BEGIN {
  printf "%d entries, %.0f MiB (bound %.0f MiB); images identical\n", n, b / 1048576, b / 1048576 + 64
  printf "x86 under Wine: %.1f s, peak %.0f MiB (Wine itself included)\n", xs, xkb / 1024
  printf "Linux x86-64:   %.1f s, peak %.0f MiB\n", ls, lkb / 1024 }'
