# XDXF dictionaries and markup fields that are broken or built to hurt: each is refused or
# read within bounds, with a message naming the file, never a crash or a hang.

# Runs lexora-cli info on FILE with the address space capped; succeeds when it ended on its
# own (status 0 or 1, not a signal or the timeout) and, with a second argument, when its
# messages name that text.
stress_xdxf_info_bounded() {
  local file=$1 named=${2:-}
  local status=0
  (ulimit -v $((1024 * 1024)); timeout 20 "$CLI" --lang en -q info "$file" >out.txt 2>err.txt) ||
    status=$?
  if [ "$status" -gt 1 ]; then
    echo "info ended with status $status"; cat err.txt; return 1
  fi
  if [ -n "$named" ] && ! grep -qF "$named" err.txt; then
    echo "the message does not name $named:"; cat err.txt; return 1
  fi
}

case_xdxf_nested_100000_deep_is_refused_naming_the_file() {
  python3 -c '
import sys
n = 100000
sys.stdout.write("<xdxf><ar><k>a</k>" + "<def>" * n + "x" + "</def>" * n + "</ar></xdxf>")
' >deep.xdxf || return 1
  stress_xdxf_info_bounded deep.xdxf deep.xdxf
}

case_xdxf_truncated_and_unterminated_files_are_refused_naming_them() {
  printf '<xdxf><full_name>cut</full_name><ar><k>a</k>one</ar><ar><k>b</k>tw' >cut.xdxf
  stress_xdxf_info_bounded cut.xdxf cut.xdxf || return 1
  printf '<xdxf><ar><k>a</k><def unterminated' >open.xdxf
  stress_xdxf_info_bounded open.xdxf open.xdxf || return 1
  : >empty.xdxf
  stress_xdxf_info_bounded empty.xdxf empty.xdxf || return 1
  head -c 2000000 /dev/urandom >noise.xdxf
  stress_xdxf_info_bounded noise.xdxf noise.xdxf
}

case_xdxf_missing_file_is_named() {
  stress_xdxf_info_bounded missing.xdxf missing.xdxf
}

# One article with 200,000 keys and one key of 1 MB: entries are cut to what a block
# carries, so memory stays bounded.
case_xdxf_many_keys_and_huge_key_stay_bounded() {
  python3 -c '
import sys
keys = "".join("<k>k%d</k>" % i for i in range(200000))
sys.stdout.write("<xdxf><ar>" + keys + "<k>" + "w" * 1000000 + "</k>" + "text " * 20000 + "</ar></xdxf>")
' >many.xdxf || return 1
  stress_xdxf_info_bounded many.xdxf || return 1
  grep -q 'entries' out.txt || { echo "no description:"; cat out.txt err.txt; return 1; }
}

# StarDict HTML fields kept as text: markup nested 100,000 deep, a tag never closed and a
# million stray '<' are laid out in linear time.
case_xdxf_hostile_html_fields_kept_as_text_stay_linear() {
  python3 - <<'PY' || return 1
import struct
blocks = [b"<div><ol><li>" * 100000 + b"deep", b"kept<b never closed" + b" x" * 100000,
          b"<" * 1000000, b"<script>" + b"</scrip" * 100000]
idx, data = b"", b""
for i, block in enumerate(blocks):
    idx += b"w%d\0" % i + struct.pack(">II", len(data), len(block))
    data += block
open("h.idx", "wb").write(idx)
open("h.dict", "wb").write(data)
open("h.ifo", "w").write("StarDict's dict ifo file\nversion=2.4.2\nbookname=h\nwordcount=%d\n"
                         "idxfilesize=%d\nsametypesequence=h\n" % (len(blocks), len(idx)))
PY
  (ulimit -v $((1024 * 1024)); timeout 20 "$CLI" --lang en -q pack --markup-as-text -o h.lxp h.ifo) || {
    echo "pack failed or ran out of its bounds"; return 1
  }
  "$CLI" inspect h.lxp | grep -q 'entries: 4' || { echo "not every entry was packed"; return 1; }
}
