#!/usr/bin/env bash
# Builds the program (release configuration) and runs it against the device
# simulator: orvel-devsim first, then orvel-loader with the simulator's port
# listed (ORVEL_SERIAL_PORTS), so Connect and Recall work without the
# processor; the simulator stops when the window closes. With --editor the
# full editor, orvel-editor, runs instead of the loader.
#
# Without a display the same job is done offscreen by orvel-loader-headless
# (orvel-editor-headless): connect, recall the example configuration, print
# the status and result lines the window shows, and save pictures of it.
set -euo pipefail
# shellcheck source=release-build.sh
source "$(dirname "${BASH_SOURCE[0]}")/release-build.sh"
PROGRAM=orvel-loader
if [ "${1:-}" = "--editor" ]; then
  PROGRAM=orvel-editor
  shift
fi
DEFAULT_EXAMPLE=crossover-80Hz-2k5Hz.cfg
[ "$PROGRAM" = orvel-editor ] && DEFAULT_EXAMPLE=crossover-100Hz-3kHz-shaped.cfg
EXAMPLE="${ORVEL_EXAMPLE:-$ROOT/examples/$DEFAULT_EXAMPLE}"

orvel_release_build "$PROGRAM" "$PROGRAM-headless" orvel-devsim orvel-cli

SIM_DIR="$(mktemp -d)"
ORVEL_SIM_PID=""
cleanup() {
  if [ -n "$ORVEL_SIM_PID" ]; then
    kill "$ORVEL_SIM_PID" 2>/dev/null || true
    wait "$ORVEL_SIM_PID" 2>/dev/null || true
  fi
  rm -rf "$SIM_DIR"
}
trap cleanup EXIT
orvel_start_simulator "$SIM_DIR/ttyORV0"
export ORVEL_SERIAL_PORTS="$SIM_DIR/ttyORV0"
echo "Device simulator on $ORVEL_SERIAL_PORTS"

status=0
if [ -n "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ] && [ "${QT_QPA_PLATFORM:-}" != "offscreen" ]; then
  "$BUILD/bin/$PROGRAM" "$@" || status=$?
else
  echo "No display available (neither DISPLAY nor WAYLAND_DISPLAY is set): running $PROGRAM offscreen."
  if [ "$PROGRAM" = orvel-editor ]; then
    mkdir -p "$BUILD/editor-headless"
    args=(--shots "$BUILD/editor-headless")
  else
    args=(--screenshot "$BUILD/loader-headless.png")
  fi
  if [ -f "$EXAMPLE" ]; then
    args+=(--recall "$EXAMPLE")
  else
    echo "$EXAMPLE is missing: connecting only."
  fi
  "$BUILD/bin/$PROGRAM-headless" "${args[@]}" || status=$?
fi
exit "$status"
