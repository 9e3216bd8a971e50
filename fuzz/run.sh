#!/usr/bin/env bash
# Builds the fuzz targets (clang, libFuzzer, AddressSanitizer + UBSan) and runs them.
#   fuzz/run.sh TARGET SECONDS    one target, e.g. fuzz/run.sh fuzz_dictzip 300
#   fuzz/run.sh all SECONDS       every target in turn, SECONDS each
# New inputs go to build/fuzz/corpus/<target>/; the seeds in fuzz/corpus/<target>/ are only
# read. A finding stops the run with a non-zero status and leaves crash-* in build/fuzz/.
set -euo pipefail
cd "$(dirname "$0")/.."

target=${1:?usage: fuzz/run.sh TARGET|all SECONDS}
seconds=${2:?usage: fuzz/run.sh TARGET|all SECONDS}
build=build/fuzz
targets=(fuzz_stardict_info fuzz_stardict_index fuzz_dictd_index fuzz_stardict_fields fuzz_markup_text
         fuzz_xdxf fuzz_powerword_xml fuzz_dictzip fuzz_text_reader fuzz_dsl fuzz_mdict fuzz_packed_image
         fuzz_transfer_message fuzz_pack_round_trip fuzz_device_frames)

if [ ! -f "$build/build.ninja" ]; then
  cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ \
    -DLEXORA_BUILD_FUZZ=ON -DLEXORA_BUILD_TESTS=OFF -DLEXORA_BUILD_BENCH=OFF \
    "-DCMAKE_C_FLAGS=-fsanitize=fuzzer-no-link,address,undefined -fno-sanitize-recover=all" \
    "-DCMAKE_CXX_FLAGS=-fsanitize=fuzzer-no-link,address,undefined -fno-sanitize-recover=all" \
    "-DCMAKE_EXE_LINKER_FLAGS=-fsanitize=address,undefined" >/dev/null
fi
cmake --build "$build" -j2 --target fuzz_all

# The longest input worth trying: fuzz_pack_round_trip ignores inputs past 4 KiB (its
# expansions make them large), so longer ones would only waste its runs.
max_len() {
  case "$1" in
    fuzz_pack_round_trip) echo 4096 ;;
    *) echo 65536 ;;
  esac
}

if [ "$target" != all ]; then targets=("$target"); fi
for t in "${targets[@]}"; do
  mkdir -p "$build/corpus/$t"
  echo "== $t for ${seconds}s"
  (cd "$build" && "./fuzz/$t" -max_total_time="$seconds" -max_len="$(max_len "$t")" -rss_limit_mb=2048 \
    -timeout=10 -print_final_stats=1 "corpus/$t" "../../fuzz/corpus/$t")
done
