#!/usr/bin/env bash
# Sending benchmark: `lexora-cli send` of a 1,000,000-entry text dictionary to
# lexora-handheld against the floor of its conversation, alternated round by round in one
# run (the machine is shared, so the ratio is what counts).
#   bench/send/run.sh [ENTRIES] [ROUNDS]
set -euo pipefail
cd "$(dirname "$0")/../.."
entries=${1:-1000000}
rounds=${2:-5}
out=bench/out
mkdir -p "$out"
dict="$out/text-$entries.txt"
[ -f "$dict" ] || python3 bench/gen_text_dictionary.py "$dict" "$entries"
scripts/build.sh default >/dev/null
build/default/bench/send/lexora-bench-send "$dict" "$rounds"
