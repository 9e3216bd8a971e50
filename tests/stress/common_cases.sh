# Helpers shared by the case files (functions named stress_* are handed to every case).

# Starts the emulator on a private socket in $CASE_DIR with the given extra options; its
# pid goes to $CASE_DIR/handheld.pid and its log to $CASE_DIR/handheld.log.
stress_start_handheld() {
  "$HANDHELD" serve --listen "unix:$CASE_DIR/h.sock" --store "$CASE_DIR/store" "$@" \
    2>"$CASE_DIR/handheld.log" &
  echo $! >"$CASE_DIR/handheld.pid"
  for _ in $(seq 200); do [ -S "$CASE_DIR/h.sock" ] && return 0; sleep 0.05; done
  return 1
}

stress_stop_handheld() {
  local pid
  pid=$(cat "$CASE_DIR/handheld.pid" 2>/dev/null) || return 0
  kill "$pid" 2>/dev/null
  wait "$pid" 2>/dev/null
  return 0
}

# A text dictionary of N entries whose explanations carry TAG.
stress_make_text() {
  local file=$1 count=$2 tag=$3
  awk -v n="$count" -v t="$tag" 'BEGIN { for (i = 0; i < n; i++) printf "word%06d\t%s meaning %d\n", i, t, i }' >"$file"
}
