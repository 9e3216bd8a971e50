#!/usr/bin/env bash
# Packing benchmark: a 1,000,000-entry text dictionary, lexora-cli pack against gzip -9 of
# the same file, alternated in one run (the machine is noisy, so the ratio is what counts),
# plus loading alone and peak memory.
#   bench/run_pack.sh [ENTRIES] [ROUNDS]
set -euo pipefail
cd "$(dirname "$0")/.."
entries=${1:-1000000}
rounds=${2:-3}
out=bench/out
mkdir -p "$out"
dict="$out/text-$entries.txt"
[ -f "$dict" ] || python3 bench/gen_text_dictionary.py "$dict" "$entries"
scripts/build.sh default >/dev/null
cli=build/default/src/cli/lexora-cli
load=build/default/bench/lexora-bench-load

seconds() { /usr/bin/time -f "%e %M" -o "$out/time" "$@" >/dev/null 2>&1; cat "$out/time"; }

size=$(stat -c %s "$dict")
best_gzip=999999 best_pack=999999 best_load=999999 peak=0
for r in $(seq "$rounds"); do
  read -r g _ < <(seconds sh -c "gzip -9 -c '$dict' > '$out/text.gz'")
  read -r p mem < <(seconds "$cli" pack --force "$dict" -o "$out/text.lxp")
  l=$("$load" "$dict" | sed -E 's/.* in ([0-9.]+) s/\1/')
  echo "round $r: gzip -9 ${g}s  pack ${p}s (${mem} KB)  load ${l}s"
  best_gzip=$(echo "$g $best_gzip" | awk '{print ($1<$2)?$1:$2}')
  best_pack=$(echo "$p $best_pack" | awk '{print ($1<$2)?$1:$2}')
  best_load=$(echo "$l $best_load" | awk '{print ($1<$2)?$1:$2}')
  peak=$(( mem > peak ? mem : peak ))
done

awk -v g="$best_gzip" -v p="$best_pack" -v l="$best_load" -v n="$entries" -v m="$peak" -v s="$size" 'BEGIN {
  printf "file: %d entries, %.1f MB\n", n, s / 1048576
  printf "pack / gzip -9 (best of each): %.2f s / %.2f s = %.2f  (target <= 0.70)\n", p, g, p / g
  printf "peak memory of pack: %.0f MB = %.2f x the file  (target <= 3)\n", m / 1024, m * 1024 / s
  printf "load alone: %.2f s = %.0f entries/s  (target >= 1,000,000)\n", l, n / l
}'
