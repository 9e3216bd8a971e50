# Inputs from the user's own side that never end, block, or run far past their purpose: the
# settings file, the password on standard input, the emulator's password file. Each is
# refused or bounded promptly, at a cost that does not grow with the input.

# The peak memory /usr/bin/time -f %M wrote to the file named: more than 64 MB means the
# input was read whole.
stress_small_peak() {
  [ "$(tail -n 1 "$1")" -lt 65536 ]
}

# Settings that are a device, a FIFO or 50 MB of blank lines: every command runs at once
# with the defaults and says so in one warning.
case_inputs_settings_that_are_not_a_small_file_are_set_aside() {
  export XDG_CONFIG_HOME=$CASE_DIR/config LANG=C.UTF-8 LANGUAGE= LC_ALL=
  mkdir -p config/Lexora
  stress_make_text d.txt 10 x
  local settings=config/Lexora/Lexora.conf kind
  for kind in device big fifo; do
    rm -f "$settings"
    case $kind in
      device) ln -s /dev/zero "$settings" ;;
      big) { printf '[UI]\nlanguage=chinese\n'; head -c 50M /dev/zero | tr '\0' '\n'; } >"$settings" ;;
      fifo) mkfifo "$settings" ;;
    esac
    for command in "--help" "info d.txt"; do
      # shellcheck disable=SC2086
      timeout 10 /usr/bin/time -f %M -o mem "$CLI" $command >out 2>err
      local status=$?
      [ "$status" = 0 ] || { echo "$kind, $command: exit $status"; cat err; return 1; }
      stress_small_peak mem || { echo "$kind, $command: $(cat mem) KiB"; return 1; }
      [ "$(grep -c 'settings file' err)" = 1 ] || { echo "$kind, $command: not one warning"; cat err; return 1; }
      # The defaults: English here, not the stored Chinese.
      cat out err | grep -q 'Usage\|Load dictionary file' || { echo "$kind: not English"; return 1; }
    done
  done
}

# A link planted at the settings' temporary name, between the name's choice and the file's
# creation, is not written through while the language is saved. Only a test build can plant
# there (the name is random), so this runs the platform test that does it, when built.
case_inputs_settings_link_at_the_temporary_name_is_not_followed() {
  local tests=$BUILD/tests/platform/platform_tests
  [ -x "$tests" ] || { echo "skipped: $tests is not built"; return 0; }
  "$tests" --gtest_filter='LanguageTest.SavingTheLanguageNeverWritesThroughALinkAtTheTemporaryName' \
    >log 2>&1 || { tail -20 log; return 1; }
  grep -q '\[  PASSED  \] 1 test' log
}

# --password-stdin fed 20 MB of zeros, endless short lines, or endless long lines: each
# ends promptly with a refusal, never with a stored dictionary.
case_inputs_password_stdin_without_line_ends_is_refused_promptly() {
  echo s3cret >password
  stress_make_text d.txt 10 x
  stress_start_handheld --password-file password --attempts 3 || return 1
  local send=("$CLI" send --yes --password-stdin --device "unix:$CASE_DIR/h.sock" d.txt)
  head -c 20M /dev/zero | timeout 10 /usr/bin/time -f %M -o mem "${send[@]}" >/dev/null 2>err
  local zeros=${PIPESTATUS[1]}
  stress_small_peak mem || { echo "zeros: $(cat mem) KiB"; return 1; }
  # Long lines before short ones: the wrong answers of the short ones use up the attempts,
  # after which the handheld asks no more.
  timeout 10 "${send[@]}" < <(yes "$(head -c 2000 /dev/zero | tr '\0' x)") >/dev/null 2>&1
  local long=$?
  timeout 10 "${send[@]}" < <(yes) >/dev/null 2>&1
  local short=$?
  stress_stop_handheld
  echo "exit: zeros $zeros, short lines $short, long lines $long"
  for status in "$zeros" "$short" "$long"; do
    [ "$status" != 0 ] && [ "$status" != 124 ] || return 1
  done
  grep -q "password" err && [ -z "$(ls store 2>/dev/null)" ]
}

# --password-file naming a device or a FIFO without a writer: exit 1 with a message, at
# once, never an abort or a wait.
case_inputs_password_file_that_is_not_a_regular_file_is_refused() {
  mkfifo fifo
  local source status
  for source in /dev/zero fifo; do
    timeout 10 /usr/bin/time -f %M -o mem "$HANDHELD" serve --listen "unix:$CASE_DIR/h.sock" \
      --store store --password-file "$source" >/dev/null 2>err
    status=$?
    [ "$status" = 1 ] || { echo "$source: exit $status"; cat err; return 1; }
    grep -q "$source" err || { echo "$source: not named"; cat err; return 1; }
    stress_small_peak mem || { echo "$source: $(cat mem) KiB"; return 1; }
  done
}
