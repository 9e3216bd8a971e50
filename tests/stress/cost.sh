#!/usr/bin/env bash
# The cost rule: no input costs more than its size warrants. Each case makes a hostile or
# pathological input, runs one command on it under /usr/bin/time and `timeout`, and holds
# when the command's wall time and peak memory stay within the bounds beside it:
#   size basis  the larger of the input's size and the uncompressed size of what is packed
#               from it, as stated by the case;
#   memory      at most 4 x the basis + 64 MB, or 64 MB for an input refused at its first
#               bytes;
#   time        at most 5 s per 100 MB of the basis, and never less than 2 s.
# A case that is killed (time-out, signal) does not hold. Prints one row per case.
#   tests/stress/cost.sh [BUILD_DIR] [NAME_PATTERN]
set -uo pipefail
cd "$(dirname "$0")/../.." || exit 2
BUILD=$(readlink -f "${1:-build/default}") pattern=${2:-}
CLI=$BUILD/src/cli/lexora-cli HANDHELD=$BUILD/src/handheld/lexora-handheld
for program in "$CLI" "$HANDHELD" /usr/bin/time "$(command -v dictzip)"; do
  [ -x "$program" ] || { echo "cost: ${program:-dictzip} is missing (build the default preset first)"; exit 2; }
done

WORK=$(mktemp -d)
handheld_pid=
cleanup() {
  [ -n "$handheld_pid" ] && kill "$handheld_pid" 2>/dev/null
  chmod -R u+rwx "$WORK" 2>/dev/null
  rm -rf "$WORK"
}
trap cleanup EXIT
MB=$((1 << 20))
REFUSED=refused  # the basis of an input refused at its first bytes
passed=0 failed=0

printf '%-34s %10s %8s %8s %9s %9s %s\n' case basis seconds bound 'RSS MB' bound ok

# measure NAME BASIS COMMAND...: runs COMMAND in $WORK/NAME and checks it against the bounds
# for BASIS (bytes, or $REFUSED). Standard input is the case's own file when $STDIN is set.
measure() {
  local name=$1 basis=$2
  shift 2
  [[ -n "$pattern" && "$name" != *$pattern* ]] && return 0
  local mem_kb time_bound
  if [ "$basis" = "$REFUSED" ]; then
    mem_kb=$((64 * 1024))
    time_bound=2
  else
    mem_kb=$((4 * basis / 1024 + 64 * 1024))
    time_bound=$(awk -v b="$basis" 'BEGIN { t = 5 * b / (100 * 1048576); printf "%.1f", t < 2 ? 2 : t }')
  fi
  # The run is cut off well past its bounds, and its address space is capped, so that a
  # case that fails cannot take the machine with it.
  local limit_s limit_kb
  limit_s=$(awk -v t="$time_bound" 'BEGIN { printf "%d", 2 * t + 5 }')
  limit_kb=$((4 * mem_kb + 1024 * 1024))
  local status
  (
    cd "$WORK/$name" || exit 125
    ulimit -v "$limit_kb"
    exec /usr/bin/time -f '%e %M' -o "$WORK/$name.time" \
      timeout -k 2 "$limit_s" "$@" <"${STDIN:-/dev/null}" >"$WORK/$name.out" 2>"$WORK/$name.err"
  )
  status=$?
  local seconds rss_kb
  read -r seconds rss_kb < <(tail -n 1 "$WORK/$name.time" 2>/dev/null || echo "- 0")
  local ok=yes
  if [ "$status" -ge 124 ]; then
    ok="NO (exit $status)"
  elif ! awk -v s="$seconds" -v t="$time_bound" -v r="$rss_kb" -v m="$mem_kb" \
      'BEGIN { exit !(s + 0 <= t + 0 && r + 0 <= m + 0) }'; then
    ok=NO
  fi
  local shown_basis=$basis
  [ "$basis" != "$REFUSED" ] && shown_basis="$((basis / MB)) MB"
  printf '%-34s %10s %8s %8s %9s %9s %s\n' "$name" "$shown_basis" "$seconds" "$time_bound" \
    "$((rss_kb / 1024))" "$((mem_kb / 1024))" "$ok"
  if [ "$ok" = yes ]; then
    passed=$((passed + 1))
  else
    failed=$((failed + 1))
    tail -n 3 "$WORK/$name.err" | sed 's/^/    /'
  fi
  rm -rf "${WORK:?}/$name" "$WORK/$name".*
}

# prepare NAME: a fresh folder for the case's files, with its own settings folder.
prepare() {
  mkdir -p "$WORK/$1/config/Lexora"
  export XDG_CONFIG_HOME=$WORK/$1/config
}

wanted() { [[ -z "$pattern" || "$1" == *$pattern* ]]; }

# A StarDict dictionary in $WORK/NAME beside its data file d.dict: d.ifo (sametypesequence
# TYPES) and d.idx, COUNT records "w<i>" of SIZE bytes, the first at OFFSET, each STEP on.
stardict() {
  local name=$1 types=$2 count=$3 offset=$4 size=$5 step=${6:-0}
  python3 - "$WORK/$name/d.idx" "$count" "$offset" "$size" "$step" <<'EOF'
import struct, sys
path, count, offset, size, step = sys.argv[1], *map(int, sys.argv[2:])
with open(path, "wb") as f:
    for i in range(count):
        f.write(b"w%d\0" % i + struct.pack(">II", offset + i * step, size))
EOF
  printf 'StarDict'"'"'s dict ifo file\nversion=2.4.2\nbookname=cost\nwordcount=%d\nsametypesequence=%s\n' \
    "$count" "$types" >"$WORK/$name/d.ifo"
}

size_of() { stat -c %s "$@" | awk '{ s += $1 } END { printf "%.0f\n", s }'; }

# --- the settings file (fault 1) -----------------------------------------------------------
name=settings_is_dev_zero
if wanted $name; then
  prepare $name
  ln -s /dev/zero "$XDG_CONFIG_HOME/Lexora/Lexora.conf"
  measure $name "$REFUSED" "$CLI" --help
fi

name=settings_of_50MB_blank_lines
if wanted $name; then
  prepare $name
  head -c $((50 * MB)) /dev/zero | tr '\0' '\n' >"$XDG_CONFIG_HOME/Lexora/Lexora.conf"
  measure $name "$REFUSED" "$CLI" --help
fi

# --- packed images (fault 3) ---------------------------------------------------------------
name=inspect_30MB_of_zeros
if wanted $name; then
  prepare $name
  truncate -s 30M "$WORK/$name/z.lxp"
  measure $name "$REFUSED" "$CLI" inspect z.lxp
fi

for command in list lookup; do
  name=handheld_${command}_3GB_sparse_image
  if wanted $name; then
    prepare $name
    mkdir -p "$WORK/$name/store"
    truncate -s 3G "$WORK/$name/store/big.lxp"
    if [ $command = list ]; then
      measure $name "$REFUSED" "$HANDHELD" list --store store
    else
      measure $name "$REFUSED" "$HANDHELD" lookup big word --store store
    fi
  fi
done

# --- StarDict entries (fault 5) --------------------------------------------------------------
# 2,000 records that all claim the whole 1 MB data file and more: each entry keeps what a
# block carries, so what is packed is 2,000 x 64 KiB.
name=stardict_2000_overlapping_records
if wanted $name; then
  prepare $name
  awk 'BEGIN { for (i = 0; i < 16384; i++) printf "%063d\n", i }' >"$WORK/$name/d.dict"
  stardict $name m 2000 0 4294967295
  basis=$(size_of "$WORK/$name"/d.*)
  [ "$basis" -lt $((2000 * 65536)) ] && basis=$((2000 * 65536))
  measure $name "$basis" "$CLI" -q pack -o out.lxp d.ifo
fi

# One PowerWord field of 8 MB: bounded before it reaches the XML parser.
name=powerword_field_of_8MB
if wanted $name; then
  prepare $name
  python3 -c '
import sys
item = "<解释项><![CDATA[x]]></解释项>".encode()
sys.stdout.buffer.write("<单词项>".encode() + item * (8 * 1048576 // len(item)) + "</单词项>".encode())
' >"$WORK/$name/d.dict"
  stardict $name k 1 0 "$(size_of "$WORK/$name/d.dict")"
  measure $name "$(size_of "$WORK/$name"/d.*)" "$CLI" -q pack -o out.lxp d.ifo
fi

# A field of empty elements just within that bound: the parsed tree's cost, at its largest.
name=powerword_field_at_the_bound
if wanted $name; then
  prepare $name
  python3 -c 'import sys; sys.stdout.write("<a/>" * (131072 - 8))' >"$WORK/$name/d.dict"
  stardict $name k 1 0 "$(size_of "$WORK/$name/d.dict")"
  measure $name "$(size_of "$WORK/$name"/d.*)" "$CLI" -q pack -o out.lxp d.ifo
fi

# --- passwords (faults 6 and 7) ------------------------------------------------------------
name=send_password_stdin_20MB_zeros
if wanted $name; then
  prepare $name
  printf 'secret\n' >"$WORK/$name/password"
  printf 'apple\tfruit\n' >"$WORK/$name/d.txt"
  "$HANDHELD" serve --listen "unix:$WORK/$name/h.sock" --store "$WORK/$name/store" \
    --password-file "$WORK/$name/password" >/dev/null 2>&1 &
  handheld_pid=$!
  for _ in $(seq 200); do [ -S "$WORK/$name/h.sock" ] && break; sleep 0.05; done
  head -c $((20 * MB)) /dev/zero >"$WORK/$name/zeros"
  STDIN=$WORK/$name/zeros measure $name "$REFUSED" \
    "$CLI" -q send --device "unix:$WORK/$name/h.sock" --yes --password-stdin d.txt
  kill "$handheld_pid" 2>/dev/null
  wait "$handheld_pid" 2>/dev/null
  handheld_pid=
fi

name=serve_password_file_dev_zero
if wanted $name; then
  prepare $name
  measure $name "$REFUSED" "$HANDHELD" serve --listen "unix:$WORK/$name/h.sock" \
    --store store --password-file /dev/zero
fi

# --- inputs known to be pathological ---------------------------------------------------------
# One line of 2 GB (a sparse file: it costs no disk).
name=text_single_line_of_2GB
if wanted $name; then
  prepare $name
  printf 'word\t' >"$WORK/$name/d.txt"
  truncate -s 2G "$WORK/$name/d.txt"
  measure $name "$(size_of "$WORK/$name/d.txt")" "$CLI" -q pack -o out.lxp d.txt
fi

name=text_of_5M_tiny_entries
if wanted $name; then
  prepare $name
  awk 'BEGIN { for (i = 0; i < 5000000; i++) printf "w%d\tx\n", i }' >"$WORK/$name/d.txt"
  # Packed, each entry is a key item (1 + headword bytes) and a record item (2 + 1).
  packed=$(awk 'BEGIN { for (i = 0; i < 5000000; i++) s += 5 + length(i); printf "%.0f", s }')
  basis=$(size_of "$WORK/$name/d.txt")
  [ "$basis" -lt "$packed" ] && basis=$packed
  measure $name "$basis" "$CLI" -q pack -o out.lxp d.txt
fi

# A dictzip file whose chunk table lies about the chunks: read as a plain gzip stream.
name=dictzip_with_a_false_chunk_table
if wanted $name; then
  prepare $name
  awk 'BEGIN { for (i = 0; i < 200000; i++) printf "meaning %d of a word, with some words more\n", i }' \
    >"$WORK/$name/d.dict"
  data=$(size_of "$WORK/$name/d.dict")
  stardict $name m 20000 0 "$((data / 20000))" "$((data / 20000))"
  dictzip "$WORK/$name/d.dict"
  # Every chunk's compressed size in the table is swapped with its neighbour's.
  python3 - "$WORK/$name/d.dict.dz" <<'EOF'
import struct, sys
path = sys.argv[1]
b = bytearray(open(path, "rb").read())
count = struct.unpack_from("<H", b, 20)[0]
sizes = [struct.unpack_from("<H", b, 22 + 2 * i)[0] for i in range(count)]
for i in range(0, count - 1, 2):
    sizes[i], sizes[i + 1] = sizes[i + 1] + 1, max(sizes[i] - 1, 0)
for i, s in enumerate(sizes):
    struct.pack_into("<H", b, 22 + 2 * i, s)
open(path, "wb").write(bytes(b))
EOF
  measure $name "$data" "$CLI" -q pack -o out.lxp d.ifo
fi

# A dictzip file whose chunk table claims 32,000 chunks of 65,535 bytes (2 GB) where the
# stream holds 1 MB, with records spread over all that the table claims.
name=dictzip_table_claiming_2GB
if wanted $name; then
  prepare $name
  python3 - "$WORK/$name/d.dict.dz" <<'EOF'
import struct, sys, zlib
data = b"".join(b"%063d\n" % i for i in range(16384))
compressor = zlib.compressobj(9, zlib.DEFLATED, -15)
stream = compressor.compress(data) + compressor.flush()
count, length = 32000, 65535
pieces = [min(65535, len(stream) - at) for at in range(0, len(stream), 65535)]
sizes = [0] * (count - len(pieces)) + pieces
table = struct.pack("<HHH", 1, length, count) + b"".join(struct.pack("<H", n) for n in sizes)
extra = b"RA" + struct.pack("<H", len(table)) + table
claimed = (length * (count - 1) + 100) & 0xFFFFFFFF
with open(sys.argv[1], "wb") as f:
    f.write(b"\x1f\x8b\x08\x04" + b"\0" * 6 + struct.pack("<H", len(extra)) + extra)
    f.write(stream + struct.pack("<II", zlib.crc32(data), claimed))
EOF
  stardict $name m 2000 0 1000 1073741
  measure $name "$(size_of "$WORK/$name"/d.*)" "$CLI" -q pack -o out.lxp d.ifo
fi

# A PowerWord field nested 100,000 deep.
name=powerword_nested_100000_deep
if wanted $name; then
  prepare $name
  python3 -c 'import sys; sys.stdout.write("<a>" * 100000 + "x" + "</a>" * 100000)' \
    >"$WORK/$name/d.dict"
  stardict $name k 1 0 "$(size_of "$WORK/$name/d.dict")"
  measure $name "$(size_of "$WORK/$name"/d.*)" "$CLI" -q pack -o out.lxp d.ifo
fi

# --- dictd, DSL and XDXF ---------------------------------------------------------------------
# 2,000 index lines that all claim the whole 1 MB data file: as with StarDict, each entry
# keeps what a block carries.
name=dictd_2000_entries_claiming_all_data
if wanted $name; then
  prepare $name
  awk 'BEGIN { for (i = 0; i < 16384; i++) printf "%063d\n", i }' >"$WORK/$name/d.dict"
  # "EAAA" is 1 MB in dictd's base-64 digits.
  awk 'BEGIN { for (i = 0; i < 2000; i++) printf "w%05d\tA\tEAAA\n", i }' >"$WORK/$name/d.index"
  basis=$(size_of "$WORK/$name"/d.*)
  [ "$basis" -lt $((2000 * 65536)) ] && basis=$((2000 * 65536))
  measure $name "$basis" "$CLI" -q pack -o out.lxp d.index
fi

# One DSL card whose 1,000 headword lines share a body of 1 MB: the body is kept once per
# headword, as far as a block carries it.
name=dsl_1000_headwords_over_one_body
if wanted $name; then
  prepare $name
  python3 -c '
import sys
out = sys.stdout.buffer
out.write("\ufeff".encode("utf-16-le"))
card = "".join("w%d\n" % i for i in range(1000)) + ("\t" + "a line of the body " * 50 + "\n") * 1100
out.write(card.encode("utf-16-le"))
' >"$WORK/$name/d.dsl"
  basis=$(size_of "$WORK/$name/d.dsl")
  [ "$basis" -lt $((1000 * 65536)) ] && basis=$((1000 * 65536))
  measure $name "$basis" "$CLI" -q pack -o out.lxp d.dsl
fi

# An XDXF article with 200,000 keys: its copies cost a bounded multiple of its text.
name=xdxf_article_with_200000_keys
if wanted $name; then
  prepare $name
  python3 -c '
import sys
keys = "".join("<k>w%d</k>" % i for i in range(200000))
sys.stdout.write("<xdxf format=\"logical\"><lexicon><ar>" + keys + "<def>" + "meaning " * 8000
                 + "</def></ar></lexicon></xdxf>")
' >"$WORK/$name/d.xdxf"
  measure $name "$(size_of "$WORK/$name/d.xdxf")" "$CLI" -q pack -o out.lxp d.xdxf
fi

echo "cost: $passed held, $failed did not"
[ "$failed" -eq 0 ]
