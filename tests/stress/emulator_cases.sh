# The emulator under hostile use: racing senders, too many connections, silent clients,
# memory and descriptor exhaustion, floods of its log, another user's socket.

# Starts the emulator like stress_start_handheld, under the resource limits given as
# `ulimit` options before "--" (e.g. -n 24 -- --max-connections 3).
stress_start_limited_handheld() {
  local limits=()
  while [ $# -gt 0 ] && [ "$1" != "--" ]; do limits+=("$1"); shift; done
  shift
  (ulimit "${limits[@]}" && exec "$HANDHELD" serve --listen "unix:$CASE_DIR/h.sock" \
    --store "$CASE_DIR/store" "$@") 2>"$CASE_DIR/handheld.log" &
  echo $! >"$CASE_DIR/handheld.pid"
  for _ in $(seq 200); do [ -S "$CASE_DIR/h.sock" ] && return 0; sleep 0.05; done
  return 1
}

# Runs the Python program on standard input with the socket path as its first argument.
stress_python() {
  timeout 20 python3 - "$CASE_DIR/h.sock" "$@"
}

# Twelve senders store twelve different dictionaries, all named "same", at once: what is
# stored is one whole image, that of a sender told it succeeded. The emulator holds the end
# flags until all twelve have come, so that the stores surely race.
case_racing_senders_of_one_name_leave_one_whole_image() {
  local senders=12
  stress_start_handheld --gather-end-flags "$senders" || return 1
  local i round entry pids
  for i in $(seq -w "$senders"); do
    mkdir "d$i"
    # Of one size, so that their images take as long to write.
    stress_make_text "d$i/same.txt" 300 "sender$i"
    "$CLI" pack "d$i/same.txt" -o "d$i/same.lxp" >/dev/null || return 1
  done
  for round in 1 2 3; do
    pids=()
    for i in $(seq -w "$senders"); do
      "$CLI" --lang en send --yes --device "unix:$CASE_DIR/h.sock" "d$i/same.txt" \
        >"d$i/out" 2>&1 &
      pids+=("$i:$!")
    done
    local acknowledged=()
    for entry in "${pids[@]}"; do
      wait "${entry#*:}" && acknowledged+=("${entry%%:*}")
    done
    [ ${#acknowledged[@]} -gt 0 ] || { echo "round $round: no sender succeeded"; return 1; }
    "$CLI" inspect store/same.lxp >/dev/null || { echo "round $round: damaged image"; return 1; }
    local match=""
    for i in "${acknowledged[@]}"; do cmp -s store/same.lxp "d$i/same.lxp" && match=$i; done
    [ -n "$match" ] || { echo "round $round: stored image is no acknowledged sender's"; return 1; }
  done
  # The race was run: every end flag was held until its round's others had come.
  [ "$(grep -c "holding the end flag" handheld.log)" -ge $((3 * senders)) ] ||
    { echo "the end flags were not held together"; return 1; }
  # No temporary file is left behind.
  [ "$(ls -A store)" = "same.lxp" ] || { ls -A store; return 1; }
  stress_stop_handheld
}

# Out of file descriptors: clients that hold connections open make accept fail; once they
# are gone the emulator serves again, without spinning meanwhile.
case_running_out_of_descriptors_does_not_wedge_the_emulator() {
  stress_start_limited_handheld -n 24 -- || return 1
  local pid
  pid=$(cat handheld.pid)
  local before after
  before=$(awk '{print $14 + $15}' "/proc/$pid/stat")
  stress_python <<'EOF' || return 1
import socket, sys, time
# The listen backlog is short: a connect the emulator has not yet made room for fails at
# once, so keep trying until more are held than its descriptor limit lets it accept.
held = []
deadline = time.time() + 8
while len(held) < 30 and time.time() < deadline:
    s = socket.socket(socket.AF_UNIX, socket.SOCK_STREAM)
    s.setblocking(False)
    try:
        s.connect(sys.argv[1])
        held.append(s)
    except (BlockingIOError, OSError):
        s.close()
        time.sleep(0.01)
time.sleep(2)
for s in held:
    s.close()
EOF
  after=$(awk '{print $14 + $15}' "/proc/$pid/stat")
  # The case is about exhaustion: it must have happened.
  grep -q "accept: Too many open files" handheld.log ||
    { echo "descriptors never ran out"; cat handheld.log; return 1; }
  # Two seconds of spinning would be about 200 ticks.
  [ $((after - before)) -lt 60 ] || { echo "cpu ticks while exhausted: $((after - before))"; return 1; }
  # At once: a full backlog makes the sender wait, not fail.
  stress_make_text d.txt 500 later
  timeout 20 "$CLI" --lang en send --yes --device "unix:$CASE_DIR/h.sock" d.txt >cli.out 2>&1 ||
    { echo "send after exhaustion failed"; cat cli.out; tail -5 handheld.log; return 1; }
  "$CLI" inspect store/d.lxp >/dev/null || return 1
  kill "$pid"
  for _ in $(seq 100); do kill -0 "$pid" 2>/dev/null || break; sleep 0.05; done
  ! kill -0 "$pid" 2>/dev/null && [ ! -e h.sock ]
}

# Beyond --max-connections a client is told why at once, not left waiting; a silent client
# is closed after --idle-timeout, even after its greeting.
case_connections_beyond_the_cap_are_refused_and_idle_ones_closed() {
  stress_start_handheld --max-connections 2 --idle-timeout 1 || return 1
  stress_python <<'EOF' || return 1
import socket, struct, sys, time
def connect():
    s = socket.socket(socket.AF_UNIX, socket.SOCK_STREAM)
    s.connect(sys.argv[1])
    s.settimeout(4)
    return s
hello = b"\x01" + struct.pack(">I", 5) + b"LXHH\x01"
a, b = connect(), connect()
for s in (a, b):
    s.sendall(hello)
    assert s.recv(1) == b"\x81", "no device list"
time.sleep(0.3)
c = connect()
reply = c.recv(5)
assert reply[:1] == b"\x7f", "the third connection was not refused: %r" % reply
# The greeted but silent connections end within the idle time-out.
start = time.time()
for s in (a, b):
    while s.recv(65536):
        pass
assert time.time() - start < 3.5, "idle connections were kept"
EOF
  stress_make_text d.txt 200 after
  "$CLI" --lang en send --yes --device "unix:$CASE_DIR/h.sock" d.txt >/dev/null 2>&1 || return 1
  stress_stop_handheld
}

# Blocks beyond --max-memory are refused with the refusal acknowledgement; the emulator
# goes on serving smaller dictionaries.
case_memory_cap_refuses_large_dictionaries() {
  stress_start_handheld --max-memory 1 || return 1
  awk 'BEGIN { srand(7); for (i = 0; i < 40000; i++) { s = ""; for (j = 0; j < 8; j++) s = s sprintf("%08x", int(rand() * 4294967296)); printf "w%06d\t%s\n", i, s } }' >big.txt
  "$CLI" --lang en send --yes --device "unix:$CASE_DIR/h.sock" big.txt >/dev/null 2>&1 &&
    { echo "a dictionary beyond the memory cap was accepted"; return 1; }
  [ ! -e store/big.lxp ] || return 1
  grep -q "no memory left" handheld.log || return 1
  stress_make_text small.txt 200 small
  "$CLI" --lang en send --yes --device "unix:$CASE_DIR/h.sock" small.txt >/dev/null 2>&1 || return 1
  stress_stop_handheld
}

# Stopping the emulator does not wait out a long acknowledgement delay.
case_stopping_is_prompt_despite_an_ack_delay() {
  stress_start_handheld --ack-delay 60000 || return 1
  stress_make_text d.txt 100 slow
  "$CLI" --lang en send --yes --device "unix:$CASE_DIR/h.sock" d.txt >/dev/null 2>&1 &
  local cli=$!
  sleep 1
  local pid start
  pid=$(cat handheld.pid)
  start=$(date +%s%N)
  kill "$pid"
  timeout 10 tail --pid="$pid" -f /dev/null
  local took=$((($(date +%s%N) - start) / 1000000))
  kill "$cli" 2>/dev/null
  wait "$cli" 2>/dev/null
  [ "$took" -lt 3000 ] || { echo "stopping took $took ms"; return 1; }
}

# Names with control characters are escaped in the log, a flood of unknown messages does
# not flood the log, and a refusal quoting a long channel name stays a valid frame.
case_the_log_and_refusals_stay_bounded_and_printable() {
  stress_start_handheld || return 1
  stress_python <<'EOF' || return 1
import socket, struct, sys
def frame(kind, payload):
    return bytes([kind]) + struct.pack(">I", len(payload)) + payload
def read_frame(s):
    head = b""
    while len(head) < 5:
        more = s.recv(5 - len(head))
        assert more, "closed"
        head += more
    length = struct.unpack(">I", head[1:])[0]
    body = b""
    while len(body) < length:
        more = s.recv(length - len(body))
        assert more, "closed"
        body += more
    return head[0], body
def connect():
    s = socket.socket(socket.AF_UNIX, socket.SOCK_STREAM)
    s.connect(sys.argv[1])
    s.settimeout(10)
    s.sendall(frame(1, b"LXHH\x01"))
    assert read_frame(s)[0] == 0x81
    return s
# A channel name of the largest size allowed: the refusal must fit its frame.
s = connect()
s.sendall(frame(2, b"\x00" + b"\x1b" * 4096))
kind, body = read_frame(s)
assert kind == 0x84 and len(body) <= 4096, (hex(kind), len(body))
s.close()
s = connect()
s.sendall(frame(2, b"\x00Lexora"))
assert read_frame(s)[0] == 0x83
assert read_frame(s)[0] == 0x87
name = b"evil\x1b[2J\nlexora-handheld: forged line"
s.sendall(frame(4, b"\x01" + struct.pack(">H", len(name)) + name))
assert read_frame(s)[0] == 0x85
assert read_frame(s)[0] == 0x86
# About 1 MB of messages of an unknown type, 3 bytes each.
chunk = b"\x09\x00\x00" * 21845
for _ in range(16):
    s.sendall(frame(4, chunk))
    assert read_frame(s)[0] == 0x85
s.close()
EOF
  sleep 0.5
  stress_stop_handheld
  if grep -q $'\x1b' handheld.log || grep -q '^lexora-handheld: forged line' handheld.log; then
    echo "raw control characters reached the log"; return 1
  fi
  local size
  size=$(stat -c %s handheld.log)
  [ "$size" -lt 100000 ] || { echo "log grew to $size bytes"; return 1; }
}

# A socket served by another user is not used: nothing is sent, and the send says so.
case_another_users_socket_is_not_used() {
  command -v setpriv >/dev/null && [ "$(id -u)" = 0 ] || { echo "needs root and setpriv; skipped"; return 0; }
  chmod 755 "$CASE_DIR"
  mkdir -m 1777 common
  setpriv --reuid=65534 --regid=65534 --clear-groups \
    "$HANDHELD" serve --listen "unix:$CASE_DIR/common/h.sock" --store "$CASE_DIR/common/store" \
    2>handheld.log &
  local pid=$!
  for _ in $(seq 200); do [ -S common/h.sock ] && break; sleep 0.05; done
  chmod 777 common/h.sock 2>/dev/null
  stress_make_text d.txt 100 secret
  "$CLI" --lang en send --yes --device "unix:$CASE_DIR/common/h.sock" d.txt >out 2>&1
  local status=$?
  kill "$pid"; wait "$pid" 2>/dev/null
  [ "$status" = 3 ] || { cat out; return 1; }
  grep -q "another user" out || { cat out; return 1; }
  ! grep -q "receiving" handheld.log
}

# `list` and `lookup` fail when they cannot read the store or write their output.
case_list_and_lookup_report_what_they_cannot_do() {
  stress_start_handheld || return 1
  stress_make_text d.txt 100 out
  "$CLI" --lang en send --yes --device "unix:$CASE_DIR/h.sock" d.txt >/dev/null 2>&1 || return 1
  stress_stop_handheld
  touch not-a-folder
  "$HANDHELD" list --store not-a-folder >/dev/null 2>err && { echo "list of a file passed"; return 1; }
  [ -s err ] || return 1
  "$HANDHELD" list --store store >/dev/full 2>/dev/null && { echo "list to a full disk passed"; return 1; }
  "$HANDHELD" lookup d word000001 --store store >/dev/full 2>/dev/null &&
    { echo "lookup to a full disk passed"; return 1; }
  "$HANDHELD" list --store store | grep -q '^d' || return 1
}

# No thread can be started for a connection (thread stacks beyond the address-space
# limit): the connection is refused with a reason, the emulator keeps running, and
# stopping it still ends cleanly and removes its socket.
case_a_thread_that_cannot_start_refuses_its_connection() {
  stress_start_limited_handheld -s 131072 -v 100000 -- || return 1
  local pid
  pid=$(cat handheld.pid)
  stress_python <<'EOF' || return 1
import socket, struct, sys
for _ in range(3):
    s = socket.socket(socket.AF_UNIX, socket.SOCK_STREAM)
    s.connect(sys.argv[1])
    s.settimeout(5)
    reply = s.recv(5)
    assert reply[:1] == b"\x7f", reply
    s.close()
EOF
  kill -0 "$pid" || { echo "the emulator ended"; return 1; }
  kill "$pid"
  timeout 10 tail --pid="$pid" -f /dev/null
  grep -q "cannot start its thread" handheld.log && [ ! -e h.sock ]
}

# The idle time-out bounds each frame, the greeting included: a client that says nothing
# before its greeting, or sends a byte every 1.5 s (before or after it), is closed within
# about --idle-timeout, not after a fixed 10 s nor never.
case_idle_timeout_bounds_each_frame_not_each_byte() {
  stress_start_handheld --idle-timeout 2 || return 1
  stress_python <<'EOF' || return 1
import socket, struct, sys, threading, time
hello = b"\x01" + struct.pack(">I", 5) + b"LXHH\x01"
open_channel = b"\x02" + struct.pack(">I", 7) + b"\x00Lexora"
results = {}
def connect():
    s = socket.socket(socket.AF_UNIX, socket.SOCK_STREAM)
    s.connect(sys.argv[1])
    return s
def closed_within(s, seconds):
    # True when the emulator ends the connection within `seconds`.
    s.settimeout(seconds)
    try:
        while s.recv(4096):
            pass
        return True
    except ConnectionResetError:
        return True
    except socket.timeout:
        return False
def trickle(name, s, data):
    # A byte every 1.5 s; how long the emulator took to close the connection.
    start = time.time()
    for byte in data:
        try:
            s.sendall(bytes([byte]))
        except OSError:
            break
        if closed_within(s, 1.5):
            break
    results[name] = time.time() - start
def silent(name, s):
    start = time.time()
    closed_within(s, 12)
    results[name] = time.time() - start
def greeted_then_trickle(name):
    s = connect()
    s.sendall(hello)
    s.settimeout(5)
    assert s.recv(1) == b"\x81", "no device list"
    time.sleep(0.2)  # the rest of the device list has come: take it
    s.setblocking(False)
    try:
        s.recv(65536)
    except BlockingIOError:
        pass
    s.setblocking(True)
    trickle(name, s, open_channel)
threads = [
    threading.Thread(target=silent, args=("silent before the greeting", connect())),
    threading.Thread(target=trickle, args=("trickled greeting", connect(), hello)),
    threading.Thread(target=greeted_then_trickle, args=("trickled frame after the greeting",)),
]
for t in threads:
    t.start()
for t in threads:
    t.join()
failed = False
for name, took in sorted(results.items()):
    print("%s: closed after %.1f s" % (name, took))
    if not 1.5 <= took < 4:
        failed = True
assert len(results) == 3 and not failed, results
EOF
  stress_make_text d.txt 200 after
  "$CLI" --lang en send --yes --device "unix:$CASE_DIR/h.sock" d.txt >/dev/null 2>&1 || return 1
  stress_stop_handheld
}

# Links planted in the store, at the temporary names the store will choose and at the
# image's own name, are never written through: the image is stored beside them whole.
case_links_planted_in_the_store_are_not_written_through() {
  mkdir store
  echo precious >victim
  echo precious >victim-of-the-name
  local i
  for i in $(seq 0 9); do ln -s ../victim "store/.same.lxp.$i"; done
  # A dangling link: following it would create its target.
  ln -s ../created-through-a-link store/.same.lxp.10
  ln -s ../victim-of-the-name store/same.lxp
  stress_start_handheld --predictable-temp-names || return 1
  stress_make_text same.txt 300 planted
  "$CLI" pack same.txt -o same.lxp >/dev/null || return 1
  "$CLI" --lang en send --yes --device "unix:$CASE_DIR/h.sock" same.txt >out 2>&1 ||
    { cat out; tail -3 handheld.log; return 1; }
  stress_stop_handheld
  [ "$(cat victim)" = precious ] && [ "$(cat victim-of-the-name)" = precious ] ||
    { echo "a planted link was written through"; return 1; }
  [ ! -e created-through-a-link ] || { echo "a dangling link was followed"; return 1; }
  [ -f store/same.lxp ] && [ ! -L store/same.lxp ] && cmp -s store/same.lxp same.lxp ||
    { echo "the image was not stored whole under its name"; return 1; }
  # Nothing but the planted links and the image.
  [ "$(find store -type f | wc -l)" = 1 ] || { ls -lA store; return 1; }
}

# A full store (a small tmpfs, a real ENOSPC): the send fails, nothing partial is left in
# the store, and the emulator goes on serving.
case_a_full_store_fails_the_send_and_keeps_nothing() {
  [ "$(id -u)" = 0 ] || { echo "needs root to mount a small tmpfs; skipped"; return 0; }
  mkdir store
  mount -t tmpfs -o size=256k lexora-stress "$CASE_DIR/store" ||
    { echo "cannot mount a tmpfs here; skipped"; return 0; }
  trap 'stress_stop_handheld; umount -l "$CASE_DIR/store"' EXIT
  stress_start_handheld || return 1
  local pid
  pid=$(cat handheld.pid)
  awk 'BEGIN { srand(11); for (i = 0; i < 20000; i++) { s = ""; for (j = 0; j < 8; j++) s = s sprintf("%08x", int(rand() * 4294967296)); printf "w%06d\t%s\n", i, s } }' >big.txt
  "$CLI" --lang en send --yes --device "unix:$CASE_DIR/h.sock" big.txt >out 2>&1 &&
    { echo "a send to a full store succeeded"; cat out; return 1; }
  grep -q "No space left on device" handheld.log ||
    { echo "the store never filled up"; tail -5 handheld.log; return 1; }
  [ -z "$(ls -A store)" ] || { echo "left in the store:"; ls -lA store; return 1; }
  kill -0 "$pid" || { echo "the emulator ended"; return 1; }
  stress_make_text small.txt 200 small
  "$CLI" --lang en send --yes --device "unix:$CASE_DIR/h.sock" small.txt >out 2>&1 ||
    { echo "no longer serving"; cat out; return 1; }
  "$CLI" inspect store/small.lxp >/dev/null
}

# A client beyond --max-connections is told the handheld's own reason by lexora-cli, not
# that no handheld answered.
case_a_client_beyond_the_cap_reads_the_handhelds_reason() {
  stress_start_handheld --max-connections 1 || return 1
  # Holds the one connection served, greeted, until the send is done.
  stress_python <<'EOF' &
import os, socket, struct, sys, time
folder = os.path.dirname(sys.argv[1])
s = socket.socket(socket.AF_UNIX, socket.SOCK_STREAM)
s.connect(sys.argv[1])
s.sendall(b"\x01" + struct.pack(">I", 5) + b"LXHH\x01")
assert s.recv(1) == b"\x81"
open(os.path.join(folder, "held"), "w").close()
while not os.path.exists(os.path.join(folder, "done")):
    time.sleep(0.05)
EOF
  local holder=$!
  for _ in $(seq 100); do [ -e held ] && break; sleep 0.05; done
  [ -e held ] || { echo "no connection held"; return 1; }
  stress_make_text d.txt 100 beyond
  "$CLI" --lang en send --yes --device "unix:$CASE_DIR/h.sock" d.txt >out 2>&1
  local status=$?
  touch done
  wait "$holder"
  stress_stop_handheld
  cat out
  [ "$status" = 3 ] || { echo "exit status $status"; return 1; }
  grep -q "serves at most 1 connections at once; try again later" out || return 1
  ! grep -q "No handheld answered" out
}
