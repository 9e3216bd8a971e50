#!/usr/bin/env bash
# StarDict loading benchmark, all measured side by side in each round:
# - lexora-cli info (load and pack) on six forms of one dictionary: .dict, .dict.dz as
#   gen_stardict.py writes it, and .dict.dz made by Debian's dictzip from the .dict, each with
#   the data blocks in index order and shuffled;
# - lexora-cli pack on the in-order .dict against gzip -9 of that .dict;
# - loading alone (lexora-bench-load: read, sort and merge) on the in-order .dict;
# - peak resident memory of every lexora-cli run (/usr/bin/time).
#   bench/stardict/run.sh [ENTRIES] [ROUNDS]
set -euo pipefail
cd "$(dirname "$0")/../.."
entries=${1:-1000000}
rounds=${2:-3}
out=bench/out/stardict-$entries
[ -f "$out/shuffled-dz/bench.dict.dz" ] || python3 bench/stardict/gen_stardict.py "$out" "$entries"
# dictzip ends its stream with an empty final block after the last chunk.
for order in inorder shuffled; do
  made=$out/$order-dictzip
  [ -f "$made/bench.dict.dz" ] && continue
  mkdir -p "$made"
  cp "$out/$order-dict/bench.ifo" "$out/$order-dict/bench.idx" "$out/$order-dict/bench.dict" "$made/"
  dictzip "$made/bench.dict"
done
scripts/build.sh default >/dev/null
cli=build/default/src/cli/lexora-cli
load=build/default/bench/lexora-bench-load
forms=(inorder-dict shuffled-dict inorder-dz shuffled-dz inorder-dictzip shuffled-dictzip)

# Prints "seconds peak-KB" of a command.
measure() { /usr/bin/time -f "%e %M" -o "$out/time" "$@" >/dev/null 2>&1; cat "$out/time"; }
min() { awk -v a="$1" -v b="$2" 'BEGIN { print (a < b) ? a : b }'; }

data=$out/inorder-dict/bench.dict
size=$(stat -c %s "$data")
declare -A best mem_of
for key in "${forms[@]}" pack gzip load; do best[$key]=999999; mem_of[$key]=0; done
peak=0
for r in $(seq "$rounds"); do
  line="round $r:"
  for form in "${forms[@]}"; do
    read -r s mem < <(measure "$cli" info "$out/$form/bench.ifo")
    best[$form]=$(min "$s" "${best[$form]}")
    mem_of[$form]=$(( mem > ${mem_of[$form]} ? mem : ${mem_of[$form]} ))
    peak=$(( mem > peak ? mem : peak ))
    line="$line info $form ${s}s (${mem} KB);"
  done
  read -r s mem < <(measure "$cli" pack --force "$out/inorder-dict/bench.ifo" -o "$out/bench.lxp")
  best[pack]=$(min "$s" "${best[pack]}")
  peak=$(( mem > peak ? mem : peak ))
  read -r g _ < <(measure sh -c "gzip -9 -c '$data' > '$out/bench.dict.gz'")
  best[gzip]=$(min "$g" "${best[gzip]}")
  l=$("$load" "$out/inorder-dict/bench.ifo" | sed -E 's/.* in ([0-9.]+) s/\1/')
  best[load]=$(min "$l" "${best[load]}")
  echo "$line pack ${s}s (${mem} KB); gzip -9 ${g}s; load ${l}s"
done

awk -v n="$entries" -v s="$size" -v m="$peak" -v id="${best[inorder-dict]}" \
  -v sd="${best[shuffled-dict]}" -v iz="${best[inorder-dz]}" -v sz="${best[shuffled-dz]}" \
  -v p="${best[pack]}" -v g="${best[gzip]}" -v l="${best[load]}" \
  -v imd="${best[inorder-dictzip]}" -v smd="${best[shuffled-dictzip]}" \
  -v mid="${mem_of[inorder-dict]}" -v mimd="${mem_of[inorder-dictzip]}" 'BEGIN {
  printf "dictionary: %d entries, %.1f MB of data (sametypesequence tm)\n", n, s / 1048576
  printf "info, best of rounds: in-order .dict %.2f s, shuffled .dict %.2f s, in-order .dict.dz %.2f s, shuffled .dict.dz %.2f s\n", id, sd, iz, sz
  printf "info shuffled .dict.dz / in-order .dict: %.2f  (target <= 1.3)\n", sz / id
  printf "dictzip-made .dict.dz: in-order %.2f s, shuffled %.2f s\n", imd, smd
  printf "info shuffled dictzip-made / in-order .dict: %.2f  (target <= 1.3)\n", smd / id
  printf "peak memory, in-order dictzip-made / in-order .dict: %.0f MB / %.0f MB = %.2f  (target <= 1.1)\n", mimd / 1024, mid / 1024, mimd / mid
  printf "load alone on in-order .dict: %.2f s = %.0f entries/s  (target >= 500,000)\n", l, n / l
  printf "pack / gzip -9 of the .dict: %.2f s / %.2f s = %.2f  (target <= 0.7)\n", p, g, p / g
  printf "peak memory of lexora-cli: %.0f MB = %.2f x the data  (target <= 3)\n", m / 1024, m * 1024 / s
}'
