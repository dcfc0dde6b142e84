#!/usr/bin/env bash
# Makes the pictures of the loader and the editor in docs/ from the programs
# themselves: the release builds of orvel-loader-headless, rendered
# offscreen, against two simulated processors (so the port popup shows),
# recalling the example configuration; then orvel-editor-headless against
# one, recalling the shaped example, with a picture of every tab, at the
# default size and at the minimum (640 x 480). Run it again whenever the
# screens' look changes.
set -euo pipefail
# shellcheck source=release-build.sh
source "$(dirname "${BASH_SOURCE[0]}")/release-build.sh"
EXAMPLE="${ORVEL_EXAMPLE:-$ROOT/examples/crossover-80Hz-2k5Hz.cfg}"
EDITOR_EXAMPLE="${ORVEL_EDITOR_EXAMPLE:-$ROOT/examples/crossover-100Hz-3kHz-shaped.cfg}"
OUT="$ROOT/docs"

for file in "$EXAMPLE" "$EDITOR_EXAMPLE"; do
  if [ ! -f "$file" ]; then
    echo "$file is missing" >&2
    exit 1
  fi
done
orvel_release_build orvel-loader-headless orvel-editor-headless orvel-devsim

# A home and temporary folder of its own: the user's storage region and a
# running copy of the loader are left alone.
WORK="$(mktemp -d)"
SIMS=()
cleanup() {
  for pid in "${SIMS[@]}"; do kill "$pid" 2>/dev/null || true; done
  wait 2>/dev/null || true
  rm -rf "$WORK"
}
trap cleanup EXIT
mkdir -p "$WORK/home" "$WORK/tmp" "$WORK/shots" "$OUT"
chmod 700 "$WORK/tmp"
for name in ttyACM0 ttyACM1; do
  orvel_start_simulator "$WORK/$name"
  SIMS+=("$ORVEL_SIM_PID")
done

HOME="$WORK/home" TMPDIR="$WORK/tmp" XDG_RUNTIME_DIR="$WORK/tmp" ORVEL_NETWORK_PORT=0 \
  ORVEL_SERIAL_PORTS="$WORK/ttyACM0:$WORK/ttyACM1" \
  "$BUILD/bin/orvel-loader-headless" --recall "$EXAMPLE" --shots "$WORK/shots" 2>/dev/null
for shot in not-connected port-popup connected recall; do
  cp "$WORK/shots/loader-$shot.png" "$OUT/loader-$shot.png"
done

# The editor, on the first processor only (one port: no popup).
HOME="$WORK/home" TMPDIR="$WORK/tmp" XDG_RUNTIME_DIR="$WORK/tmp" ORVEL_NETWORK_PORT=0 \
  ORVEL_SERIAL_PORTS="$WORK/ttyACM0" \
  "$BUILD/bin/orvel-editor-headless" --recall "$EDITOR_EXAMPLE" --shots "$WORK/shots" 2>/dev/null
for shot in faders low mid high high-device mid-output; do
  cp "$WORK/shots/editor-$shot.png" "$OUT/editor-$shot.png"
done

# The editor again at its minimum size.
rm -f "$WORK/shots"/editor-*.png
HOME="$WORK/home" TMPDIR="$WORK/tmp" XDG_RUNTIME_DIR="$WORK/tmp" ORVEL_NETWORK_PORT=0 \
  ORVEL_SERIAL_PORTS="$WORK/ttyACM0" \
  "$BUILD/bin/orvel-editor-headless" --recall "$EDITOR_EXAMPLE" --shots "$WORK/shots" --size 640x480 2>/dev/null
for shot in faders low mid high high-device; do
  cp "$WORK/shots/editor-$shot.png" "$OUT/editor-$shot-640x480.png"
done
echo "Pictures written to $OUT"
