#!/usr/bin/env bash
# Debian's liblzo2 source, unpacked with Debian's patches into DEST, for the Windows builds:
# Debian ships liblzo2 for Linux only, and MDict's LZO blocks must unpack on Windows through
# the same library. apt-get fetches it with the Debian archive's signatures checked, using a
# list of its own, so the machine's apt configuration is left as it is.
#   scripts/fetch_lzo_source.sh [DEST]   (default build/third_party/lzo2)
set -euo pipefail
cd "$(dirname "$0")/.."
dest=${1:-build/third_party/lzo2}
[ -f "$dest/include/lzo/lzo1x.h" ] && exit 0

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
# apt fetches as its own user, which must be able to write here.
chmod 755 "$work"
mkdir -p "$work/lists/partial" "$work/cache/archives/partial"
echo "deb-src http://deb.debian.org/debian bookworm main" >"$work/sources.list"
apt_options=(-q -o "Dir::Etc::sourcelist=$work/sources.list" -o Dir::Etc::sourceparts=-
             -o "Dir::State::Lists=$work/lists" -o "Dir::Cache=$work/cache")
apt-get "${apt_options[@]}" update >/dev/null
(cd "$work" && apt-get "${apt_options[@]}" source lzo2 >/dev/null 2>&1)
unpacked=$(find "$work" -maxdepth 1 -type d -name 'lzo2-*' | head -1)
[ -n "$unpacked" ] || { echo "fetch_lzo_source: apt-get source lzo2 gave no source" >&2; exit 1; }
mkdir -p "$(dirname "$dest")"
rm -rf "$dest"
mv "$unpacked" "$dest"
