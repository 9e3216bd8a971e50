#!/usr/bin/env bash
# Every program's --version, the man pages' header, the changelog's latest entry, the
# AppStream metadata's release and the .deb files (their names and their control files'
# Version) say the project's version.
#
# usage: version_agreement.sh BUILD_DIR VERSION
set -euo pipefail
build=$1 version=$2
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0
disagrees() {
  echo "FAILED: $1 says '$2', not $version" >&2
  failures=$((failures + 1))
}

programs=(src/cli/lexora-cli src/handheld/lexora-handheld)
[ -x "$build/src/app/qt/lexora" ] && programs+=(src/app/qt/lexora)
for program in "${programs[@]}"; do
  name=$(basename "$program")
  first_line=$("$build/$program" --version | head -1)
  [ "$first_line" = "$name $version" ] || disagrees "$name --version" "$first_line"
done

pages=(lexora-cli lexora-handheld)
[ -f "$build/man/lexora.1" ] && pages+=(lexora)
for page in "${pages[@]}"; do
  header=$(head -1 "$build/man/$page.1")
  [[ $header == *"\"Lexora $version\""* ]] || disagrees "$page.1" "$header"
  packed_header=$(zcat "$build/man/$page.1.gz" | head -1)
  [ "$packed_header" = "$header" ] || disagrees "$page.1.gz" "$packed_header"
done

latest=$(head -1 "$(dirname "$0")/../../res/changelog")
[[ $latest == "lexora ($version) "* ]] || disagrees "the changelog" "$latest"
metainfo=$build/invalid.lexora.lexora.metainfo.xml
if [ -f "$metainfo" ]; then
  release=$(sed -n 's/.*<release version="\([^"]*\)".*/\1/p' "$metainfo" | head -1)
  [ "$release" = "$version" ] || disagrees "the metainfo's release" "$release"
fi

(cd "$build" && cpack -G DEB -B "$work" >"$work/cpack.log" 2>&1) || {
  cat "$work/cpack.log" >&2
  echo "FAILED: cpack could not make the .deb" >&2
  exit 1
}
debs=("$work"/*.deb)
[ -f "${debs[0]}" ] || disagrees "cpack" "$(ls "$work")"
for deb in "${debs[@]}"; do
  [ -f "$deb" ] || continue
  package=$(dpkg-deb -f "$deb" Package)
  [[ $(basename "$deb") == "${package}_${version}_"*.deb ]] ||
    disagrees "the .deb's name" "$(basename "$deb")"
  control_version=$(dpkg-deb -f "$deb" Version)
  [ "$control_version" = "$version" ] || disagrees "$package's control file" "$control_version"
done

[ "$failures" -eq 0 ] || exit 1
echo "lexora ${version}: the programs, the man pages, the changelog, the metainfo and the packages agree"
