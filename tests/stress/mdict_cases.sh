# MDict files that are damaged or built to hurt: each is refused, or read in part, with a
# message naming the file; never a crash, a hang or memory out of proportion to the file.
# The files come from the benchmark's generator, then byte surgery (mdict_surgery.py keeps
# the checksums right, so the reader meets the lie itself and not only a bad checksum).

# The cases run elsewhere: the tools' paths are taken while this file is read.
export STRESS_MDICT_GENERATOR="$PWD/bench/gen_mdict.py"
export STRESS_MDICT_SURGERY="$PWD/tests/stress/mdict_surgery.py"
export STRESS_MDICT_CHECK="$PWD/tests/data/mdict/check.py"
# The interpreter itself: a version manager's shim costs a second a call, and there are dozens.
STRESS_MDICT_PYTHON=$(python3 -c 'import sys; print(sys.executable)')
export STRESS_MDICT_PYTHON

# Writes NAME (a version 2.0 .mdx of COUNT entries "word000000" ... with unique keys, blocks
# zlib, LZO and none in turn, about 2 KB of keys and 8 KB of records a block) and NAME.tsv.
stress_mdict_make() {
  local name=$1 count=$2
  shift 2
  "$STRESS_MDICT_PYTHON" -c '
import sys
n = int(sys.argv[1])
sys.stdout.write("".join("word%06d\t<b>word%06d</b> meaning %d\n" % (i, i, i) for i in range(n)))
' "$count" >"$name.tsv" || return 1
  "$STRESS_MDICT_PYTHON" "$STRESS_MDICT_GENERATOR" "$name" --entries-from "$name.tsv" --compression mixed \
    --key-block-bytes 2048 --record-block-bytes 8192 "$@"
}

stress_mdict_surgery() {
  "$STRESS_MDICT_PYTHON" "$STRESS_MDICT_SURGERY" "$@"
}

# Runs lexora-cli info on FILE with the address space capped at LIMIT_MB (default 1024) and
# 20 seconds; succeeds when it ended on its own (status 0 or 1, not a signal or the timeout)
# and its messages name the file. Its status is left in $CASE_DIR/status.
stress_mdict_info_bounded() {
  local file=$1 limit_mb=${2:-1024}
  local status=0
  (ulimit -v $((limit_mb * 1024)); timeout 20 "$CLI" --lang en -q info "$file" >out.txt 2>err.txt) ||
    status=$?
  echo "$status" >"$CASE_DIR/status"
  if [ "$status" -gt 1 ]; then
    echo "info on $file ended with status $status"; tail -5 err.txt; return 1
  fi
  if ! grep -qF "$(basename "$file")" err.txt; then
    echo "no message names $file:"; cat err.txt; return 1
  fi
}

# The file cut at each section's start, inside it, and one byte short of the end.
case_mdict_truncated_at_every_section_is_named() {
  stress_mdict_make m.mdx 3000 >/dev/null || return 1
  local size cuts name at
  size=$(stat -c %s m.mdx)
  cuts="2 4 40 $((size - 1))"
  while read -r name at; do
    cuts="$cuts $at $((at + 3)) $((at + 20))"
  done < <(stress_mdict_surgery sections m.mdx | grep -v '^end ')
  for at in $cuts; do
    [ "$at" -lt "$size" ] || continue
    head -c "$at" m.mdx >"cut-$at.mdx"
    stress_mdict_info_bounded "cut-$at.mdx" || return 1
  done
}

# Sizes that run past the end of the file: the header's length, the key-block info's, the
# key blocks' and record blocks' totals, one key block's and one record block's.
case_mdict_sizes_past_the_end_are_refused() {
  stress_mdict_make m.mdx 3000 >/dev/null || return 1
  local n=0 lie
  for lie in info_size=0x7fffffffffff key_blocks_size=0x7fffffffffffffff \
             record_blocks_size=0x100000000000 key_packed.1=0x40000000 \
             record_packed.2=0xffffffffffff record_info_size=0x7fffffff0; do
    n=$((n + 1))
    cp m.mdx "far-$n.mdx"
    stress_mdict_surgery set "far-$n.mdx" "$lie" || return 1
    stress_mdict_info_bounded "far-$n.mdx" || { echo "($lie)"; return 1; }
  done
  cp m.mdx far-header.mdx
  printf '\x7f\xff\xff\xf0' | dd of=far-header.mdx conv=notrunc status=none
  stress_mdict_info_bounded far-header.mdx
}

# Counts that disagree with the blocks they describe.
case_mdict_counts_that_disagree_are_refused_or_noted() {
  stress_mdict_make m.mdx 3000 >/dev/null || return 1
  local n=0 lie
  for lie in entries=1000000000000 entries=2999 key_blocks=1000000 key_blocks=0 \
             key_count.0=1000000 key_count.1=0 record_entries=3001 record_blocks=0 \
             record_blocks=0x10000000000 "record_blocks=2 record_info_size=32"; do
    n=$((n + 1))
    cp m.mdx "count-$n.mdx"
    # shellcheck disable=SC2086  # a lie may be two numbers
    stress_mdict_surgery set "count-$n.mdx" $lie || return 1
    stress_mdict_info_bounded "count-$n.mdx" || { echo "($lie)"; return 1; }
  done
}

# Blocks that inflate to far more than they declare (768 MiB of zlib, 640 MiB of LZO, each said
# to be 100 bytes), and blocks that declare far more than they hold (1 TiB): within 512 MB.
case_mdict_decompression_bombs_stay_bounded() {
  stress_mdict_make m.mdx 3000 >/dev/null || return 1
  local where
  for where in info key.1 record.1; do
    cp m.mdx "bomb-$where.mdx"
    stress_mdict_surgery bomb "bomb-$where.mdx" "$where" zlib $((768 << 20)) 100 || return 1
    stress_mdict_info_bounded "bomb-$where.mdx" 512 || return 1
  done
  cp m.mdx bomb-lzo.mdx
  stress_mdict_surgery bomb bomb-lzo.mdx record.1 lzo $((640 << 20)) 100 || return 1
  stress_mdict_info_bounded bomb-lzo.mdx 512 || return 1
  local n=0 lie
  for lie in info_plain_size=0x10000000000 key_plain.1=0x10000000000 record_plain.1=0x10000000000; do
    n=$((n + 1))
    cp m.mdx "claims-$n.mdx"
    stress_mdict_surgery set "claims-$n.mdx" "$lie" || return 1
    stress_mdict_info_bounded "claims-$n.mdx" 512 || { echo "($lie)"; return 1; }
  done
}

# Key blocks packed a thousandfold, honestly: one key repeated to 64 MiB each. Keys wait in
# memory for their records, so six such blocks would take gigabytes; within 512 MB, the
# entries read are kept.
case_mdict_key_bombs_stay_bounded() {
  stress_mdict_make k.mdx 3000 >/dev/null || return 1
  local i size=$(((64 << 20) / 10 * 10))
  for i in 0 1 2 3 4 5; do
    stress_mdict_surgery bomb k.mdx "key.$i" keys "$size" "$size" || return 1
  done
  stress_mdict_info_bounded k.mdx 512 || return 1
  [ "$(cat "$CASE_DIR/status")" = 0 ] || { echo "the file was refused, not read in part"; return 1; }
}

# A record block with a wrong Adler-32 costs its own entries, in a notice naming the file;
# the others load. A key block's costs its keys. A wrong checksum of the header or of the
# key section's numbers is refused.
case_mdict_wrong_checksums_cost_only_their_block() {
  stress_mdict_make r.mdx 3000 --bad-checksum record:3 >/dev/null || return 1
  local kept
  kept=$("$STRESS_MDICT_PYTHON" "$STRESS_MDICT_CHECK" r.mdx --bad record:3 | sed -nE 's/.*: ([0-9]+) entries,.*/\1/p')
  stress_mdict_info_bounded r.mdx || return 1
  [ "$(cat "$CASE_DIR/status")" = 0 ] || { echo "a bad record block refused the whole file"; return 1; }
  grep -q "entries: $kept\$" out.txt || { echo "not the $kept entries of the good blocks:"; cat out.txt; return 1; }

  stress_mdict_make k.mdx 3000 --bad-checksum key:2 >/dev/null || return 1
  kept=$("$STRESS_MDICT_PYTHON" "$STRESS_MDICT_CHECK" k.mdx --bad key:2 | sed -nE 's/.*: ([0-9]+) entries,.*/\1/p')
  stress_mdict_info_bounded k.mdx || return 1
  [ "$(cat "$CASE_DIR/status")" = 0 ] || { echo "a bad key block refused the whole file"; return 1; }
  local got
  got=$(sed -nE 's/^ *entries: ([0-9]+)$/\1/p' out.txt)
  [ -n "$got" ] && [ "$got" -ge $((kept - 1)) ] && [ "$got" -le "$kept" ] ||
    { echo "$got entries, not the $kept of the good key blocks"; return 1; }

  stress_mdict_make h.mdx 100 >/dev/null || return 1
  local at
  at=$(stress_mdict_surgery sections h.mdx | sed -n 's/^key_header //p')
  printf '\x55' | dd of=h.mdx bs=1 seek=$((at - 1)) conv=notrunc status=none
  stress_mdict_info_bounded h.mdx || return 1
  stress_mdict_make s.mdx 100 >/dev/null || return 1
  printf '\x55' | dd of=s.mdx bs=1 seek=$((at + 43)) conv=notrunc status=none
  stress_mdict_info_bounded s.mdx
}

# A chain of 100,000 links, loops of two and of one, links to nothing: loading ends, within
# bounds, and the plain entries are all there.
case_mdict_link_loops_and_long_chains_end() {
  "$STRESS_MDICT_PYTHON" -c '
n = 100000
lines = ["chain%06d\t@@@LINK=chain%06d" % (i, i + 1) for i in range(n)]
lines += ["chain%06d\tthe end of the chain" % n, "ping\t@@@LINK=pong", "pong\t@@@LINK=ping",
          "self\t@@@LINK=self", "lost\t@@@LINK=nowhere"]
lines += ["plain%06d\tmeaning %d" % (i, i) for i in range(1000)]
print("\n".join(lines))
' >links.tsv || return 1
  "$STRESS_MDICT_PYTHON" "$STRESS_MDICT_GENERATOR" links.mdx --entries-from links.tsv --compression zlib || return 1
  local status=0
  (ulimit -v $((1024 * 1024)); timeout 20 "$CLI" --lang en -q info links.mdx >out.txt 2>err.txt) ||
    status=$?
  [ "$status" -le 1 ] || { echo "info ended with status $status"; tail -5 err.txt; return 1; }
  [ "$status" = 0 ] || { echo "links refused the whole file:"; cat err.txt; return 1; }
  local got
  got=$(sed -nE 's/^ *entries: ([0-9]+)$/\1/p' out.txt)
  [ -n "$got" ] && [ "$got" -ge 1001 ] || { echo "the plain entries are not all there:"; cat out.txt; return 1; }
}

# Not an MDict file at all, or a header that is not one: empty, noise, a header of odd length,
# one that is not XML, one without a version, one whose version is a word.
case_mdict_noise_and_bad_headers_are_refused() {
  : >empty.mdx
  stress_mdict_info_bounded empty.mdx || return 1
  head -c 2000000 /dev/urandom >noise.mdx
  stress_mdict_info_bounded noise.mdx || return 1
  "$STRESS_MDICT_PYTHON" - <<'PY' || return 1
import struct
import zlib

def mdx(name, header_bytes, rest=b"\0" * 64):
    with open(name, "wb") as f:
        f.write(struct.pack(">I", len(header_bytes)) + header_bytes +
                struct.pack("<I", zlib.adler32(header_bytes)) + rest)

utf16 = lambda text: (text + "\r\n\0").encode("utf-16-le")
mdx("odd.mdx", utf16('<Dictionary GeneratedByEngineVersion="2.0"/>') + b"x")
mdx("notxml.mdx", utf16("GeneratedByEngineVersion 2.0 Encoding UTF-8"))
mdx("noversion.mdx", utf16('<Dictionary Encoding="UTF-8" Format="Html"/>'))
mdx("wordversion.mdx", utf16('<Dictionary GeneratedByEngineVersion="two" Encoding="UTF-8"/>'))
mdx("zerolength.mdx", b"")
mdx("badencoding.mdx", utf16('<Dictionary GeneratedByEngineVersion="2.0" Encoding="KOI9-Q"/>'))
PY
  local f
  for f in odd notxml noversion wordversion zerolength badencoding; do
    stress_mdict_info_bounded "$f.mdx" || return 1
    [ "$(cat "$CASE_DIR/status")" = 1 ] || { echo "$f.mdx was not refused"; return 1; }
  done
}
