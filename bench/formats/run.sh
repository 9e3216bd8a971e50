#!/usr/bin/env bash
# Loading benchmark across formats: the same entries (bench/formats/gen_formats.py) as StarDict,
# dictd (.dict and .dict.dz), DSL (UTF-16LE and UTF-8) and XDXF, each loaded by
# lexora-bench-load (read, sort and merge) under /usr/bin/time, the formats alternated within
# each round; the best time and the highest peak memory of the rounds count.
#   bench/formats/run.sh [ENTRIES] [ROUNDS]
set -euo pipefail
cd "$(dirname "$0")/../.."
source bench/rounds.sh
entries=${1:-1000000}
rounds=${2:-3}
out=bench/out/formats-$entries
[ -f "$out/stardict-dz/bench.dict.dz" ] || python3 bench/formats/gen_formats.py "$out" "$entries" >/dev/null
scripts/build.sh default >/dev/null
load=build/default/bench/lexora-bench-load
# A bare libxml2 pass over the XDXF file, when bench/xml_floor is there to build one.
floor=$(find build/default/bench -maxdepth 2 -type f -executable -name '*xml*floor*' | head -1)

declare -A file source
file[stardict]=$out/stardict/bench.ifo
file[stardict-dz]=$out/stardict-dz/bench.ifo
file[dictd]=$out/dictd/bench.index
file[dictd-dz]=$out/dictd-dz/bench.index
file[dsl-utf16]=$out/dsl/bench-utf16.dsl
file[dsl-utf8]=$out/dsl/bench-utf8.dsl
file[xdxf]=$out/xdxf/bench.xdxf
size() { stat -c %s "$@" | awk '{ s += $1 } END { print s }'; }
# "Source" is what the reader has to take in, uncompressed.
source[stardict]=$(size "$out"/stardict/bench.{idx,dict})
source[stardict-dz]=${source[stardict]}
source[dictd]=$(size "$out"/dictd/bench.{index,dict})
source[dictd-dz]=${source[dictd]}
source[dsl-utf16]=$(size "${file[dsl-utf16]}")
source[dsl-utf8]=$(size "${file[dsl-utf8]}")
source[xdxf]=$(size "${file[xdxf]}")
formats=(stardict stardict-dz dictd dictd-dz dsl-utf16 dsl-utf8 xdxf)
# Each format against StarDict in the same form: a dictzipped file pays for inflating it.
declare -A peer
for f in "${formats[@]}"; do peer[$f]=stardict; done
peer[dictd-dz]=stardict-dz
peer[stardict-dz]=stardict-dz
if [ -n "$floor" ]; then
  file[xml-floor]=${file[xdxf]}
  source[xml-floor]=${source[xdxf]}
  formats+=(xml-floor)
fi

declare -A best mem records
for f in "${formats[@]}"; do best[$f]=999999; mem[$f]=0; records[$f]=-; done
echo "load average at start: $(cut -d' ' -f1-3 /proc/loadavg)"
for r in $(seq "$rounds"); do
  line="round $r:"
  for f in "${formats[@]}"; do
    command=("$load" "${file[$f]}")
    [ "$f" = xml-floor ] && command=("$floor" "${file[$f]}")
    bench_load_once "$f" "$out" "${command[@]}"
  done
  echo "$line"
done
echo "load average at end: $(cut -d' ' -f1-3 /proc/loadavg)"

echo "$entries entries; times from /usr/bin/time (whole process), best of $rounds rounds"
echo "| format | records | load s | entries/s | x StarDict | peak MB | source MB | x source |"
echo "|---|---|---|---|---|---|---|---|"
for f in "${formats[@]}"; do
  awk -v f="$f" -v n="$entries" -v r="${records[$f]}" -v s="${best[$f]}" -v sd="${best[${peer[$f]:-stardict}]}" \
    -v kb="${mem[$f]}" -v src="${source[$f]}" 'BEGIN {
    printf "| %s | %s | %.2f | %.0f | %.2f | %.0f | %.1f | %.2f |\n", f, r, s, n / s, s / sd,
      kb / 1024, src / 1048576, kb * 1024 / src }'
done
echo "targets: entries/s >= 1000000, x StarDict <= 1.5, x source <= 2.5"
echo "x StarDict: against StarDict in the same form (dictd .dict.dz against StarDict .dict.dz)"
echo "source: StarDict .idx + .dict; dictd .index + .dict (also for .dict.dz); DSL and XDXF the file"
