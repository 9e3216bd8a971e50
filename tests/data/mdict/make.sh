#!/usr/bin/env bash
# Regenerates the MDict fixtures with bench/gen_mdict.py and reads each back with check.py.
#   tests/data/mdict/make.sh           rewrite the fixtures here
#   tests/data/mdict/make.sh --check   write them to a scratch folder and fail when they differ
#                                      from the ones committed or do not read back as written
# Needs python3 with Debian's python3-lzo.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
gen=$here/../../../bench/gen_mdict.py
# The interpreter itself, not a version manager's shim that costs a second a call.
py=$(python3 -c 'import sys; print(sys.executable)')
out=$here

# A record longer than the handheld keeps (64 KiB), made here rather than kept as a text
# file: links to it, from a shorter and a longer headword.
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
long=$scratch/long-link.tsv
"$py" -c 'import sys; sys.stdout.write("long\t<p>" + "word " * 14000 + "</p>\nbig\t@@@LINK=long\nlengthier\t@@@LINK=long\n")' >"$long"

if [ "${1:-}" = --check ]; then
  out=$scratch/out
  mkdir "$out"
fi

# Small blocks, so that a handful of entries spans several key and record blocks.
small=(--key-block-bytes 24 --record-block-bytes 64)
# name | entries | generator options | check.py options
fixtures=(
  "v2-zlib.mdx|basic.tsv|--compression zlib ${small[*]}|"
  "v2-lzo.mdx|basic.tsv|--compression lzo ${small[*]}|"
  "v2-none.mdx|basic.tsv|--compression none ${small[*]}|"
  "v2-mixed-cipher.mdx|basic.tsv|--compression mixed --encrypted 2 ${small[*]}|"
  "v1-mixed.mdx|basic.tsv|--version 1.2 --compression mixed --encrypted No --encoding '' ${small[*]}|"
  "v1-lzo.mdx|basic.tsv|--version 1.2 --compression lzo|"
  "bad-checksum.mdx|basic.tsv|--compression mixed ${small[*]} --bad-checksum record:1|--bad record:1"
  "v3.mdx|basic.tsv|--version 3.0 --compression zlib|"
  "encrypted-records.mdx|basic.tsv|--encrypted 1 --compression zlib|"
  "encrypted-records-yes.mdx|basic.tsv|--encrypted Yes --compression zlib|"
  "gbk.mdx|gbk.tsv|--encoding GBK --compression mixed --encrypted 2 ${small[*]}|"
  "big5.mdx|big5.tsv|--encoding BIG5 --compression zlib|"
  "utf16.mdx|utf16.tsv|--encoding UTF-16 --compression mixed --encrypted 2 ${small[*]}|"
  "links.mdx|links.tsv|--compression zlib --title 'Title (No HTML code allowed)'|"
  "case.mdx|case.tsv|--key-case-sensitive --strip-key No --compression lzo|"
  "stripkey.mdx|stripkey.tsv|--strip-key Yes --compression zlib|"
  "long-link.mdx|$long|--compression zlib|"
  "text.mdx|text.tsv|--format Text --title '' --compression none|"
  "media.mdd||--mdd --compression mixed --key-block-bytes 24 --record-block-bytes 64|"
)

failed=0
for f in "${fixtures[@]}"; do
  IFS='|' read -r name entries options checks <<<"$f"
  from=()
  [ -n "$entries" ] && [ "${entries:0:1}" != / ] && entries=$here/$entries
  [ -n "$entries" ] && from=(--entries-from "$entries")
  eval "\"$py\" \"$gen\" \"$out/$name\" ${from[*]@Q} $options"
  with=()
  [ -n "$entries" ] && with=(--entries "$entries")
  # shellcheck disable=SC2086  # the check options are words
  "$py" "$here/check.py" "$out/$name" "${with[@]}" $checks >/dev/null || {
    "$py" "$here/check.py" "$out/$name" "${with[@]}" $checks; failed=1; }
  if [ "$out" != "$here" ] && ! cmp -s "$out/$name" "$here/$name"; then
    echo "$name: the generator no longer writes the committed fixture"
    failed=1
  fi
done
[ "$failed" -eq 0 ] && echo "mdict fixtures: ${#fixtures[@]} written and read back"
exit "$failed"
