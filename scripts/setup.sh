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
  # MDict's LZO-compressed blocks
  liblzo2-dev
  libgtest-dev libgmock-dev
  clang libclang-rt-14-dev clang-format
  gzip dictzip time python3
  # two small dictd databases, which the dictd reader's test loads from /usr/share/dictd
  dict-freedict-eng-lat dict-freedict-lat-eng
  # scripts/package.sh: dpkg-shlibdeps and dpkg-deb make and read the .deb files, groff
  # checks the man pages, lintian the packages, appstreamcli and desktop-file-validate the
  # desktop program's metadata and entry
  dpkg-dev groff-base lintian appstream desktop-file-utils
)
# The native Windows dialog: its tests and screenshots run under Wine on a virtual display
# with a Chinese-capable font; its installer is made by NSIS.
packages+=(wine wine64 xvfb xauth fonts-wqy-microhei nsis)
# The desktop dialog `lexora` (Qt 6 Widgets, which brings the GL headers CMake looks for)
# and a Chinese-capable font for it and its screenshots (fc-list comes with fontconfig).
packages+=(qt6-base-dev fonts-wqy-microhei fontconfig)
# bench/gen_mdict.py writes the LZO blocks of MDict files (benchmark and tests/data/mdict).
packages+=(python3-lzo)

# `scripts/setup.sh windows`: also the cross compiler (the -posix variant carries
# std::thread), zlib for it, and Wine to run the tests; no display is needed. widl
# (mingw-w64-tools) compiles the vendor's interfaces, importing the standard IDL files
# that libwine-dev ships. unzip reads the ZIP the package test makes.
if [ "${1:-}" = windows ]; then
  packages+=(g++-mingw-w64-x86-64-posix gcc-mingw-w64-x86-64-posix libz-mingw-w64-dev
             g++-mingw-w64-i686-posix gcc-mingw-w64-i686-posix wine wine64 unzip
             mingw-w64-tools libwine-dev)
fi

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done

sudo_cmd=()
if [ "$(id -u)" -ne 0 ]; then sudo_cmd=(sudo); fi
apt_get() { "${sudo_cmd[@]}" env DEBIAN_FRONTEND=noninteractive apt-get "$@"; }

if [ ${#missing[@]} -gt 0 ]; then
  echo "Installing: ${missing[*]}"
  apt_get update -q
  apt_get install -y -q --no-install-recommends "${missing[@]}"
fi

# The Windows builds compile Debian's liblzo2 source (MDict's LZO blocks).
if [ "${1:-}" = windows ]; then
  "$(dirname "$0")/fetch_lzo_source.sh"
fi

# 32-bit Wine runs the x86 build's tests. It needs the i386 architecture, whose packages must
# be the very versions of the amd64 ones installed: a mirror still syncing (or a security
# update not yet built for i386) makes that impossible for a while. Then the x86 suite is
# skipped with the reason, and the machine is left as it was: an i386 architecture whose
# index cannot be read would make every later `apt-get update` fail.
if [ "${1:-}" = windows ] &&
   ! dpkg-query -W -f='${Status}' wine32:i386 2>/dev/null | grep -q 'install ok installed'; then
  added_i386=false
  if ! dpkg --print-foreign-architectures | grep -qx i386; then
    "${sudo_cmd[@]}" dpkg --add-architecture i386
    added_i386=true
  fi
  if ! { apt_get update -q && apt_get install -y -q --no-install-recommends wine32:i386; } \
       >"${TMPDIR:-/tmp}/lexora-wine32.log" 2>&1; then
    echo "setup: 32-bit Wine (wine32:i386) cannot be installed now, so the x86 tests will be" \
         "skipped; apt said:" >&2
    grep -E '^E:|but it is not going to be installed' "${TMPDIR:-/tmp}/lexora-wine32.log" |
      head -n 5 >&2 || true
    if $added_i386 && [ -z "$(dpkg-query -W -f='${Architecture}\n' 2>/dev/null | grep -x i386)" ]; then
      "${sudo_cmd[@]}" dpkg --remove-architecture i386
      apt_get update -q >/dev/null 2>&1 || true
    fi
  fi
fi
