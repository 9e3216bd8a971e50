#!/usr/bin/env bash
# Cross-builds Lexora for Windows (mingw-w64) and runs the whole test suite under Wine in a
# private prefix (build/windows/wineprefix, made on first use). The dialog tests get a
# private Xvfb when there is no display.
# The Linux build is made as well: the comparison of packed images needs both.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh windows
scripts/build.sh default
scripts/build.sh windows

# The Windows dialogs' tests under Wine need a display: a private Xvfb when there is none.
if [[ -z ${DISPLAY:-} ]]; then
  display=:$((90 + RANDOM % 100))
  Xvfb "$display" -screen 0 1024x768x24 -nolisten tcp >/dev/null 2>&1 &
  xvfb_pid=$!
  trap 'kill "$xvfb_pid" 2>/dev/null || true' EXIT
  export DISPLAY=$display
  sleep 1
fi

# The runner CTest uses makes the private prefix on first use and starts Wine's server and
# services detached from CTest's output; started once here, they stay warm for the run.
scripts/run_under_wine.sh "$PWD/build/windows/wineprefix" cmd /c exit
trap 'WINEPREFIX=$PWD/build/windows/wineprefix wineserver -k 2>/dev/null || true; kill "${xvfb_pid:-}" 2>/dev/null || true' EXIT

ctest --preset windows
tests/cross/compare_images.sh build/default build/windows

# The 32-bit build is always compiled; its suite runs where 32-bit Wine could be installed
# (scripts/setup.sh windows says why when it could not).
scripts/build.sh windows-x86
# Large-address aware, so that under 64-bit Windows the index of a dictionary of gigabytes
# has 4 GB of address space rather than 2.
for exe in build/windows-x86/src/cli/lexora-cli.exe build/windows-x86/src/app/win32/Lexora.exe; do
  # Read whole first: grep -q leaving early would break objdump's pipe (pipefail).
  headers=$(i686-w64-mingw32-objdump -p "$exe")
  grep -q 'large address aware' <<<"$headers" ||
    { echo "test_windows: $exe is not large-address aware"; exit 1; }
done
if dpkg-query -W -f='${Status}' wine32:i386 2>/dev/null | grep -q 'install ok installed'; then
  ctest --preset windows-x86
else
  echo "test_windows: the x86 suite is skipped: 32-bit Wine (wine32:i386) is not installed"
fi

# The Windows deliverables: the ZIPs and the NSIS installers, from the builds just tested.
# Both need nothing but Windows' own DLLs.
for build in windows windows-x86; do
  (cd "build/$build" && cpack >/dev/null && ls Lexora-*-setup.exe Lexora-*.zip)
  tests/packaging/system_dlls_only.sh "$PWD/build/windows/wineprefix" build/$build/Lexora-*.zip
done
