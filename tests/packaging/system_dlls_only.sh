#!/usr/bin/env bash
# Every program of a Windows package needs only DLLs that Windows itself ships: each DLL a
# program imports must be one of the system DLLs in a Wine prefix's system32 (the runtime
# libraries of the cross compiler, linked statically, must not appear).
#
# usage: system_dlls_only.sh WINE_PREFIX ZIP
set -euo pipefail
prefix=$1 zip=$2
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
system32=$prefix/drive_c/windows/system32
[ -d "$system32" ] || { echo "FAILED: no system32 in $prefix" >&2; exit 1; }
unzip -q "$zip" -d "$work"
status=0
while IFS= read -r -d '' program; do
  # The x64 objdump reads 32-bit programs as well.
  while read -r dll; do
    if ! find "$system32" -maxdepth 1 -iname "$dll" | grep -q .; then
      echo "FAILED: $(basename "$program") needs $dll, which Windows does not ship" >&2
      status=1
    fi
  done < <(x86_64-w64-mingw32-objdump -p "$program" | sed -n 's/^\tDLL Name: //p')
done < <(find "$work" -iname '*.exe' -print0)
[ "$status" -eq 0 ] && echo "$(basename "$zip"): system DLLs only"
exit "$status"
