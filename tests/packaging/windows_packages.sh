#!/usr/bin/env bash
# The Windows packages as a user meets them. The ZIP: one folder with the two programs, the
# Windows read-me (CRLF) and the licence. The installer, run silently under Wine in a prefix
# of its own: installed into the Program Files of its own architecture (a 32-bit installer
# under 64-bit Windows: Program Files (x86)) with its Start-menu entries and its
# Add/Remove Programs entry, installed again over itself (the stored language stays),
# uninstalled, then installed into a folder named with /D= and uninstalled again; each
# uninstall leaves the prefix's files and registry as they were before the install.
#
# usage: windows_packages.sh WINDOWS_BUILD VERSION FILE_VERSION PLATFORM
set -euo pipefail
build=$1 version=$2 file_version=$3 platform=$4
work=$(mktemp -d)
export WINEDEBUG=-all
export WINEPREFIX=$work/prefix
export WINEDLLOVERRIDES="winemenubuilder.exe=d;mscoree=d;mshtml=d"
cleanup() {
  wineserver -k 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT
fail() {
  echo "FAILED: $*" >&2
  exit 1
}

(cd "$build" && cpack -G "ZIP;NSIS" -B "$work/packages" >"$work/cpack.log" 2>&1) ||
  fail "cpack could not make the packages: $(cat "$work/cpack.log")"
folder=Lexora-$version-$platform
zip=$work/packages/$folder.zip
setup=$work/packages/$folder-setup.exe
[ -f "$zip" ] || fail "no $folder.zip among: $(ls "$work/packages")"
[ -f "$setup" ] || fail "no $folder-setup.exe among: $(ls "$work/packages")"

# --- The ZIP.
listing=$(unzip -Z1 "$zip" | grep -v '/$' | LC_ALL=C sort)
expected=$(printf '%s\n' LICENSE LZO-COPYING.txt Lexora.exe README.txt lexora-cli.exe | sed "s|^|$folder/|" |
  LC_ALL=C sort)
[ "$listing" = "$expected" ] || fail "the ZIP holds: $listing"
unzip -p "$zip" "$folder/README.txt" >"$work/README.txt"
lines=$(wc -l <"$work/README.txt")
crlf_lines=$(grep -c $'\r$' "$work/README.txt" || true)
[ "$lines" -gt 0 ] && [ "$crlf_lines" -eq "$lines" ] ||
  fail "README.txt: $crlf_lines of its $lines lines end in CRLF"
grep -q "Lexora $version" "$work/README.txt" || fail "README.txt does not name version $version"
! grep -q '@' "$work/README.txt" || fail "README.txt holds an unfilled placeholder"

# --- The installer.
wineboot -i >/dev/null 2>&1 || true
# Wine writes its registry files when its server ends: the prefix is compared at rest.
wineserver -w
drive_c=$WINEPREFIX/drive_c

# Files below drive_c, and registry keys and values without the times Wine stamps on keys.
# Left out: the temporary folders (the installer unpacks its plug-ins there), Wine's own
# settings and what Explorer records, and the hardware and network cards Wine enumerates
# again whenever it starts (System, NetworkCards); the installer writes into none of them.
registry_noise='^\[(System\\\\|Software\\\\Wine\\\\|Software\\\\Microsoft\\\\Windows\\\\CurrentVersion\\\\Explorer|Software\\\\Microsoft\\\\Windows NT\\\\CurrentVersion\\\\NetworkCards)'
snapshot() {
  wineserver -w
  (cd "$drive_c" && find . | grep -vE '/(temp|Temp)(/|$)' | LC_ALL=C sort) >"$work/$1.files"
  cat "$WINEPREFIX/system.reg" "$WINEPREFIX/user.reg" |
    sed -E 's/^(\[.*\]) [0-9]+$/\1/; /^#time=/d' |
    NOISE=$registry_noise awk 'BEGIN { noise = ENVIRON["NOISE"] } /^\[/ { skip = ($0 ~ noise) } !skip' \
      >"$work/$1.registry"
}
same_as_before() {
  snapshot "$1"
  diff "$work/before.files" "$work/$1.files" >&2 || fail "$2 left the files above changed"
  diff "$work/before.registry" "$work/$1.registry" >&2 || fail "$2 left the registry changed"
}

uninstall_key='HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\Lexora'
settings_key='HKCU\Software\Lexora\Lexora\UI'
# A value as `reg query` shows it, or nothing. In the registry view of the installer's own
# architecture: where 32-bit Wine is installed, `wine reg` is the 32-bit reg.exe.
view=/reg:32
[ "$platform" = win64 ] && view=/reg:64
reg_value() {
  wine reg query "$1" /v "$2" "$view" 2>/dev/null | tr -d '\r' |
    sed -nE "s/^ +$2 +REG_[A-Z_]+ +(.*)$/\1/p"
}
# The Windows paths of .exe files a shortcut names.
shortcut_targets() {
  { strings -a "$1" && strings -a -el "$1"; } | grep -oE '[A-Za-z]:\\[^"]*\.exe' | sort -u
}

# Checks an installation in the Windows folder $1.
check_installed() {
  local dir=$1 unix_dir
  unix_dir=$(winepath -u "$dir")
  for file in Lexora.exe lexora-cli.exe README.txt LICENSE LZO-COPYING.txt Uninstall.exe; do
    [ -f "$unix_dir/$file" ] || fail "$file is not in $dir"
  done
  [ "$(reg_value "$uninstall_key" DisplayName)" = Lexora ] ||
    fail "Add/Remove Programs: DisplayName is '$(reg_value "$uninstall_key" DisplayName)'"
  [ "$(reg_value "$uninstall_key" DisplayVersion)" = "$file_version" ] ||
    fail "Add/Remove Programs: DisplayVersion is '$(reg_value "$uninstall_key" DisplayVersion)'"
  [ -n "$(reg_value "$uninstall_key" Publisher)" ] || fail "Add/Remove Programs: no Publisher"
  [ "$(reg_value "$uninstall_key" UninstallString)" = "\"$dir\\Uninstall.exe\"" ] ||
    fail "Add/Remove Programs: UninstallString is '$(reg_value "$uninstall_key" UninstallString)'"
  # In the 64-bit registry, where a 64-bit Windows lists 64-bit programs.
  if [ "$platform" = win64 ]; then
    ! wine reg query "$uninstall_key" /reg:32 >/dev/null 2>&1 ||
      fail "the uninstall entry is in the 32-bit registry"
  fi

  # The Start-menu entries: the dialog's among them, and every one's target installed.
  local shortcuts found_dialog=no
  shortcuts=$(cd "$drive_c" && find . -name '*.lnk' -path '*Lexora*')
  [ -n "$shortcuts" ] || fail "no Start-menu entry"
  while read -r shortcut; do
    local targets
    targets=$(shortcut_targets "$drive_c/$shortcut")
    [ -n "$targets" ] || fail "$shortcut names no program"
    while read -r target; do
      [ -f "$(winepath -u "$target")" ] || fail "$shortcut points to $target, which does not exist"
      [ "${target,,}" = "${dir,,}\\lexora.exe" ] && found_dialog=yes
    done <<<"$targets"
  done <<<"$shortcuts"
  [ "$found_dialog" = yes ] || fail "no Start-menu entry starts $dir\\Lexora.exe"

  local answer
  answer=$(wine "$dir\\lexora-cli.exe" --version | tr -d '\r' | head -1)
  [ "$answer" = "lexora-cli $version" ] || fail "the installed lexora-cli.exe --version says '$answer'"
  wine "$dir\\Lexora.exe" --version >"$work/dialog-version.txt" 2>&1 || true
  answer=$(tr -d '\r' <"$work/dialog-version.txt" | head -1)
  [ "$answer" = "lexora $version" ] || fail "the installed Lexora.exe --version says '$answer'"
}

install() {
  wine "$setup" /S "$@" || fail "the installer ($*) ended with status $?"
  wineserver -w
}
uninstall() {
  local dir=$1
  # The uninstaller copies itself away and returns at once; Wine's server ends with it.
  wine "$dir\\Uninstall.exe" /S || fail "the uninstaller in $dir ended with status $?"
  wineserver -w
  [ ! -e "$(winepath -u "$dir")" ] || fail "$dir is still there: $(ls -A "$(winepath -u "$dir")")"
}

snapshot before
# The Program Files of the installer's architecture, as Windows names it in that view.
program_files=$(reg_value 'HKLM\Software\Microsoft\Windows\CurrentVersion' ProgramFilesDir)
[ -n "$program_files" ] || fail "no ProgramFilesDir in the registry"
default_dir="$program_files\Lexora"
install
check_installed "$default_dir"

# The dialog stores the language the user chose; a second install keeps it.
wine reg add "$settings_key" /v language /d chinese /f >/dev/null
install
check_installed "$default_dir"
[ "$(reg_value "$settings_key" language)" = chinese ] || fail "installing again lost the stored language"

uninstall "$default_dir"
[ "$(reg_value "$settings_key" language)" = chinese ] || fail "uninstalling removed the user's settings"
wine reg delete 'HKCU\Software\Lexora' /f >/dev/null
same_as_before "after-uninstall" "installing twice and uninstalling"

# Without spaces: NSIS takes /D= only unquoted, and wine quotes an argument with spaces.
chosen_dir='C:\LexoraTools'
install "/D=$chosen_dir"
check_installed "$chosen_dir"
[ ! -e "$(winepath -u "$default_dir")" ] || fail "/D= was not followed"
uninstall "$chosen_dir"
same_as_before "after-chosen-folder" "installing into a chosen folder and uninstalling"

echo "$folder.zip and $folder-setup.exe: contents, install, reinstall and uninstall as expected"
