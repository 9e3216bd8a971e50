#!/usr/bin/env bash
# Installs every Debian package Lexora needs to build, test, benchmark and fuzz
# (python3 runs the benchmark generators; time measures peak memory; dictzip makes the
# benchmark's dictzip files and remakes the test fixtures in tests/data/dictzip).
# Idempotent: packages already present are left alone, and apt is not touched at all
# when nothing is missing. Run as root (CI does) or with sudo.
# `scripts/setup.sh windows` adds what the Windows cross build and its tests need.
set -euo pipefail

packages=(
  build-essential cmake ninja-build pkg-config
  zlib1g-dev libxml2-dev libssl-dev
  libgtest-dev libgmock-dev
  clang libclang-rt-14-dev clang-format
  gzip dictzip time python3
  # scripts/package.sh: dpkg-shlibdeps and dpkg-deb make and read the .deb, groff checks
  # the man pages
  dpkg-dev groff-base
)
# The native Windows dialog: its tests and screenshots run under Wine on a virtual display
# with a Chinese-capable font; its installer is made by NSIS.
packages+=(wine wine64 xvfb xauth fonts-wqy-microhei nsis)
# The desktop dialog `lexora` (Qt 6 Widgets, which brings the GL headers CMake looks for)
# and a Chinese-capable font for it and its screenshots (fc-list comes with fontconfig).
packages+=(qt6-base-dev fonts-wqy-microhei fontconfig)

# `scripts/setup.sh windows`: also the cross compiler (the -posix variant carries
# std::thread), zlib for it, and Wine to run the tests; no display is needed. widl
# (mingw-w64-tools) compiles the vendor's interfaces, importing the standard IDL files
# that libwine-dev ships.
if [ "${1:-}" = windows ]; then
  packages+=(g++-mingw-w64-x86-64-posix gcc-mingw-w64-x86-64-posix libz-mingw-w64-dev
             wine wine64 mingw-w64-tools libwine-dev)
fi

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done

if [ ${#missing[@]} -eq 0 ]; then
  exit 0
fi

sudo_cmd=()
if [ "$(id -u)" -ne 0 ]; then sudo_cmd=(sudo); fi
echo "Installing: ${missing[*]}"
"${sudo_cmd[@]}" env DEBIAN_FRONTEND=noninteractive apt-get update -q
"${sudo_cmd[@]}" env DEBIAN_FRONTEND=noninteractive apt-get install -y -q --no-install-recommends "${missing[@]}"
