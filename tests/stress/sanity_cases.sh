# The emulator stores what one sender sends, whole.
case_one_sender_is_stored_whole() {
  stress_start_handheld || return 1
  stress_make_text d.txt 2000 only
  "$CLI" --lang en send --yes --device "unix:$CASE_DIR/h.sock" d.txt >/dev/null || return 1
  "$CLI" inspect store/d.lxp >/dev/null || return 1
  stress_stop_handheld
}
