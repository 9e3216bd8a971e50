#!/usr/bin/env bash
# lexora-cli.exe send under Wine, through COM and the test connectivity server, to a native
# lexora-handheld: every stored image must be byte-identical to what the Linux lexora-cli
# pack writes. The server runs in a process of its own, as the vendor's does (a local server
# that COM starts), and every call and callback crosses into it through the vendor's
# proxy/stub, registered in the prefix as the vendor's installer registers it. Before the
# class is registered, without the proxy/stub, and against a handheld that refuses writes or
# closes the channel, the send fails clearly and nothing is stored; a password challenge is
# answered across the boundary. When the server dies mid-transfer the send fails within the
# link's own time-outs; when a client dies holding a channel, the server goes on serving.
#
# usage: send_through_com.sh LINUX_BUILD WINDOWS_BUILD DICTIONARY_FOLDER
# Wine runs in the Windows build's prefix (WINEPREFIX in the environment wins), started the
# way every other test starts it.
set -euo pipefail
linux=$1 windows=$2 dictionaries=$3
here=$(cd "$(dirname "$0")" && pwd)
under_wine() {
  "$here/../../../scripts/run_under_wine.sh" "$windows/wineprefix" "$@"
}
# The Windows name of a Linux path, on Wine's Z: drive.
windows_path() {
  printf 'Z:%s' "${1//\//\\}"
}
work=$(mktemp -d)
cli_exe=$windows/src/cli/lexora-cli.exe
server_dll=$(windows_path "$windows/tests/link/lexora_test_server.dll")
server_exe=$windows/tests/link/lexora_test_local_server.exe
proxy_dll=$(windows_path "$windows/src/link/com/lexora_vendor_proxy.dll")
prefix=${WINEPREFIX:-$windows/wineprefix}
# Where the local server notes the calls into a client's sink that failed.
LEXORA_TEST_SERVER_LOG=$(windows_path "$work/server.log")
export LEXORA_TEST_SERVER_LOG
handheld_pid=

# The Wine processes of this prefix running the named program (Wine shows a program by its
# Windows command line).
wine_pids() {
  local pid
  for pid in $(pgrep -f "$1" || true); do
    tr '\0' '\n' <"/proc/$pid/environ" 2>/dev/null | grep -qxF "WINEPREFIX=$prefix" && echo "$pid"
  done
  return 0
}
server_pids() {
  wine_pids 'lexora_test_local_server\.exe'
}
# Ends Wine in the prefix; the next program starts it afresh. Wine's rpcss (8.0) keeps the
# class of a server that died without revoking it and hands it to the next client, whose
# calls then fail: after a server is killed, this is the only way to forget it.
restart_wine() {
  WINEPREFIX=$prefix wineserver -k 2>/dev/null || true
  WINEPREFIX=$prefix wineserver -w 2>/dev/null || true
}
# A server ends by itself 2 s after its last client, revoking its class, so that the next
# step's client starts one that reads the current handheld address. One still held (by a
# client that died) is killed, and Wine restarted.
stop_server() {
  for _ in $(seq 60); do
    [ -n "$(server_pids)" ] || return 0
    sleep 0.1
  done
  # shellcheck disable=SC2046 # one or more process ids
  kill -9 $(server_pids) 2>/dev/null || true
  restart_wine
}
stop_handheld() {
  stop_server
  if [ -n "$handheld_pid" ]; then
    kill "$handheld_pid" 2>/dev/null || true
    wait "$handheld_pid" 2>/dev/null || true
    handheld_pid=
  fi
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

# lexora-cli.exe send --yes of the given files, standard input from $password_input;
# sets `status`.
password_input=/dev/null
send_with_windows_cli() {
  local files=()
  for f in "$@"; do files+=("$(windows_path "$f")"); done
  status=0
  under_wine "$cli_exe" --lang en send --yes --password-stdin "${files[@]}" <"$password_input" \
    >"$work/send.out" 2>"$work/send.err" || status=$?
}

stored_count() {
  find "$1" -name '*.lxp' 2>/dev/null | wc -l
}

for program in "$linux/src/handheld/lexora-handheld" "$linux/src/cli/lexora-cli"; do
  [ -x "$program" ] || fail "$program is missing: build the Linux preset (default) first"
done
mapfile -t sources < <(find "$dictionaries" -maxdepth 1 -name '*.txt' | sort)
[ ${#sources[@]} -gt 0 ] || fail "no dictionaries in $dictionaries"

# 1. Nobody registered the class: no channel, nothing sent.
start_handheld "$work/unregistered"
under_wine regsvr32 /u /s "$server_dll" </dev/null >/dev/null 2>&1 || true
under_wine "$server_exe" /UnregServer </dev/null >/dev/null 2>&1 || true
send_with_windows_cli "${sources[0]}"
[ "$status" -eq 3 ] || fail "unregistered class: exit status $status, expected 3; $(cat "$work/send.err")"
[ "$(stored_count "$work/unregistered")" -eq 0 ] || fail "unregistered class: something was stored"
grep -q "connectivity software is not installed" "$work/send.err" ||
  fail "unregistered class: the missing software is not named; $(cat "$work/send.err")"
stop_handheld

under_wine "$server_exe" /RegServer </dev/null || fail "the local test server could not register"

# 1b. The service registered, its proxy/stub not (a 64-bit program meets a service that
# registered it for 32-bit programs only): Open says so, nothing is sent.
under_wine regsvr32 /u /s "$proxy_dll" </dev/null >/dev/null 2>&1 || true
start_handheld "$work/no-proxy"
send_with_windows_cli "${sources[0]}"
[ "$status" -eq 3 ] || fail "no proxy/stub: exit status $status, expected 3; $(cat "$work/send.err")"
grep -q "not registered for this program" "$work/send.err" ||
  fail "no proxy/stub: the reason does not name it: $(cat "$work/send.err")"
[ "$(stored_count "$work/no-proxy")" -eq 0 ] || fail "no proxy/stub: something was stored"
stop_handheld

under_wine regsvr32 /s "$proxy_dll" </dev/null || fail "regsvr32 could not register the proxy/stub"

# 2. A handheld that refuses every write, or closes the channel after the name: the send
# fails, nothing is stored.
for fault in --refuse-writes "--close-after 2"; do
  # shellcheck disable=SC2086 # the fault is an option and its value
  start_handheld "$work/faulty" $fault
  send_with_windows_cli "${sources[0]}"
  [ "$status" -ne 0 ] || fail "$fault: the send reported success"
  [ "$(stored_count "$work/faulty")" -eq 0 ] || fail "$fault: something was stored"
  stop_handheld
done

# 3. A handheld with a password: the challenge comes back through COM from the server's
# process and is answered from standard input.
echo secret >"$work/password"
# Newer handhelds take the password from a file only (never the command line).
if "$linux/src/handheld/lexora-handheld" --help 2>&1 | grep -q -- --password-file; then
  start_handheld "$work/protected" --password-file "$work/password" --attempts 3
else
  start_handheld "$work/protected" --password secret --attempts 3
fi
password_input=$work/password
send_with_windows_cli "${sources[0]}"
password_input=/dev/null
[ "$status" -eq 0 ] || fail "password: exit status $status; $(cat "$work/send.err")"
[ "$(stored_count "$work/protected")" -eq 1 ] || fail "password: nothing was stored"
stop_handheld

# 4. The real thing: every dictionary arrives exactly as the Linux build packs it.
start_handheld "$work/store"
send_with_windows_cli "${sources[@]}"
[ "$status" -eq 0 ] || fail "send: exit status $status; $(cat "$work/send.err")"
stop_handheld
[ "$(stored_count "$work/store")" -eq ${#sources[@]} ] ||
  fail "expected ${#sources[@]} stored images, found $(stored_count "$work/store")"
mkdir -p "$work/expected"
"$linux/src/cli/lexora-cli" pack "${sources[@]}" --output-dir "$work/expected" >/dev/null
for expected in "$work/expected"/*.lxp; do
  stored=$(find "$work/store" -name "$(basename "$expected")" | head -1)
  [ -n "$stored" ] || fail "$(basename "$expected") was not stored"
  cmp "$expected" "$stored" || fail "$(basename "$expected") differs from the Linux pack"
done

# Starts lexora-cli.exe send in the background on the first dictionary; sets `cli_pid`
# (its runner's) and waits until COM has started the local server.
start_background_send() {
  under_wine "$cli_exe" --lang en send --yes "$(windows_path "${sources[0]}")" </dev/null \
    >"$work/send.out" 2>"$work/send.err" &
  cli_pid=$!
  for _ in $(seq 300); do
    [ -z "$(server_pids)" ] || return 0
    sleep 0.1
  done
  fail "$1: COM never started the local server"
}

# 5. The server's process killed mid-transfer (each acknowledgement 3 s late): the send
# fails, nothing is stored, and the client waits no longer than its own time-outs.
start_handheld "$work/killed" --ack-delay 3000
started=$SECONDS
start_background_send "server killed"
sleep 2
# shellcheck disable=SC2046 # one or more process ids
kill -9 $(server_pids) 2>/dev/null || true
status=0
wait "$cli_pid" || status=$?
[ "$status" -ne 0 ] || fail "server killed: the send reported success"
[ $((SECONDS - started)) -lt 120 ] || fail "server killed: the send took $((SECONDS - started)) s"
[ "$(stored_count "$work/killed")" -eq 0 ] || fail "server killed: something was stored"
restart_wine
stop_handheld

# 6. A client killed while the server holds its sink, with a second client sending through
# the same server process: the server's next call into the dead client's sink fails, and
# the second client's send goes on to the end.
start_handheld "$work/abandoned" --ack-delay 2000
rm -f "$work/server.log"
start_background_send "client killed"
first_client=$(wine_pids 'lexora-cli\.exe')
under_wine "$cli_exe" --lang en send --yes "$(windows_path "${sources[-1]}")" </dev/null \
  >"$work/second.out" 2>"$work/second.err" &
second_pid=$!
sleep 2
# shellcheck disable=SC2086 # one or more process ids
kill -9 $first_client 2>/dev/null || true
wait "$cli_pid" 2>/dev/null || true
status=0
wait "$second_pid" || status=$?
[ "$status" -eq 0 ] || fail "beside a killed client: exit status $status; $(cat "$work/second.err")"
[ "$(stored_count "$work/abandoned")" -eq 1 ] || fail "beside a killed client: not one image stored"
grep -q '^sink .* failed' "$work/server.log" 2>/dev/null ||
  fail "client killed: the server never met its sink gone"
echo "the server went on past a dead client's sink: $(grep -m1 '^sink .* failed' "$work/server.log")"
stop_handheld

echo "sent ${#sources[@]} dictionaries through COM to a server in its own process; every stored image matches the Linux pack"
