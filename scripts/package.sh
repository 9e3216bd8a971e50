#!/usr/bin/env bash
# Builds the three .deb packages (lexora, lexora-cli, lexora-handheld) and the source archive
# into build/package, from a plain configuration (no tests, no benchmarks: so it also shows
# that such a build needs neither GoogleTest nor Python), then checks them: what each
# package holds and depends on (no Qt for the command line), lintian without an error or a
# warning, the AppStream metadata and the desktop entry, the programs and man pages as
# installed, and a build of the source archive, unpacked without Git, with the README's
# commands.
#   scripts/package.sh            # build and check
#   scripts/package.sh --check    # only check what build/package already holds
set -euo pipefail
cd "$(dirname "$0")/.."
build=build/package

if [ "${1:-}" != --check ]; then
  scripts/setup.sh
  rm -f "$build"/*.deb "$build"/*.tar.gz
  cmake -S . -B "$build" -G Ninja -DLEXORA_WERROR=ON >/dev/null
  cmake --build "$build" -j2
  (cd "$build" && cpack -G DEB >/dev/null && cpack --config CPackSourceConfig.cmake >/dev/null)
fi

fail() {
  echo "package check: $*" >&2
  exit 1
}
version=$(sed -n 's/^project(Lexora VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)
arch=$(dpkg --print-architecture)
deb_of() {
  echo "$build/${1}_${version}_${arch}.deb"
}
packages=(lexora-cli lexora-handheld)
# The desktop program is packaged when this build made it (Qt 6 was found).
[ -x "$build/src/app/qt/lexora" ] && packages+=(lexora)
for package in "${packages[@]}"; do
  [ -f "$(deb_of "$package")" ] || fail "no $(basename "$(deb_of "$package")") in $build"
done
source_archive=$build/lexora-$version.tar.gz
[ -f "$source_archive" ] || fail "no $(basename "$source_archive") in $build"

# What each package holds. Listings are read whole before they are searched: a grep -q
# that stops early would end the listing program by SIGPIPE, which pipefail takes for a
# failure.
expect_files() {
  local package=$1 contents
  shift
  contents=$(dpkg-deb -c "$(deb_of "$package")" | awk '{print $NF}')
  for path in "$@" "./usr/share/doc/$package/copyright" "./usr/share/doc/$package/changelog.gz"; do
    grep -qxF "$path" <<<"$contents" || fail "$package lacks $path"
  done
}
expect_files lexora-cli ./usr/bin/lexora-cli ./usr/share/man/man1/lexora-cli.1.gz \
  ./usr/share/bash-completion/completions/lexora-cli
expect_files lexora-handheld ./usr/bin/lexora-handheld ./usr/share/man/man1/lexora-handheld.1.gz \
  ./usr/share/bash-completion/completions/lexora-handheld
metainfo=./usr/share/metainfo/invalid.lexora.lexora.metainfo.xml
if [[ " ${packages[*]} " == *" lexora "* ]]; then
  expect_files lexora ./usr/bin/lexora ./usr/share/man/man1/lexora.1.gz \
    ./usr/share/applications/lexora.desktop ./usr/share/icons/hicolor/48x48/apps/lexora.png \
    "$metainfo"
fi

# Depends: what shlibdeps found; Qt only for the desktop program, and no package needs
# another.
for package in "${packages[@]}"; do
  depends=$(dpkg-deb -f "$(deb_of "$package")" Depends)
  grep -q 'libc6' <<<"$depends" || fail "$package: Depends lacks libc6: $depends"
  grep -qE '(^|, )lexora(-cli|-handheld)?( |,|$)' <<<"$depends" &&
    fail "$package depends on another Lexora package: $depends"
  if [ "$package" = lexora ]; then
    grep -q 'libqt6widgets6' <<<"$depends" || fail "lexora: Depends lacks Qt: $depends"
  else
    grep -q 'libqt6' <<<"$depends" && fail "$package needs Qt: $depends"
    grep -q 'zlib1g' <<<"$depends" || fail "$package: Depends lacks zlib1g: $depends"
  fi
done

# Debian's checks: no error and no warning (informational tags are shown, not counted).
lintian_out=$(lintian --tag-display-limit 0 --display-info \
  $(for p in "${packages[@]}"; do deb_of "$p"; done) 2>&1) || true
[ -z "$lintian_out" ] || echo "$lintian_out"
if grep -qE '^[EW]: ' <<<"$lintian_out"; then
  fail "lintian reports errors or warnings"
fi

root=$(mktemp -d)
trap 'rm -rf "$root"' EXIT
for package in "${packages[@]}"; do dpkg-deb -x "$(deb_of "$package")" "$root"; done

if [[ " ${packages[*]} " == *" lexora "* ]]; then
  appstreamcli validate --no-net "$root/$metainfo" || fail "the metainfo does not validate"
  grep -qF "<release version=\"$version\"" "$root/$metainfo" ||
    fail "the metainfo names no release $version"
  desktop-file-validate "$root/usr/share/applications/lexora.desktop" ||
    fail "the desktop entry does not validate"
fi

# Installed, the programs run and the man pages format cleanly.
for program in lexora-cli lexora-handheld; do
  grep -q 'MIT License' <<<"$("$root/usr/bin/$program" --version)" ||
    fail "$program --version has no licence line"
done
pages=(lexora-cli lexora-handheld)
[[ " ${packages[*]} " == *" lexora "* ]] && pages+=(lexora)
for page in "${pages[@]}"; do
  warnings=$(zcat "$root/usr/share/man/man1/$page.1.gz" | groff -man -ww -z 2>&1) ||
    fail "$page.1 does not format"
  [ -z "$warnings" ] || fail "$page.1: $warnings"
done

# Every option a program's help names is in its man page.
help_of() {
  case $1 in
    lexora-cli) for c in "" pack info inspect send; do "$root/usr/bin/lexora-cli" $c --help; done ;;
    lexora-handheld) "$root/usr/bin/lexora-handheld" --help ;;
    lexora) QT_QPA_PLATFORM=offscreen "$root/usr/bin/lexora" --help ;;
  esac
}
for program in "${pages[@]}"; do
  page=$(zcat "$root/usr/share/man/man1/$program.1.gz" | sed 's/\\-/-/g')
  help=$(help_of "$program")
  for option in $(grep -oE -- '--[a-z][a-z-]*' <<<"$help" | sort -u); do
    grep -qF -- "$option" <<<"$page" || fail "$program.1 lacks $option"
  done
done
for completion in lexora-cli lexora-handheld; do
  bash -n "$root/usr/share/bash-completion/completions/$completion" ||
    fail "the completion for $completion does not parse"
done

# The source archive unpacks into one folder, holds no build output or Git, and builds and
# passes the tests there with the README's command.
listing=$(tar -tzf "$source_archive")
folders=$(cut -d/ -f1 <<<"$listing" | sort -u)
[ "$folders" = "lexora-$version" ] || fail "the source archive does not unpack into one folder: $folders"
for file in CMakeLists.txt LICENSE README.md man/lexora-cli.1.in scripts/package.sh scripts/test.sh; do
  grep -qx "lexora-$version/$file" <<<"$listing" || fail "the source archive lacks $file"
done
if grep -qE "^lexora-$version/(build|\.git)(/|$)" <<<"$listing"; then
  fail "the source archive holds build/ or .git"
fi
unpacked=$(mktemp -d)
trap 'rm -rf "$root" "$unpacked"' EXIT
tar -xzf "$source_archive" -C "$unpacked"
(cd "$unpacked/lexora-$version" && scripts/test.sh >"$unpacked/test.log" 2>&1) ||
  fail "the source archive does not build and pass its tests: $(tail -20 "$unpacked/test.log")"
echo "package check: ${packages[*]} ($version) and $(basename "$source_archive") hold what they should"
