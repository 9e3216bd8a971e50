#!/usr/bin/env bash
# The Windows dialog sends a dictionary through COM, the test connectivity server (registered
# in the prefix as the vendor's class) and the socket service to a native lexora-handheld;
# the stored image must be byte-identical to what the Linux lexora-cli pack writes.
#
# usage: dialog_through_com.sh LINUX_BUILD WINDOWS_BUILD DICTIONARY
set -euo pipefail
linux=$1 windows=$2 dictionary=$3
work=$(mktemp -d)
export WINEDEBUG=-all
export WINEPREFIX=${WINEPREFIX:-$work/prefix}
server_dll=$windows/tests/link/lexora_test_server.dll
handheld_pid=
cleanup() {
  if [ -n "$handheld_pid" ]; then kill "$handheld_pid" 2>/dev/null || true; fi
  wine regsvr32 /u /s "$(winepath -w "$server_dll")" >/dev/null 2>&1 || true
  rm -rf "$work"
}
trap cleanup EXIT
fail() {
  echo "FAILED: $*" >&2
  exit 1
}

wineboot -i >/dev/null 2>&1 || true
"$linux/src/handheld/lexora-handheld" serve --listen 127.0.0.1:0 --store "$work/store" \
  >"$work/handheld.out" 2>"$work/handheld.err" &
handheld_pid=$!
for _ in $(seq 100); do
  grep -q '^listening on ' "$work/handheld.out" && break
  sleep 0.1
done
LEXORA_TEST_SERVER_DEVICE=$(sed -n 's/^listening on //p' "$work/handheld.out" | head -1)
[ -n "$LEXORA_TEST_SERVER_DEVICE" ] || fail "lexora-handheld did not start: $(cat "$work/handheld.err")"
export LEXORA_TEST_SERVER_DEVICE
wine regsvr32 /s "$(winepath -w "$server_dll")" || fail "regsvr32 could not register the test server"

LEXORA_TEST_DICTIONARY=$(winepath -w "$dictionary")
export LEXORA_TEST_DICTIONARY
wine "$windows/tests/app/win32/win32_dialog_tests.exe" \
  --gtest_filter=Win32DialogTest.SendsADictionaryThroughComToTheHandheld ||
  fail "the dialog's send did not complete"
kill "$handheld_pid" 2>/dev/null || true
wait "$handheld_pid" 2>/dev/null || true
handheld_pid=

mkdir -p "$work/expected"
"$linux/src/cli/lexora-cli" pack "$dictionary" --output-dir "$work/expected" >/dev/null
expected=$(find "$work/expected" -name '*.lxp' | head -1)
stored=$(find "$work/store" -name "$(basename "$expected")" | head -1)
[ -n "$stored" ] || fail "$(basename "$expected") was not stored"
cmp "$expected" "$stored" || fail "the stored image differs from the Linux pack"
echo "the dialog sent $(basename "$dictionary") through COM; the stored image matches the Linux pack"
