#!/usr/bin/env bash
# Memory benchmark: peak resident memory and time of `lexora-cli pack` against the size of
# the dictionary's source, for every format the readers take, this build and a baseline
# built from an earlier revision alternated in each round (the machine is noisy, so the
# ratios are what count). The two images must be identical. The bound is the source's own
# uncompressed size plus 64 MiB.
#   bench/memory/run.sh [BASELINE_REV] [SIZE...]   (default: 29ca871, the last revision
#                                                 before the scratch files, and 500000)
# A SIZE is a number of entries, or a source size such as 2GB or 500MB (decimal), for which
# each format gets the number of entries that comes nearest (from the bytes an entry takes in
# its generator's output, below).
#   FORMATS="text stardict" ...        a subset of the formats (default: all)
#   ROUNDS=3 ...                       rounds (default: 2)
#   BASELINE_CLI=path ...              a baseline lexora-cli built already; "none" runs
#                                      this build alone (its memory against the bound)
#   GENERATE_ONLY=1 ...                only make the dictionaries
set -euo pipefail
cd "$(dirname "$0")/../.."
baseline=${1:-29ca871}
shift || true
sizes=("$@")
[ ${#sizes[@]} -gt 0 ] || sizes=(500000)
rounds=${ROUNDS:-2}
read -r -a formats <<<"${FORMATS:-text text-utf16 stardict stardict-dz stardict-shuffled \
stardict-shuffled-dz dictd dictd-dz dsl-utf16 dsl-utf8 xdxf mdict}"
out=bench/out/memory
mkdir -p "$out"
py=$(python3 -c 'import sys; print(sys.executable)')


bytes() { stat -c %s "$@" | awk '{ s += $1 } END { print s }'; }

# Source bytes an entry takes in each format, as generated (4,000,000 entries).
declare -A entry_bytes=([text]=97 [text-utf16]=194 [stardict]=117 [stardict-dz]=117
  [stardict-shuffled]=169 [stardict-shuffled-dz]=169 [dictd]=143 [dictd-dz]=143
  [dsl-utf16]=384 [dsl-utf8]=194 [xdxf]=210 [mdict]=339)
# The entries of `format` for SIZE: itself when a number, else the nearest 10,000.
entries_for() {
  local size=$1 format=$2
  case $size in
    *GB) echo $(((${size%GB} * 1000000000 / ${entry_bytes[$format]} + 5000) / 10000 * 10000)) ;;
    *MB) echo $(((${size%MB} * 1000000 / ${entry_bytes[$format]} + 5000) / 10000 * 10000)) ;;
    *) echo "$size" ;;
  esac
}

# Makes (once) the files of `format` with n entries under dir; prints "file source-bytes".
# Runs a generator's command once for `dir`: a marker records that it ran to its end, so
# that files cut short by an interrupted run are made anew.
once() {
  local dir=$1 name=$2
  shift 2
  [ -f "$dir/.made-$name" ] && return
  "$@" >/dev/null
  touch "$dir/.made-$name"
}

make_format() {
  local format=$1 n=$2 dir=$3
  case $format in
    text | text-utf16)
      once "$dir" text "$py" bench/gen_text_dictionary.py "$dir/text.txt" "$n"
      if [ "$format" = text-utf16 ]; then
        once "$dir" text-utf16 sh -c "{ printf '\\377\\376'; iconv -f CP1252 -t UTF-16LE '$dir/text.txt'; } >'$dir/text-utf16.txt'"
      fi
      echo "$dir/$format.txt $(bytes "$dir/$format.txt")" ;;
    stardict-shuffled | stardict-shuffled-dz)
      once "$dir" shuffled "$py" bench/stardict/gen_stardict.py "$dir/shuffled" "$n"
      local form=shuffled-dict
      [ "$format" = stardict-shuffled-dz ] && form=shuffled-dz
      echo "$dir/shuffled/$form/bench.ifo $(bytes "$dir"/shuffled/shuffled-dict/bench.{idx,dict})" ;;
    mdict)
      once "$dir" mdict "$py" bench/gen_mdict.py "$dir/bench.mdx" "$n" \
        --compression mixed --encrypted 2 --links 0.02
      echo "$dir/bench.mdx $("$py" bench/memory/mdx_source_size.py "$dir/bench.mdx")" ;;
    *)
      # The generator writes a format and its dictzipped form together.
      local f=$dir/formats group=${format%-dz}
      once "$dir" "$group" "$py" bench/formats/gen_formats.py "$f" "$n" "$group"
      case $format in
        stardict) echo "$f/stardict/bench.ifo $(bytes "$f"/stardict/bench.{idx,dict})" ;;
        stardict-dz) echo "$f/stardict-dz/bench.ifo $(bytes "$f"/stardict/bench.{idx,dict})" ;;
        dictd) echo "$f/dictd/bench.index $(bytes "$f"/dictd/bench.{index,dict})" ;;
        dictd-dz) echo "$f/dictd-dz/bench.index $(bytes "$f"/dictd/bench.{index,dict})" ;;
        dsl-utf16) echo "$f/dsl/bench-utf16.dsl $(bytes "$f/dsl/bench-utf16.dsl")" ;;
        dsl-utf8) echo "$f/dsl/bench-utf8.dsl $(bytes "$f/dsl/bench-utf8.dsl")" ;;
        xdxf) echo "$f/xdxf/bench.xdxf $(bytes "$f/xdxf/bench.xdxf")" ;;
        *) echo "unknown format $format" >&2; exit 2 ;;
      esac ;;
  esac
}

# GENERATE_ONLY=1: make the dictionaries and stop (say, while the machine is busy otherwise).
if [ -n "${GENERATE_ONLY:-}" ]; then
  for size in "${sizes[@]}"; do
    for format in "${formats[@]}"; do
      n=$(entries_for "$size" "$format")
      mkdir -p "$out/$n"
      make_format "$format" "$n" "$out/$n"
    done
  done
  exit 0
fi

scripts/build.sh default >/dev/null
cli=build/default/src/cli/lexora-cli
# The baseline in a worktree of its own, built once per revision.
rev=$(git rev-parse --short "$baseline")
base_src=$out/baseline-$rev
base_cli=${BASELINE_CLI:-$base_src/build/default/src/cli/lexora-cli}
if [ "$base_cli" = none ]; then
  rev=none
elif [ ! -x "$base_cli" ]; then
  [ -d "$base_src" ] || git worktree add --detach -q "$base_src" "$rev"
  (cd "$base_src" && cmake --preset default >/dev/null &&
    cmake --build --preset default -j "$(nproc)" --target lexora-cli >/dev/null)
fi

# One timed pack: prints "seconds peak-KB".
pack_once() {
  /usr/bin/time -f "%e %M" -o "$out/time" "$1" pack --force "$2" -o "$3" >/dev/null 2>&1 ||
    { echo "packing $2 with $1 failed" >&2; exit 1; }
  cat "$out/time"
}

echo "baseline: $rev; $rounds rounds; load average at start: $(cut -d' ' -f1-3 /proc/loadavg)"
echo "| format | entries | source MiB | bound MiB | baseline peak MiB | peak MiB | peak / bound | baseline s | s | × baseline |"
echo "|---|--:|--:|--:|--:|--:|--:|--:|--:|--:|"
for size in "${sizes[@]}"; do
  for format in "${formats[@]}"; do
    n=$(entries_for "$size" "$format")
    dir=$out/$n
    mkdir -p "$dir"
    read -r file source < <(make_format "$format" "$n" "$dir")
    best_old=999999 best_new=999999 peak_old=0 peak_new=0
    for _ in $(seq "$rounds"); do
      if [ "$base_cli" != none ]; then
        read -r s kb < <(pack_once "$base_cli" "$file" "$out/old.lxp")
        best_old=$(awk -v a="$s" -v b="$best_old" 'BEGIN { print (a < b) ? a : b }')
        peak_old=$((kb > peak_old ? kb : peak_old))
      fi
      read -r s kb < <(pack_once "$cli" "$file" "$out/new.lxp")
      best_new=$(awk -v a="$s" -v b="$best_new" 'BEGIN { print (a < b) ? a : b }')
      peak_new=$((kb > peak_new ? kb : peak_new))
      [ "$base_cli" = none ] || cmp -s "$out/old.lxp" "$out/new.lxp" ||
        { echo "the images of $file differ"; exit 1; }
    done
    awk -v f="$format" -v n="$n" -v b="$source" -v po="$peak_old" -v pn="$peak_new" \
      -v so="$best_old" -v sn="$best_new" 'BEGIN {
      mib = b / 1048576; bound = mib + 64
      if (po == 0) {
        printf "| %s | %d | %.0f | %.0f | — | **%.0f** | %.2f | — | %.2f | — |\n",
          f, n, mib, bound, pn / 1024, pn / 1024 / bound, sn
      } else {
        printf "| %s | %d | %.0f | %.0f | %.0f | **%.0f** | %.2f | %.2f | %.2f | %.2f |\n",
          f, n, mib, bound, po / 1024, pn / 1024, pn / 1024 / bound, so, sn, sn / so
      }
    }'
  done
done
echo "load average at end: $(cut -d' ' -f1-3 /proc/loadavg)"
