#!/usr/bin/env bash
# The vendor's service in its own process against the same service in ours: `lexora-cli.exe
# send` under Wine of a 1,000,000-entry dictionary to lexora-handheld, through the test
# connectivity server registered once as an in-process DLL and once as a local server (every
# call crossing into its process through the vendor's proxy/stub), alternated round by round.
#   bench/com/run.sh [ENTRIES] [ROUNDS]
# Times include loading and packing, which both routes share.
set -euo pipefail
cd "$(dirname "$0")/../.."
entries=${1:-1000000}
rounds=${2:-1}
out=$PWD/bench/out
mkdir -p "$out"
# Short entries, so that the send's many small calls rather than the packing dominate.
dict=$out/short-$entries.txt
[ -f "$dict" ] || python3 - "$dict" "$entries" <<'PY'
import sys
with open(sys.argv[1], "w", encoding="cp1252", newline="\n") as f:
    for i in range(int(sys.argv[2])):
        f.write(f"w{i:07d}\tmeaning {i * 7919 % 100003} of word {i}\n")
PY
scripts/build.sh default >/dev/null
scripts/build.sh windows >/dev/null
prefix=$PWD/build/windows/wineprefix
under_wine() { scripts/run_under_wine.sh "$prefix" "$@"; }
windows_path() { printf 'Z:%s' "${1//\//\\}"; }
dll=$(windows_path "$PWD/build/windows/tests/link/lexora_test_server.dll")
exe=$PWD/build/windows/tests/link/lexora_test_local_server.exe
proxy=$(windows_path "$PWD/build/windows/src/link/com/lexora_vendor_proxy.dll")
work=$(mktemp -d)
handheld=
cleanup() {
  [ -z "$handheld" ] || kill "$handheld" 2>/dev/null || true
  under_wine regsvr32 /u /s "$dll" </dev/null >/dev/null 2>&1 || true
  under_wine "$exe" /UnregServer </dev/null >/dev/null 2>&1 || true
  under_wine regsvr32 /u /s "$proxy" </dev/null >/dev/null 2>&1 || true
  rm -rf "$work"
}
trap cleanup EXIT

# One send through the route given ("dll" or "server"); prints its seconds.
send_through() {
  under_wine regsvr32 /u /s "$dll" </dev/null >/dev/null 2>&1 || true
  under_wine "$exe" /UnregServer </dev/null >/dev/null 2>&1 || true
  if [ "$1" = dll ]; then
    under_wine regsvr32 /s "$dll" </dev/null
  else
    under_wine "$exe" /RegServer </dev/null
  fi
  rm -rf "$work/store" "$work/handheld.out"
  build/default/src/handheld/lexora-handheld serve --listen 127.0.0.1:0 --store "$work/store" \
    >"$work/handheld.out" 2>/dev/null &
  handheld=$!
  until grep -q '^listening on ' "$work/handheld.out" 2>/dev/null; do sleep 0.1; done
  LEXORA_TEST_SERVER_DEVICE=$(sed -n 's/^listening on //p' "$work/handheld.out")
  export LEXORA_TEST_SERVER_DEVICE
  local started=$EPOCHREALTIME
  under_wine build/windows/src/cli/lexora-cli.exe --quiet send --yes "$(windows_path "$dict")" \
    </dev/null >/dev/null
  local ended=$EPOCHREALTIME
  kill "$handheld" 2>/dev/null || true
  wait "$handheld" 2>/dev/null || true
  handheld=
  [ -n "$(find "$work/store" -name '*.lxp')" ] || { echo "nothing stored through $1" >&2; exit 1; }
  # The local server ends by itself after its last client.
  while pgrep -f 'lexora_test_local_server\.exe' >/dev/null; do sleep 0.2; done
  awk -v a="$started" -v b="$ended" 'BEGIN { printf "%.2f", b - a }'
}

under_wine regsvr32 /s "$proxy" </dev/null
packed=$(build/default/src/cli/lexora-cli --quiet pack "$dict" --output-dir "$work" >/dev/null &&
  stat -c %s "$work"/*.lxp)
echo "$entries entries, $packed bytes packed"
for round in $(seq "$rounds"); do
  in_process=$(send_through dll)
  local_server=$(send_through server)
  printf 'round %d: in-process DLL %.1f s, local server %.1f s (%.1f x)\n' "$round" \
    "$in_process" "$local_server" "$(awk -v a="$in_process" -v b="$local_server" 'BEGIN { print b / a }')"
done
