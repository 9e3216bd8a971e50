#!/usr/bin/env bash
# Loading benchmark for MDict: bench/gen_mdict.py writes a version 2.0 .mdx (zlib, LZO and
# uncompressed blocks in turn, the key-info cipher on, 2% of entries @@@LINK= records) and a
# StarDict of the same entries (one HTML field each); lexora-bench-load reads each under
# /usr/bin/time, alternated within each round. The best time and the highest peak memory of
# the rounds count. The generator's own time is measured too.
#   bench/mdict/run.sh [ENTRIES] [ROUNDS]
set -euo pipefail
cd "$(dirname "$0")/../.."
entries=${1:-1000000}
rounds=${2:-3}
out=bench/out/mdict-$entries
mkdir -p "$out"
source bench/rounds.sh
# The interpreter itself, not a version manager's shim, so its start is not timed.
py=$(python3 -c 'import sys; print(sys.executable)')
mdx=$out/bench.mdx
if [ ! -f "$mdx" ] || [ bench/gen_mdict.py -nt "$mdx" ]; then
  echo "load average before generating: $(cut -d' ' -f1-3 /proc/loadavg)"
  /usr/bin/time -f "%e %M" -o "$out/generator-time" "$py" bench/gen_mdict.py "$mdx" "$entries" \
    --compression mixed --encrypted 2 --links 0.02 --stardict "$out/stardict"
fi
read -r gen_s gen_kb <"$out/generator-time"
mdx_bytes=$(stat -c %s "$mdx")
awk -v s="$gen_s" -v kb="$gen_kb" -v n="$entries" -v b="$mdx_bytes" 'BEGIN {
  printf "generator: %d entries in %.1f s (%.0f entries/s), peak %.0f MB; the .mdx is %.1f MB\n",
    n, s, n / s, kb / 1024, b / 1048576 }'

scripts/build.sh default >/dev/null
load=build/default/bench/lexora-bench-load

# Until the MDict reader is in this build, the loader turns .mdx down by its extension: then
# there is nothing to measure but the generator.
if ! LC_ALL=C.UTF-8 LANGUAGE= "$load" tests/data/mdict/v2-zlib.mdx >"$out/probe" 2>&1; then
  if grep -q 'extend name' "$out/probe"; then
    echo "this build does not read .mdx yet (no MDict reader): only the generator was measured"
    exit 0
  fi
  echo "loading a small .mdx failed:"; cat "$out/probe"; exit 1
fi

declare -A file best mem records
file[mdx]=$mdx
file[stardict]=$out/stardict/bench.ifo
formats=(mdx stardict)
for f in "${formats[@]}"; do best[$f]=999999; mem[$f]=0; records[$f]=-; done
source_bytes=$(stat -c %s "$out"/stardict/bench.{idx,dict} | awk '{ s += $1 } END { print s }')
echo "load average at start: $(cut -d' ' -f1-3 /proc/loadavg)"
for r in $(seq "$rounds"); do
  line="round $r:"
  for f in "${formats[@]}"; do
    # StarDict's HTML fields are kept as text, as the .mdx's HTML records are.
    bench_load_once "$f" "$out" "$load" --markup-as-text "${file[$f]}"
  done
  echo "$line"
done
echo "load average at end: $(cut -d' ' -f1-3 /proc/loadavg)"

echo "$entries entries; times from /usr/bin/time (whole process), best of $rounds rounds"
echo "| format | records | load s | entries/s | x StarDict | peak MB | file MB | (peak - StarDict's) / .mdx |"
echo "|---|---|---|---|---|---|---|---|"
for f in "${formats[@]}"; do
  bytes=$mdx_bytes
  [ "$f" = stardict ] && bytes=$source_bytes
  awk -v f="$f" -v n="$entries" -v r="${records[$f]}" -v s="${best[$f]}" -v sd="${best[stardict]}" \
    -v kb="${mem[$f]}" -v sdkb="${mem[stardict]}" -v b="$bytes" -v mdx="$mdx_bytes" 'BEGIN {
    extra = (f == "mdx") ? sprintf("%.2f", (kb - sdkb) * 1024 / mdx) : "-"
    printf "| %s | %s | %.2f | %.0f | %.2f | %.0f | %.1f | %s |\n", f, r, s, n / s, s / sd,
      kb / 1024, b / 1048576, extra }'
done
echo "targets: .mdx entries/s >= 500000; peak <= 2 x the .mdx + the output (StarDict's peak"
echo "stands for the output: the same entries loaded)"
echo "file: the .mdx; for StarDict its .idx + .dict"
