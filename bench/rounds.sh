# shellcheck shell=bash
# Sourced by the loading benchmarks. One timed run of a loader under /usr/bin/time:
#   bench_load_once NAME OUT_DIR COMMAND...
# keeps the best time in best[NAME], the highest peak memory in mem[NAME] and the records the
# loader reported in records[NAME] (associative arrays the caller declares), and appends the
# round's figures to $line. A failing run ends the benchmark with its messages.
bench_load_once() {
  local name=$1 out=$2 s kb n
  shift 2
  /usr/bin/time -f "%e %M" -o "$out/time" "$@" >"$out/stdout" 2>"$out/stderr" || {
    echo "$name failed:"; cat "$out/stderr"; exit 1; }
  read -r s kb <"$out/time"
  n=$(sed -nE 's/.*: ([0-9]+) records in .*/\1/p' "$out/stdout")
  [ -n "$n" ] && records[$name]=$n
  best[$name]=$(awk -v a="$s" -v b="${best[$name]}" 'BEGIN { print (a < b) ? a : b }')
  mem[$name]=$((kb > ${mem[$name]} ? kb : ${mem[$name]}))
  line="$line $name ${s}s ${kb}KB;"
}
