#!/usr/bin/env bash
# The main job on the bundled samples: install, build, pack both example dictionaries and
# read words back out of the packed images.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
scripts/build.sh default >/dev/null
cli=build/default/src/cli/lexora-cli
out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT

"$cli" --lang en pack examples/english.txt examples/chinese-english.txt --output-dir "$out"
echo
"$cli" --lang en inspect "$out/english.lxp"
"$cli" --lang en inspect "$out/english.lxp" café thin
"$cli" --lang en inspect "$out/chinese-english.lxp" 你好 tea
