# dictd databases that are damaged or hostile: each is refused or read in part with a
# message, never with a crash, a hang or unbounded memory.

# The benchmark's generator makes the databases; the cases run elsewhere, so its path is
# taken while this file is read (from the source folder).
export STRESS_DICTD_GENERATOR="$PWD/bench/gen_dictd.py"

# Writes NAME.index and NAME.dict of N entries.
stress_make_dictd() {
  python3 "$STRESS_DICTD_GENERATOR" "$1" "$2" --plain >/dev/null
}

# A status that is a result, not a crash: 0 or 1.
stress_dictd_status_ok() {
  [ "$1" -le 1 ] || { echo "status $1"; return 1; }
}

# No data file beside the index: status 1, the missing file named, no image.
case_dictd_missing_data_file_is_named() {
  stress_make_dictd d 10
  rm d.dict
  "$CLI" --lang en pack d.index -o d.lxp >/dev/null 2>err
  [ $? = 1 ] && grep -q 'd.dict.dz' err && [ ! -e d.lxp ] || { cat err; return 1; }
}

# Cut files: an index ending mid-line, a dictzip file cut in its middle, a plain data file
# cut short. Each loads what it can, or fails with a message; nothing crashes.
case_dictd_truncated_files_load_in_part() {
  stress_make_dictd d 20000
  local lines headword status
  # The cut falls after the headword of line 10001 and its TAB, before its numbers.
  lines=$(head -n 10000 d.index | wc -c)
  headword=$(sed -n 10001p d.index | cut -f1 | wc -c)
  truncate -s $((lines + headword)) d.index
  "$CLI" --lang en pack d.index -o a.lxp >/dev/null 2>err
  status=$?
  stress_dictd_status_ok $status || return 1
  [ $status = 0 ] || { cat err; return 1; }
  grep -q 'could not be read' err || { echo "no notice of the cut line"; cat err; return 1; }

  stress_make_dictd d 20000
  truncate -s $(($(stat -c %s d.dict) / 2)) d.dict
  "$CLI" --lang en pack d.index -o b.lxp >/dev/null 2>err
  [ $? = 0 ] && grep -q 'incomplete' err || { cat err; return 1; }
  "$CLI" inspect b.lxp | grep -q 'entries: 20000' || return 1

  stress_make_dictd z 20000
  dictzip z.dict || return 1
  truncate -s $(($(stat -c %s z.dict.dz) / 2)) z.dict.dz
  "$CLI" --lang en pack z.index -o c.lxp >/dev/null 2>err
  status=$?
  stress_dictd_status_ok $status && [ -s err ] || { cat err; return 1; }
}

# Offsets past the end of the data and numbers that are not dictd's base-64: the sound
# entries are packed, the others counted in one notice each.
case_dictd_bad_numbers_and_far_offsets_are_counted() {
  stress_make_dictd d 100
  {
    printf 'far\t////////\tB\n'
    printf 'bad\tA=\tB\n'
    printf 'sign\t-A\tB\n'
    printf 'wide\tA\t//////////////\n'
    printf 'empty\t\t\n'
    head -c 3000 /dev/urandom | tr -d '\n\t'
    printf '\n'
  } >>d.index
  "$CLI" --lang en pack d.index -o d.lxp >/dev/null 2>err || { cat err; return 1; }
  [ "$(grep -c 'could not be read and were skipped' err)" = 1 ] || { cat err; return 1; }
  [ "$(grep -c 'incomplete' err)" = 1 ] || { cat err; return 1; }
  "$CLI" inspect d.lxp | grep -q 'entries: 101' || { "$CLI" inspect d.lxp; return 1; }
}

# Many entries claiming 4 GB each at one offset: each keeps what one block carries, and
# memory stays far below what the claims add up to.
case_dictd_huge_claimed_lengths_stay_bounded() {
  head -c 1048576 /dev/zero | tr '\0' x >d.dict
  for i in $(seq 1 2000); do printf 'w%04d\tA\tD/////\n' "$i"; done >d.index
  (ulimit -v $((1024 * 1024)); timeout 20 "$CLI" --lang en -q pack -o d.lxp d.index 2>err) || {
    echo "pack failed or ran out of its bounds"
    cat err
    return 1
  }
  "$CLI" inspect d.lxp | grep -q 'entries: 2000' || return 1
}

# Random bytes for an index, and one endless line: a result in bounded time.
case_dictd_garbage_index_ends() {
  head -c 5000000 /dev/urandom >g.index
  printf 'data' >g.dict
  timeout 20 "$CLI" --lang en -q pack g.index -o g.lxp >/dev/null 2>&1
  stress_dictd_status_ok $? || return 1
  head -c 20000000 /dev/zero | tr '\0' A >l.index
  printf 'data' >l.dict
  timeout 20 "$CLI" --lang en -q pack l.index -o l.lxp >/dev/null 2>&1
  stress_dictd_status_ok $? || return 1
}

# Cross-reference braces nested 100,000 deep: read in bounded time.
case_dictd_deep_braces_end() {
  python3 - <<'PY' || return 1
text = b"{" * 100000 + b"deep" + b"}" * 100000
open("d.dict", "wb").write(text)
# 200,004 in dictd's base-64 digits
open("d.index", "w").write("deep\tA\tw1E\n")
assert (48 * 64 + 53) * 64 + 4 == len(text)
PY
  timeout 20 "$CLI" --lang en -q pack d.index -o d.lxp >/dev/null 2>err || { cat err; return 1; }
  "$CLI" inspect d.lxp | grep -q 'entries: 1' || return 1
}
