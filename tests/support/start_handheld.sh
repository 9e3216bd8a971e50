# Sourced by the Windows end-to-end tests. start_handheld STORE [OPTIONS...] starts the Linux
# build's lexora-handheld on a free loopback port (OPTIONS: its faults), sets handheld_pid and
# exports the address the test connectivity server reaches it at. Expects `linux` (the Linux
# build), `work` (a scratch folder) and `fail` from the sourcing script.
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
