#!/usr/bin/env bash
# The main job on the bundled samples, with no hardware: installs what is missing, builds,
# starts the handheld emulator on a temporary store, sends both example dictionaries to it
# (answering Yes to each size question), looks words up on the handheld to show that they
# arrived, and stops the emulator.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
scripts/build.sh default >/dev/null
cli=build/default/src/cli/lexora-cli
handheld=build/default/src/handheld/lexora-handheld

work=$(mktemp -d)
address="unix:$work/handheld.sock"
"$handheld" serve --listen "$address" --store "$work/store" 2>"$work/handheld.log" &
emulator=$!
trap 'kill $emulator 2>/dev/null; wait $emulator 2>/dev/null; rm -rf "$work"' EXIT
for _ in $(seq 100); do [ -S "$work/handheld.sock" ] && break; sleep 0.05; done

# english.txt is written in CP1252; chinese-english.txt carries a UTF-16 mark.
"$cli" --lang en --ansi-code-page CP1252 send --device "$address" --yes \
  examples/english.txt examples/chinese-english.txt

echo
echo "On the handheld:"
"$handheld" list --store "$work/store"
echo
echo "lookup english café:"
"$handheld" lookup english café --store "$work/store"
echo "lookup chinese-english 你好:"
"$handheld" lookup chinese-english 你好 --store "$work/store"
