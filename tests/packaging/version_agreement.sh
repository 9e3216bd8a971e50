#!/usr/bin/env bash
# Every program's --version, both man pages' header and the .deb (its name and its control
# file's Version) say the project's version.
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

for page in lexora-cli lexora-handheld; do
  header=$(head -1 "$build/man/$page.1")
  [[ $header == *"\"Lexora $version\""* ]] || disagrees "$page.1" "$header"
  packed_header=$(zcat "$build/man/$page.1.gz" | head -1)
  [ "$packed_header" = "$header" ] || disagrees "$page.1.gz" "$packed_header"
done

(cd "$build" && cpack -G DEB -B "$work" >"$work/cpack.log" 2>&1) || {
  cat "$work/cpack.log" >&2
  echo "FAILED: cpack could not make the .deb" >&2
  exit 1
}
debs=("$work"/lexora_*.deb)
[ -f "${debs[0]}" ] || disagrees "cpack" "$(ls "$work")"
if [ -f "${debs[0]}" ]; then
  [[ $(basename "${debs[0]}") == "lexora_${version}_"*.deb ]] ||
    disagrees "the .deb's name" "$(basename "${debs[0]}")"
  control_version=$(dpkg-deb -f "${debs[0]}" Version)
  [ "$control_version" = "$version" ] || disagrees "the .deb's control file" "$control_version"
fi

[ "$failures" -eq 0 ] || exit 1
echo "lexora ${version}: the programs, the man pages and the .deb agree"
