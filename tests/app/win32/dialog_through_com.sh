#!/usr/bin/env bash
# Lexora.exe end to end under Wine, driven from outside as a user would drive it: a dictionary
# named on its command line, Send pressed, Yes answered. It sends through COM and the vendor's
# proxy/stub to the test connectivity server in a process of its own (a local server, as the
# vendor's service runs) and on to a native lexora-handheld; the stored image must be
# byte-identical to what the Linux lexora-cli pack writes. A second handheld asks for a
# password: the challenge crosses from the server's process into the dialog's password box.
#
# usage: dialog_through_com.sh LINUX_BUILD WINDOWS_BUILD DICTIONARY
# Wine runs in the Windows build's prefix (WINEPREFIX in the environment wins).
set -euo pipefail
linux=$1 windows=$2 dictionary=$3
here=$(cd "$(dirname "$0")" && pwd)
under_wine() {
  "$here/../../../scripts/run_under_wine.sh" "$windows/wineprefix" "$@"
}
windows_path() {
  printf 'Z:%s' "${1//\//\\}"
}
work=$(mktemp -d)
server_exe=$windows/tests/link/lexora_test_local_server.exe
proxy_dll=$(windows_path "$windows/src/link/com/lexora_vendor_proxy.dll")
driver=$windows/tests/app/win32/lexora_dialog_driver.exe
dialog=$(windows_path "$windows/src/app/win32/Lexora.exe")
handheld_pid=
stop_handheld() {
  if [ -n "$handheld_pid" ]; then
    kill "$handheld_pid" 2>/dev/null || true
    wait "$handheld_pid" 2>/dev/null || true
    handheld_pid=
  fi
}
# The local server ends by itself 2 s after its last client; the next one must start afresh
# to read the next handheld's address.
wait_for_server_to_end() {
  for _ in $(seq 100); do
    pgrep -f 'lexora_test_local_server\.exe' >/dev/null || return 0
    sleep 0.1
  done
}
cleanup() {
  stop_handheld
  under_wine "$server_exe" /UnregServer </dev/null >/dev/null 2>&1 || true
  under_wine regsvr32 /u /s "$proxy_dll" </dev/null >/dev/null 2>&1 || true
  rm -rf "$work"
}
trap cleanup EXIT
fail() {
  echo "FAILED: $*" >&2
  exit 1
}

# shellcheck source=../../support/start_handheld.sh
. "$here/../../support/start_handheld.sh"

# Compares the one image stored in the folder with the Linux pack of the dictionary.
expect_the_linux_pack_in() {
  local expected stored
  expected=$(find "$work/expected" -name '*.lxp' | head -1)
  stored=$(find "$1" -name "$(basename "$expected")" | head -1)
  [ -n "$stored" ] || fail "$(basename "$expected") was not stored in $1"
  cmp "$expected" "$stored" || fail "the stored image differs from the Linux pack"
}

mkdir -p "$work/expected"
"$linux/src/cli/lexora-cli" pack "$dictionary" --output-dir "$work/expected" >/dev/null
under_wine "$server_exe" /RegServer </dev/null || fail "the local test server could not register"
under_wine regsvr32 /s "$proxy_dll" </dev/null || fail "regsvr32 could not register the proxy/stub"

start_handheld "$work/store"
under_wine "$driver" "$dialog" "$(windows_path "$dictionary")" || fail "the dialog's send failed"
stop_handheld
expect_the_linux_pack_in "$work/store"
wait_for_server_to_end

echo secret >"$work/password"
start_handheld "$work/protected" --password-file "$work/password" --attempts 3
under_wine "$driver" "$dialog" "$(windows_path "$dictionary")" secret >"$work/driver.out" ||
  fail "the send to a handheld with a password failed: $(cat "$work/driver.out")"
cat "$work/driver.out"
grep -q '^password box: ' "$work/driver.out" || fail "the handheld's password was never asked for"
stop_handheld
expect_the_linux_pack_in "$work/protected"

echo "Lexora.exe sent $(basename "$dictionary") through a local server, with and without a password; the stored images match the Linux pack"
