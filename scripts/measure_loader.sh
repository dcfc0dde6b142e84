#!/usr/bin/env bash
# Start-up and idle figures of orvel-loader, release build, rendered offscreen
# (software renderer), each start with a home and temporary folder of its
# own:
#   - "Booted in" and "First frame in" as the program writes them, over
#     ORVEL_MEASURE_RUNS starts (default 5), each and their median;
#   - the processor time the program uses over ORVEL_IDLE_SECONDS (default
#     10) of idling, as a share of one core, first with the simulated
#     processor listed but not connected, then connected (through the
#     program's own object network, as orvel-cli remote drives it), each with
#     its threads' shares and wake-ups; and resident memory, connected.
set -euo pipefail
# shellcheck source=release-build.sh
source "$(dirname "${BASH_SOURCE[0]}")/release-build.sh"
RUNS="${ORVEL_MEASURE_RUNS:-5}"
IDLE="${ORVEL_IDLE_SECONDS:-10}"
orvel_release_build orvel-loader orvel-devsim orvel-cli >/dev/null

WORK="$(mktemp -d)"
LOADER_PID=""
ORVEL_SIM_PID=""
cleanup() {
  for pid in "$LOADER_PID" "$ORVEL_SIM_PID"; do
    if [ -n "$pid" ]; then kill "$pid" 2>/dev/null || true; fi
  done
  wait 2>/dev/null || true
  rm -rf "$WORK"
}
trap cleanup EXIT
export QT_QPA_PLATFORM=offscreen QT_QUICK_BACKEND=software ORVEL_NETWORK_PORT=0

# Starts the program with its output in $1 and waits for its first frame.
start_loader() {
  local log="$1" place
  place="$(mktemp -d "$WORK/place.XXXX")"
  mkdir -m 700 "$place/tmp"
  HOME="$place" TMPDIR="$place/tmp" XDG_RUNTIME_DIR="$place/tmp" "$BUILD/bin/orvel-loader" >"$log" 2>&1 &
  LOADER_PID=$!
  for _ in $(seq 1 400); do
    if grep -q "First frame in:" "$log"; then return 0; fi
    sleep 0.05
  done
  echo "orvel-loader did not draw its window:" >&2
  cat "$log" >&2
  return 1
}

stop_loader() {
  kill -TERM "$LOADER_PID"
  wait "$LOADER_PID" || true
  LOADER_PID=""
}

median() { sort -n | awk '{v[NR] = $1} END {print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2}'; }

boots=()
frames=()
for run in $(seq 1 "$RUNS"); do
  start_loader "$WORK/start-$run.log"
  stop_loader
  boots+=("$(sed -n 's/^Booted in: \([0-9]*\)ms$/\1/p' "$WORK/start-$run.log")")
  frames+=("$(sed -n 's/^First frame in: \([0-9]*\)ms$/\1/p' "$WORK/start-$run.log")")
done
echo "Booted in (ms):      ${boots[*]}   median $(printf '%s\n' "${boots[@]}" | median)"
echo "First frame in (ms): ${frames[*]}   median $(printf '%s\n' "${frames[@]}" | median)"

ticks() { awk '{print $14 + $15}' "/proc/$LOADER_PID/stat"; }
hz="$(getconf CLK_TCK)"
# One line a thread: id, name, processor time as the scheduler counts it (in
# nanoseconds, where the total above moves in steps of 1/CLK_TCK s) and
# voluntary context switches (each a sleep the thread was woken from).
thread_sample() {
  local task
  for task in /proc/"$LOADER_PID"/task/*; do
    echo "${task##*/} $(tr ' ' '_' <"$task/comm") $(cut -d' ' -f1 "$task/schedstat")" \
      "$(awk '/^voluntary_ctxt_switches/ {print $2}' "$task/status")"
  done | sort
}
# Idles for $IDLE s and prints the program's share of one core, then each
# busy thread's.
measure_idle() {
  local label="$1" before after threads
  threads="$(thread_sample)"
  before="$(ticks)"
  sleep "$IDLE"
  after="$(ticks)"
  awk -v t="$((after - before))" -v hz="$hz" -v s="$IDLE" -v label="$label" \
    'BEGIN {printf "Processor time over %d s idle, %s: %.2f s = %.2f %% of one core\n", s, label, t / hz, 100 * t / hz / s}'
  join <(echo "$threads") <(thread_sample) |
    awk '$6 - $3 >= 1e5 {printf "  %-16s %6.1f ms, %5d wake-ups\n", $2, ($6 - $3) / 1e6, $7 - $4}'
}

orvel_start_simulator "$WORK/ttyORV0"
export ORVEL_SERIAL_PORTS="$WORK/ttyORV0"
start_loader "$WORK/idle.log"
sleep 2
measure_idle "not connected"
port="$(sed -n 's/^Object network listening on TCP port \([0-9]*\)$/\1/p' "$WORK/idle.log")"
remote() { "$BUILD/bin/orvel-cli" remote "127.0.0.1:$port" "$@"; }
driver="Serial Connection Driver NetObject"
# Connect flag 1 and the port's name, as the Connect button sends them.
remote set "$driver" 0 "01$(printf 'ttyORV0' | od -An -tx1 | tr -d ' \n')00" >/dev/null
link_state() { remote get "$driver" 3 | cut -c1-2; }
for _ in $(seq 1 100); do
  if [ "$(link_state)" = "02" ]; then break; fi
  sleep 0.1
done
if [ "$(link_state)" != "02" ]; then
  echo "The program did not connect to the simulator" >&2
  exit 1
fi
sleep 2
measure_idle "connected"
still="$(link_state)"
grep -E '^(VmRSS|VmHWM):' "/proc/$LOADER_PID/status" | sed 's/^/Resident memory, connected: /'
echo "Link state at the end: $still (02 = connected)"
stop_loader
