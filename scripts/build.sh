#!/usr/bin/env bash
# Configures and builds one preset (default: "default") with warnings as errors.
set -euo pipefail
cd "$(dirname "$0")/.."
preset=${1:-default}
cmake --preset "$preset" -DLEXORA_WERROR=ON >/dev/null
cmake --build --preset "$preset" -j "$(nproc)"
