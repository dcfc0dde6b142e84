#!/usr/bin/env bash
# Time from the click on Connect to "Status: Connected, V..." in the loader,
# with the processor's settings read back and taken over, against the
# simulated processor started from a configuration file: orvel-loader-headless
# (release build, offscreen, software renderer) prints "Connected in: N ms";
# ORVEL_MEASURE_RUNS starts (default 10), each with a home folder of its own,
# against one simulator, which keeps its settings between connections.
# ORVEL_CONNECT_STATE names the file (default examples/crossover-80Hz-2k5Hz.cfg).
set -euo pipefail
# shellcheck source=release-build.sh
source "$(dirname "${BASH_SOURCE[0]}")/release-build.sh"
RUNS="${ORVEL_MEASURE_RUNS:-10}"
STATE="${ORVEL_CONNECT_STATE:-$ROOT/examples/crossover-80Hz-2k5Hz.cfg}"
if [ -z "${ORVEL_SKIP_BUILD:-}" ]; then orvel_release_build orvel-loader-headless orvel-devsim >/dev/null; fi

WORK="$(mktemp -d)"
SIM_PID=""
cleanup() {
  if [ -n "$SIM_PID" ]; then kill "$SIM_PID" 2>/dev/null || true; fi
  wait 2>/dev/null || true
  rm -rf "$WORK"
}
trap cleanup EXIT
export QT_QPA_PLATFORM=offscreen QT_QUICK_BACKEND=software ORVEL_NETWORK_PORT=0

"$BUILD/bin/orvel-devsim" --state "$STATE" --link "$WORK/ttyORVEL" >"$WORK/sim.out" 2>&1 &
SIM_PID=$!
for _ in $(seq 1 200); do
  if [ -s "$WORK/sim.out" ]; then break; fi
  sleep 0.05
done
head -1 "$WORK/sim.out" | grep -q . || { echo "orvel-devsim did not start" >&2; cat "$WORK/sim.out" >&2; exit 1; }

times=()
for run in $(seq 1 "$RUNS"); do
  place="$(mktemp -d "$WORK/place.XXXX")"
  mkdir -m 700 "$place/tmp"
  if ! HOME="$place" TMPDIR="$place/tmp" XDG_RUNTIME_DIR="$place/tmp" ORVEL_SERIAL_PORTS="$WORK/ttyORVEL" \
    "$BUILD/bin/orvel-loader-headless" >"$WORK/run-$run.log" 2>&1; then
    echo "run $run failed:" >&2
    cat "$WORK/run-$run.log" >&2
    exit 1
  fi
  grep -q "Status: Getting Sync\|Status: Syncing" "$WORK/run-$run.log" ||
    echo "run $run: the status line showed no read-back (too fast to see, or none)" >&2
  times+=("$(sed -n 's/^Connected in: \([0-9]*\) ms$/\1/p' "$WORK/run-$run.log")")
done
sorted="$(printf '%s\n' "${times[@]}" | sort -n)"
median="$(echo "$sorted" | awk '{v[NR] = $1} END {print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2}')"
echo "Connect to Connected with read-back (ms): ${times[*]}"
echo "median $median, min $(echo "$sorted" | head -1), max $(echo "$sorted" | tail -1) (goal: under 300)"
