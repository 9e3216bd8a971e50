#!/usr/bin/env bash
# The hostile cases, one bounded run: bad files, a hostile second local user, bursts of
# connections, racing senders, full disks. Every tests/stress/*_cases.sh defines functions
# named case_<name>; each runs against the programs in $BUILD, inside its own scratch
# folder ($CASE_DIR), and returns 0 when the system held (nothing lost, nothing taken over,
# no failure reported as success). A case has $CASE_SECONDS to finish.
#   tests/stress/run.sh [BUILD_DIR] [NAME_PATTERN]
set -uo pipefail
cd "$(dirname "$0")/../.."
BUILD=$(readlink -f "${1:-build/default}")
pattern=${2:-}
CLI=$BUILD/src/cli/lexora-cli
HANDHELD=$BUILD/src/handheld/lexora-handheld
CASE_SECONDS=${CASE_SECONDS:-60}
export BUILD CLI HANDHELD
[ -x "$CLI" ] && [ -x "$HANDHELD" ] || { echo "build the default preset first ($BUILD)"; exit 2; }

for f in tests/stress/*_cases.sh; do
  # shellcheck source=/dev/null
  source "$f"
done

passed=0 failed=0
printf '%-48s %-6s %s\n' case held seconds
for name in $(declare -F | awk '{print $3}' | grep '^case_' | sort); do
  [[ -n "$pattern" && "$name" != *$pattern* ]] && continue
  CASE_DIR=$(mktemp -d)
  export CASE_DIR
  start=$SECONDS
  # timeout runs the case in a process group of its own (its pid is the group's id), so an
  # emulator that a failing case left running is ended with the rest of the group.
  (cd "$CASE_DIR" && exec timeout -k 5 "$CASE_SECONDS" bash -c "$(declare -f "$name"); $(declare -f | sed -n '/^stress_/,/^}/p'); $name") \
    >"$CASE_DIR.log" 2>&1 &
  case_pid=$!
  wait "$case_pid"
  status=$?
  kill -KILL -- "-$case_pid" 2>/dev/null
  if [ "$status" -eq 0 ]; then
    result=yes; passed=$((passed + 1))
  else
    result=NO; failed=$((failed + 1))
    sed 's/^/    /' "$CASE_DIR.log" | tail -20
  fi
  printf '%-48s %-6s %s\n' "${name#case_}" "$result" "$((SECONDS - start))"
  # A case may leave a read-only or unwritable folder behind on purpose.
  chmod -R u+rwx "$CASE_DIR" 2>/dev/null
  rm -rf "$CASE_DIR" "$CASE_DIR.log"
done
echo "stress: $passed passed, $failed failed"
[ "$failed" -eq 0 ]
