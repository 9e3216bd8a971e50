# Output files and inputs: nothing another user plants is written through, nothing but a
# regular file is read, and no failure (a full device, an empty or oversized dictionary, two
# inputs for one image) ends in success.

# A link planted where a predictable temporary file would go is never written through.
case_files_planted_link_is_not_followed() {
  stress_make_text d.txt 10 x
  echo precious >victim
  ln -s victim out.lxp.part
  for i in $(seq 0 9); do ln -s victim "out.lxp.$i.part"; done
  "$CLI" pack d.txt -o out.lxp >/dev/null || return 1
  [ "$(cat victim)" = precious ] && "$CLI" inspect out.lxp >/dev/null
}

# -o into a link replaces the link's target (with --force) and keeps the link; a file keeps
# its mode; a FIFO (and, as root, a device node made here) is written into, not replaced.
case_files_output_keeps_links_modes_and_devices() {
  stress_make_text d.txt 10 x
  "$CLI" pack d.txt -o target.lxp 2>/dev/null && chmod 640 target.lxp && ln -s target.lxp link.lxp
  "$CLI" pack d.txt -o link.lxp 2>/dev/null && return 1 # an existing image stays unasked
  "$CLI" pack --force d.txt -o link.lxp 2>/dev/null || return 1
  [ -L link.lxp ] && [ "$(stat -c %a target.lxp)" = 640 ] || return 1
  mkfifo fifo
  cat fifo >from-fifo &
  "$CLI" pack d.txt -o fifo >/dev/null || return 1
  wait
  [ -p fifo ] && cmp -s from-fifo target.lxp || return 1
  if [ "$(id -u)" = 0 ]; then
    mknod null c 1 3 || return 1
    "$CLI" pack d.txt -o null >/dev/null && [ -c null ] || return 1
  else
    echo "device node part skipped: needs root"
  fi
}

# A name longer than a message holds: exit 1, a message, and no image.
case_files_name_over_65535_bytes_writes_nothing() {
  printf 'StarDict'"'"'s dict ifo file\nversion=2.4.2\nwordcount=1\nidxfilesize=13\nbookname=%s\nsametypesequence=m\n' \
    "$(head -c 70000 /dev/zero | tr '\0' n)" >long.ifo
  printf 'word\0\0\0\0\0\0\0\0\4' >long.idx
  printf 'mean' >long.dict
  "$CLI" pack long.ifo -o long.lxp >/dev/null 2>err
  [ $? = 1 ] && [ -s err ] && [ ! -e long.lxp ] && [ -z "$(ls | grep part)" ]
}

# Files that yield no entries: pack fails and writes nothing; send --yes sends nothing.
case_files_without_entries_are_not_success() {
  printf '\xfe\xff\0w\0\t\0m\0\n' >be.txt
  printf '\xff\xfe' >mark.txt
  printf 'w\0\t\0m\0\n\0' >nomark.txt
  printf 'StarDict'"'"'s dict ifo file\nversion=2.4.2\nwordcount=-5\nidxfilesize=0\nbookname=neg\nsametypesequence=m\n' >neg.ifo
  : >neg.idx
  : >neg.dict
  local f
  for f in be.txt mark.txt nomark.txt neg.ifo; do
    "$CLI" pack "$f" --output-dir out >/dev/null 2>err && return 1
    [ -s err ] || return 1
  done
  [ -z "$(ls out 2>/dev/null)" ] || return 1
  stress_start_handheld || return 1
  "$CLI" send --yes --device "unix:$CASE_DIR/h.sock" be.txt mark.txt neg.ifo >/dev/null 2>&1
  local status=$?
  stress_stop_handheld
  [ "$status" = 1 ] && [ -z "$(ls store 2>/dev/null)" ]
}

# Inputs that never end or block: refused at once by every reader.
case_files_non_regular_inputs_are_refused() {
  ln -s /dev/zero zero.txt
  ln -s /dev/zero zero.ifo
  mkfifo fifo.txt
  timeout 10 "$CLI" inspect /dev/zero >/dev/null 2>&1; [ $? = 1 ] || return 1
  timeout 10 "$CLI" info zero.txt >/dev/null 2>&1; [ $? = 1 ] || return 1
  timeout 10 "$CLI" info zero.ifo >/dev/null 2>&1; [ $? = 1 ] || return 1
  timeout 10 "$CLI" info fifo.txt >/dev/null 2>&1; [ $? = 1 ] || return 1
  mkdir store && ln -s /dev/zero store/z.lxp
  timeout 10 "$HANDHELD" lookup z word --store store >/dev/null 2>&1
  local status=$?
  [ "$status" != 0 ] && [ "$status" != 124 ]
}

# Two inputs for one image in one run: the first stays, the run fails naming both.
case_files_same_output_is_refused() {
  mkdir a b
  stress_make_text a/x.txt 10 first
  stress_make_text b/x.txt 10 second
  "$CLI" pack --output-dir out a/x.txt b/x.txt >/dev/null 2>err && return 1
  grep -q a/x.txt err && grep -q b/x.txt err && "$CLI" inspect out/x.lxp word000001 | grep -q first
}

# Output lost on a full device is a failure.
case_files_full_stdout_fails() {
  stress_make_text d.txt 10 x
  "$CLI" pack d.txt -o d.lxp >/dev/null || return 1
  "$CLI" info d.txt >/dev/full 2>/dev/null && return 1
  "$CLI" inspect d.lxp >/dev/full 2>/dev/null && return 1
  "$CLI" pack d.txt -o - >/dev/full 2>/dev/null && return 1
  "$CLI" --help >/dev/full 2>/dev/null && return 1
  return 0
}
