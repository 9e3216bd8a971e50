#!/usr/bin/env bash
# lexora-cli.exe send under Wine, through COM and the test connectivity server (registered
# in the prefix), to a native lexora-handheld: every stored image must be byte-identical to
# what the Linux lexora-cli pack writes. Before the class is registered, and against a
# handheld that refuses writes or closes the channel, the send fails clearly and nothing is
# stored; a password
# challenge is answered through it.
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
handheld_pid=

stop_handheld() {
  if [ -n "$handheld_pid" ]; then
    kill "$handheld_pid" 2>/dev/null || true
    wait "$handheld_pid" 2>/dev/null || true
    handheld_pid=
  fi
}
cleanup() {
  stop_handheld
  under_wine regsvr32 /u /s "$server_dll" </dev/null >/dev/null 2>&1 || true
  rm -rf "$work"
}
trap cleanup EXIT

fail() {
  echo "FAILED: $*" >&2
  exit 1
}

# Starts lexora-handheld on a free loopback port (extra options: its faults) and exports
# the address the test server reaches it at.
start_handheld() {
  local store=$1
  shift
  "$linux/src/handheld/lexora-handheld" serve --listen 127.0.0.1:0 --store "$store" "$@" \
    >"$work/handheld.out" 2>"$work/handheld.err" &
  handheld_pid=$!
  for _ in $(seq 100); do
    if grep -q '^listening on ' "$work/handheld.out"; then
      LEXORA_TEST_SERVER_DEVICE=$(sed -n 's/^listening on //p' "$work/handheld.out" | head -1)
      export LEXORA_TEST_SERVER_DEVICE
      return 0
    fi
    sleep 0.1
  done
  fail "lexora-handheld did not start: $(cat "$work/handheld.err")"
}

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
send_with_windows_cli "${sources[0]}"
[ "$status" -eq 3 ] || fail "unregistered class: exit status $status, expected 3; $(cat "$work/send.err")"
[ "$(stored_count "$work/unregistered")" -eq 0 ] || fail "unregistered class: something was stored"
grep -q "connectivity software is not installed" "$work/send.err" ||
  fail "unregistered class: the missing software is not named; $(cat "$work/send.err")"
stop_handheld

under_wine regsvr32 /s "$server_dll" </dev/null || fail "regsvr32 could not register the test server"

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

# 3. A handheld with a password: the challenge comes back through COM on the service's
# own thread and is answered from standard input.
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
echo "sent ${#sources[@]} dictionaries through COM; every stored image matches the Linux pack"
