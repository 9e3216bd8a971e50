#!/usr/bin/env bash
# Installs what is missing, builds and runs every test. `scripts/test.sh asan` does the
# same under AddressSanitizer + UBSan (`tsan` under ThreadSanitizer); `windows` cross-builds
# for Windows and runs the tests under Wine (scripts/test_windows.sh).
set -euo pipefail
cd "$(dirname "$0")/.."
preset=${1:-default}
if [ "$preset" = windows ]; then
  exec scripts/test_windows.sh
fi
scripts/setup.sh
scripts/build.sh "$preset"
# The Windows dialogs' tests under Wine need a display: a private Xvfb when there is none.
if [[ $preset == windows && -z ${DISPLAY:-} ]]; then
  display=:$((90 + RANDOM % 100))
  Xvfb "$display" -screen 0 1024x768x24 -nolisten tcp >/dev/null 2>&1 &
  xvfb_pid=$!
  trap 'kill "$xvfb_pid" 2>/dev/null || true' EXIT
  export DISPLAY=$display
  sleep 1
fi
ctest --preset "$preset"
