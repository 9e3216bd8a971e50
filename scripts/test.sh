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
ctest --preset "$preset"
