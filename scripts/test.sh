#!/usr/bin/env bash
# Installs what is missing, builds and runs every test. `scripts/test.sh asan` does the
# same under AddressSanitizer + UBSan (`tsan` under ThreadSanitizer).
set -euo pipefail
cd "$(dirname "$0")/.."
preset=${1:-default}
scripts/setup.sh
scripts/build.sh "$preset"
ctest --preset "$preset"
