#!/usr/bin/env bash
# Builds the .deb and the source archive into build/package, from a plain configuration
# (no tests, no benchmarks: so it also shows that such a build needs neither GoogleTest nor
# Python), then checks the .deb: the programs, their man pages and completion, the
# documents, the dependencies shlibdeps found, and that the installed programs run.
#   scripts/package.sh            # build and check
#   scripts/package.sh --check    # only check what build/package already holds
set -euo pipefail
cd "$(dirname "$0")/.."
build=build/package

if [ "${1:-}" != --check ]; then
  scripts/setup.sh
  cmake -S . -B "$build" -G Ninja -DLEXORA_WERROR=ON >/dev/null
  cmake --build "$build" -j2
  (cd "$build" && cpack -G DEB >/dev/null && cpack --config CPackSourceConfig.cmake >/dev/null)
fi

fail() {
  echo "package check: $*" >&2
  exit 1
}
# Listings are read whole before they are searched: a grep -q that stops early would end
# the listing program by SIGPIPE, which pipefail takes for a failure.
deb=$(ls "$build"/lexora_*.deb 2>/dev/null | head -1)
[ -n "$deb" ] || fail "no .deb in $build"
source_archive=$(ls "$build"/lexora-*.tar.gz 2>/dev/null | head -1)
[ -n "$source_archive" ] || fail "no source archive in $build"

contents=$(dpkg-deb -c "$deb" | awk '{print $NF}')
for path in ./usr/bin/lexora-cli ./usr/bin/lexora-handheld \
  ./usr/share/man/man1/lexora-cli.1.gz ./usr/share/man/man1/lexora-handheld.1.gz \
  ./usr/share/bash-completion/completions/lexora-cli \
  ./usr/share/bash-completion/completions/lexora-handheld \
  ./usr/share/doc/lexora/LICENSE ./usr/share/doc/lexora/README.md; do
  grep -qxF "$path" <<<"$contents" || fail "$deb lacks $path"
done
# The desktop program goes in too when this build made it (Qt 6 was found).
if [ -x "$build/src/app/qt/lexora" ]; then
  for path in ./usr/bin/lexora ./usr/share/applications/lexora.desktop \
    ./usr/share/icons/hicolor/48x48/apps/lexora.png; do
    grep -qxF "$path" <<<"$contents" || fail "$deb lacks $path"
  done
fi
depends=$(dpkg-deb -f "$deb" Depends)
grep -q 'libc6' <<<"$depends" && grep -q 'zlib1g' <<<"$depends" ||
  fail "Depends lacks what shlibdeps should find: $depends"
[ "$(dpkg-deb -f "$deb" Section)" = utils ] || fail "the section is not utils"

# Installed into a throw-away root, the programs run and the man pages format cleanly.
root=$(mktemp -d)
trap 'rm -rf "$root"' EXIT
dpkg-deb -x "$deb" "$root"
version=$("$root/usr/bin/lexora-cli" --version)
grep -q 'MIT License' <<<"$version" || fail "lexora-cli --version has no licence line"
version=$("$root/usr/bin/lexora-handheld" --version)
grep -q 'MIT License' <<<"$version" || fail "lexora-handheld --version has no licence line"
for page in lexora-cli lexora-handheld; do
  warnings=$(zcat "$root/usr/share/man/man1/$page.1.gz" | groff -man -ww -z 2>&1) ||
    fail "$page.1 does not format"
  [ -z "$warnings" ] || fail "$page.1: $warnings"
done

# Every option a program's help names is in its man page.
cli_help=$(for c in "" pack info inspect send; do "$root/usr/bin/lexora-cli" $c --help; done)
handheld_help=$("$root/usr/bin/lexora-handheld" --help)
for program in lexora-cli lexora-handheld; do
  page=$(zcat "$root/usr/share/man/man1/$program.1.gz" | sed 's/\\-/-/g')
  help=$cli_help
  [ $program = lexora-handheld ] && help=$handheld_help
  for option in $(grep -oE -- '--[a-z][a-z-]*' <<<"$help" | sort -u); do
    grep -qF -- "$option" <<<"$page" || fail "$program.1 lacks $option"
  done
done
for completion in lexora-cli lexora-handheld; do
  bash -n "$root/usr/share/bash-completion/completions/$completion" ||
    fail "the completion for $completion does not parse"
done

listing=$(tar -tzf "$source_archive")
for file in CMakeLists.txt LICENSE man/lexora-cli.1.in scripts/package.sh; do
  grep -qx "lexora-[0-9.]*/$file" <<<"$listing" || fail "the source archive lacks $file"
done
if grep -qE '^lexora-[0-9.]*/(build|\.git)(/|$)' <<<"$listing"; then
  fail "the source archive holds build/ or .git"
fi
echo "package check: $(basename "$deb") and $(basename "$source_archive") hold what they should"
