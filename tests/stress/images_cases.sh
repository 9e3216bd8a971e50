# Packed images that cost more than their size warrants, or that cannot be followed: a loop of
# links in the store, a huge damaged image, a sparse one of 3 GB, and names too long for a
# file name.

# Runs a command with its output in out and err, its exit status in status, under a 1 GB
# address-space limit (so that a regression fails instead of taking the machine); fails
# unless it took at most 2 s and 64 MB.
stress_images_small() {
  (ulimit -v 1048576 && exec /usr/bin/time -f '%e %M' -o cost "$@" >out 2>err)
  echo $? >status
  local seconds kb
  read -r seconds kb < <(tail -1 cost)
  awk -v s="$seconds" -v k="$kb" 'BEGIN { exit !(s <= 2 && k <= 65536) }' ||
    { echo "$* took $seconds s and $kb KB (status $(cat status))"; tail -3 err; return 1; }
}

# A dictionary "d" in store/ as the emulator keeps it, a word of which is word000001.
stress_images_store() {
  stress_make_text d.txt 100 kept
  "$CLI" pack d.txt -o d.lxp >/dev/null 2>&1 || return 1
  mkdir -p store && cp d.lxp store/d.lxp
}

# A loop of links in the store is named and passed over: the rest is listed, exit 1.
case_images_link_loop_in_the_store() {
  stress_images_store || return 1
  ln -s loop.lxp store/loop.lxp
  stress_images_small "$HANDHELD" list --store store || return 1
  [ "$(cat status)" = 1 ] || { echo "list exited $(cat status)"; cat err; return 1; }
  grep -q '^d	' out || { echo "d not listed"; return 1; }
  grep -q 'loop\.lxp' err || { echo "the loop not named"; cat err; return 1; }
  stress_images_small "$HANDHELD" lookup d word000001 --store store || return 1
  [ "$(cat status)" = 0 ] && grep -q 'kept meaning 1$' out || { echo "lookup d failed"; return 1; }
  stress_images_small "$HANDHELD" lookup loop word000001 --store store || return 1
  [ "$(cat status)" = 1 ] || { echo "lookup of the loop exited $(cat status)"; return 1; }
}

# 30 MB damaged at offset 0: refused at once, by inspect and by list.
case_images_huge_damaged_image_is_refused_at_once() {
  stress_images_store || return 1
  truncate -s 30M store/z.lxp
  stress_images_small "$CLI" --lang en inspect store/z.lxp || return 1
  [ "$(cat status)" = 1 ] && grep -q 'at offset 0' err || { cat err; return 1; }
  stress_images_small "$HANDHELD" list --store store || return 1
  [ "$(cat status)" = 1 ] && grep -q '^d	' out && grep -q 'z\.lxp' err || { cat out err; return 1; }
}

# 3 GB sparse images in the store (zeros; a whole image followed by a hole): list and
# lookup stay prompt and small, and tell what is wrong with each.
case_images_sparse_3g_images_in_the_store() {
  stress_images_store || return 1
  truncate -s 3G store/zeros.lxp
  cp d.lxp store/tail.lxp && truncate -s 3G store/tail.lxp
  stress_images_small "$HANDHELD" list --store store || return 1
  [ "$(cat status)" = 1 ] && grep -q '^d	' out || { echo "list: $(cat status)"; cat out err; return 1; }
  grep -q 'zeros\.lxp' err && grep -q 'tail\.lxp.*follow the end flag' err || { cat err; return 1; }
  stress_images_small "$HANDHELD" lookup d word000001 --store store || return 1
  [ "$(cat status)" = 0 ] || { echo "lookup d: $(cat status)"; return 1; }
  stress_images_small "$HANDHELD" lookup tail word000001 --store store || return 1
  [ "$(cat status)" = 1 ] || { echo "lookup tail: $(cat status)"; return 1; }
  stress_images_small "$CLI" --lang en inspect store/tail.lxp word000001 || return 1
  [ "$(cat status)" = 1 ] || { echo "inspect tail: $(cat status)"; return 1; }
}

# Names too long for a file name (300 characters; 82 CJK characters, 246 bytes; two that
# share their first 250 bytes) are stored, listed and looked up by their own names.
case_images_long_names_are_stored_and_found() {
  stress_start_handheld || return 1
  stress_make_text d.txt 20 long
  local a250 cjk name
  a250=$(printf 'a%.0s' $(seq 250))
  cjk=$(printf '词%.0s' $(seq 82))
  local names=("$(printf 'n%.0s' $(seq 300))" "$cjk" "${a250}1" "${a250}2")
  for name in "${names[@]}"; do
    "$CLI" --lang en send --yes --device "unix:$CASE_DIR/h.sock" --name "$name" d.txt >send.out 2>&1 ||
      { echo "send of a ${#name}-character name failed"; tail -3 send.out; stress_stop_handheld; return 1; }
  done
  stress_stop_handheld
  "$HANDHELD" list --store store >out 2>err || { cat err; return 1; }
  [ "$(wc -l <out)" = 4 ] || { echo "listed: $(wc -l <out)"; return 1; }
  for name in "${names[@]}"; do
    [ "$(awk -F'\t' -v n="$name" '$1 == n' out | wc -l)" = 1 ] ||
      { echo "not listed once: ${name:0:20}..."; return 1; }
    "$HANDHELD" lookup "$name" word000001 --store store | grep -q 'long meaning 1$' ||
      { echo "not found: ${name:0:20}..."; return 1; }
  done
}
