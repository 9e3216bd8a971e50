#!/usr/bin/env bash
# Runs a Windows program of the cross build under Wine: CTest's and the test discovery's
# emulator. Usage: run_under_wine.sh PREFIX PROGRAM.exe ARGUMENTS...
# PREFIX is the private Wine prefix (WINEPREFIX in the environment wins), made on first
# use. Wine's server and its system services are started here, detached from this
# program's output: started by a test, they would keep CTest's output pipe open and CTest
# would wait for them forever.
set -euo pipefail
prefix=$1
shift
export WINEPREFIX=${WINEPREFIX:-$prefix}
export WINEDEBUG=${WINEDEBUG:--all}
# No desktop integration, no .NET or HTML engine to offer to download.
export WINEDLLOVERRIDES=${WINEDLLOVERRIDES:-winemenubuilder.exe=d;mscoree=d;mshtml=d}

# True while a server runs for the prefix. Wine names the server's folder after the
# prefix's device and inode, in hex, below /tmp/.wine-UID (Debian: a /tmp/wine-XXXXXX).
server_running() {
  local id
  id=$(printf 'server-%x-%x' "$(stat -c '%d' "$WINEPREFIX")" "$(stat -c '%i' "$WINEPREFIX")")
  compgen -G "${TMPDIR:-/tmp}/.wine-$(id -u)/$id/socket" >/dev/null ||
    compgen -G "${TMPDIR:-/tmp}/wine-*/$id/socket" >/dev/null
}

if [ ! -f "$WINEPREFIX/system.reg" ] || ! server_running; then
  # Two tests starting at once both end up here; the lock makes one wait for the other.
  mkdir -p "$WINEPREFIX"
  exec 9>"$WINEPREFIX/.start.lock"
  flock 9
  if [ ! -f "$WINEPREFIX/system.reg" ]; then
    wineboot -i </dev/null >/dev/null 2>&1
  fi
  if ! server_running; then
    # Kept warm for a minute after the last program: the run's programs share one server.
    wineserver -p60 </dev/null >/dev/null 2>&1 || true
    wine cmd /c exit </dev/null >/dev/null 2>&1 || true
  fi
  flock -u 9
  exec 9>&-
fi

# Now and then Wine fails to start a program: it ends at once, having printed nothing at all.
# Such a start is tried again, at most twice. A program that printed anything, on either
# stream, is never run a second time, so no failure of the program itself is hidden. Its
# output is kept in files (not pipes, which a Wine service could hold open) and shown when
# it ends.
out=$(mktemp) err=$(mktemp)
trap 'cat "$out"; cat "$err" >&2; rm -f "$out" "$err"' EXIT
for attempt in 1 2 3; do
  status=0
  wine "$@" >"$out" 2>"$err" || status=$?
  if [ "$status" -eq 0 ] || [ -s "$out" ] || [ -s "$err" ] || [ "$attempt" -eq 3 ]; then
    exit "$status"
  fi
  echo "run_under_wine: $1 ended with status $status before printing anything; starting it again" >&2
  sleep 0.2
done
