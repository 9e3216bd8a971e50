# Dictionaries whose index claims far more than their data hold.

# 2,000 index records that all point at offset 0 of a 1 MB data file and claim 4 GB each:
# every entry keeps what one block can carry, so the pack costs about what it packs.
case_readers_overlapping_huge_records_keep_one_block_each() {
  head -c 1048576 /dev/zero | tr '\0' x >d.dict
  python3 - <<'PY' || return 1
import struct
with open("d.idx", "wb") as f:
    for i in range(2000):
        f.write(b"w%04d\0" % i + struct.pack(">II", 0, 0xFFFFFFFF))
PY
  printf "StarDict's dict ifo file\nversion=2.4.2\nbookname=huge\nwordcount=2000\nidxfilesize=%d\nsametypesequence=m\n" \
    "$(stat -c %s d.idx)" >d.ifo
  # Kept whole, the entries would take 2 GB: the address space is capped well below that.
  (ulimit -v $((1024 * 1024)); timeout 20 "$CLI" --lang en -q pack -o out.lxp d.ifo) || {
    echo "pack failed or ran out of its bounds"
    return 1
  }
  "$CLI" inspect out.lxp | grep -q 'entries: 2000' || { echo "not every entry was packed"; return 1; }
  local kept
  kept=$("$CLI" inspect out.lxp w1999 | wc -c)
  [ "$kept" -ge 65000 ] && [ "$kept" -le 65600 ] || { echo "w1999 kept $kept bytes"; return 1; }
}
