# Output files and inputs: nothing another user plants is written through, nothing but a
# regular file is read, and no failure (a full device, an empty or oversized dictionary, two
# inputs for one image) ends in success.

# A link planted at the very temporary name the writer is about to create is never written
# through, whether the image goes beside the input (-o) or into --output-dir. The name has a
# random suffix, so the link is planted when the name is already chosen: a preloaded shim
# catches each open that creates a "*.part" file and makes the link there first (the first
# PLANT_COUNT such opens). The shim's log shows that the names were really hit.
case_files_planted_link_is_not_followed() {
  cat >plant.c <<'SHIM'
#define _GNU_SOURCE
#include <dlfcn.h>
#include <fcntl.h>
#include <stdarg.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <unistd.h>
static int planted;
static void plant(const char* path, int flags) {
  const size_t n = strlen(path);
  if (!(flags & O_CREAT) || n < 5 || strcmp(path + n - 5, ".part") != 0) return;
  if (planted >= atoi(getenv("PLANT_COUNT"))) return;
  if (symlink(getenv("PLANT_TARGET"), path) != 0) return;
  ++planted;
  FILE* log = fopen(getenv("PLANT_LOG"), "a");
  if (log) fprintf(log, "%s\n", path), fclose(log);
}
#define WRAP(name)                                                       \
  int name(const char* path, int flags, ...) {                           \
    mode_t mode = 0;                                                     \
    va_list args;                                                        \
    va_start(args, flags);                                               \
    if (flags & O_CREAT) mode = va_arg(args, mode_t);                    \
    va_end(args);                                                        \
    plant(path, flags);                                                  \
    int (*real)(const char*, int, ...) = dlsym(RTLD_NEXT, #name);        \
    return real(path, flags, mode);                                      \
  }
WRAP(open)
WRAP(open64)
SHIM
  cc -shared -fPIC -o plant.so plant.c -ldl || return 1
  stress_make_text d.txt 10 x
  echo precious >victim
  export PLANT_TARGET=$CASE_DIR/victim PLANT_LOG=$CASE_DIR/planted
  # Three names taken by links: the fourth try succeeds, beside the input and in a folder.
  PLANT_COUNT=3 LD_PRELOAD=$CASE_DIR/plant.so "$CLI" pack d.txt -o out.lxp >/dev/null || return 1
  PLANT_COUNT=3 LD_PRELOAD=$CASE_DIR/plant.so "$CLI" pack d.txt --output-dir dir >/dev/null ||
    return 1
  [ "$(grep -c '^out\.lxp\..*\.part$' planted)" = 3 ] || return 1
  [ "$(grep -c '^dir/d\.lxp\..*\.part$' planted)" = 3 ] || return 1
  [ "$(cat victim)" = precious ] || return 1
  "$CLI" inspect out.lxp >/dev/null && "$CLI" inspect dir/d.lxp >/dev/null || return 1
  # Every name taken: the run fails, and still nothing is written through.
  PLANT_COUNT=100000 LD_PRELOAD=$CASE_DIR/plant.so "$CLI" pack d.txt -o all.lxp >/dev/null 2>&1 &&
    return 1
  [ "$(cat victim)" = precious ] && [ ! -e all.lxp ]
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

# Ctrl-C, SIGTERM or SIGHUP while a big dictionary is packed: the run ends as the signal
# ends it (130, 143, 129 in the shell) and takes its temporary file along; no image is made.
# The signal is sent once the temporary file exists, while the dictionary is still loading.
case_files_signal_during_pack_leaves_nothing() {
  stress_make_text big.txt 1500000 x
  set -m # background jobs get their own process group and keep the default SIGINT
  local signal status
  for signal in INT TERM HUP; do
    "$CLI" pack big.txt -o "out-$signal.lxp" >/dev/null 2>&1 &
    local pid=$!
    for _ in $(seq 200); do compgen -G "out-$signal.lxp.*.part" >/dev/null && break; sleep 0.02; done
    compgen -G "out-$signal.lxp.*.part" >/dev/null || { echo "no temporary file for $signal"; return 1; }
    kill -s "$signal" "$pid"
    wait "$pid"
    status=$?
    echo "$signal: exit $status"
    [ "$status" = $((128 + $(kill -l "$signal"))) ] || return 1
    [ -z "$(compgen -G 'out-*')" ] || { ls; return 1; }
  done
}

# An --output-dir that cannot hold images is refused before the input is read, naming the
# folder: a file, a dangling link, a link loop, a read-only folder (a read-only mount as
# root, whom a folder's mode does not stop). The input is big enough that loading it first
# would take far longer than the refusal may.
case_files_unusable_output_dir_is_refused_first() {
  stress_make_text big.txt 1500000 x
  echo file >a-file
  ln -s nowhere/at/all dangling
  ln -s loop loop
  mkdir read-only
  if [ "$(id -u)" = 0 ]; then
    mount -t tmpfs -o ro,size=64k tmpfs read-only || return 1
    trap 'umount "$CASE_DIR/read-only"' EXIT
  else
    chmod 555 read-only
  fi
  local folder status
  for folder in a-file dangling loop read-only; do
    local start=$SECONDS
    timeout 20 "$CLI" --lang en pack big.txt --output-dir "$folder" >/dev/null 2>err
    status=$?
    echo "$folder: exit $status in $((SECONDS - start)) s: $(tail -1 err)"
    [ "$status" = 1 ] && grep -q "^$folder: " err || return 1
    grep -q 'Load dictionary' err && { echo "$folder: loaded first"; return 1; }
    [ $((SECONDS - start)) -le 3 ] || return 1
    [ -z "$(find . -name '*.part' -o -name '*.lxp')" ] || return 1
  done
}

# A full file system under the image: the run fails, and neither an image nor a temporary
# file is left. A small tmpfs is mounted for it (root only).
case_files_full_disk_during_pack_leaves_nothing() {
  if [ "$(id -u)" != 0 ]; then
    echo "skipped: mounting a small file system needs root"
    return 0
  fi
  mkdir small
  mount -t tmpfs -o size=128k tmpfs small || return 1
  trap 'umount "$CASE_DIR/small"' EXIT
  # Words that do not repeat, so that the image stays far larger than the file system.
  awk 'BEGIN { srand(7); for (i = 0; i < 40000; i++) printf "w%07d\t%08x%08x\n", i, rand() * 2^32, rand() * 2^32 }' >d.txt
  "$CLI" pack d.txt -o small/d.lxp >/dev/null 2>err && return 1
  grep -q 'small/d.lxp: No space left on device' err || { cat err; return 1; }
  [ -z "$(ls small)" ]
}

# A scratch folder that fills up while a dictionary too large to keep in memory is packed:
# what the folder cannot take stays in memory, and the image is the one a roomy folder
# gives (root only: a small tmpfs is mounted for it).
case_files_full_scratch_folder_loses_nothing() {
  if [ "$(id -u)" != 0 ]; then
    echo "skipped: mounting a small file system needs root"
    return 0
  fi
  mkdir small roomy
  mount -t tmpfs -o size=4m tmpfs small || return 1
  trap 'umount "$CASE_DIR/small"' EXIT
  # About 45 MB of entries: past what stays in memory, far past the 4 MB folder.
  awk 'BEGIN { srand(11); for (i = 0; i < 400000; i++) { printf "w%07d\t", i
    for (j = 0; j < 6; j++) printf "%08x%08x ", rand() * 2^32, rand() * 2^32; print "" } }' >d.txt
  TMPDIR=$CASE_DIR/small "$CLI" pack d.txt -o full.lxp >/dev/null 2>err || { cat err; return 1; }
  TMPDIR=$CASE_DIR/roomy "$CLI" pack d.txt -o roomy.lxp >/dev/null 2>&1 || return 1
  cmp full.lxp roomy.lxp
}
