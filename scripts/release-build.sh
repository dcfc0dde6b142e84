#!/usr/bin/env bash
# Sourced by the scripts that run the program. Sets ROOT (the source tree)
# and BUILD (the release build folder: ORVEL_BUILD_DIR, default build/).
ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
BUILD="${ORVEL_BUILD_DIR:-$ROOT/build}"

# Installs what is missing, then configures and builds the release
# configuration with the given targets.
orvel_release_build() {
  "$ROOT/scripts/install-deps.sh"
  cmake -S "$ROOT" -B "$BUILD" -G Ninja -DCMAKE_BUILD_TYPE=Release -DORVEL_BUILD_TESTS=OFF -DORVEL_BUILD_BENCH=OFF \
    >/dev/null
  cmake --build "$BUILD" -j"$(nproc)" --target "$@"
}

# Starts orvel-devsim on a pseudo-terminal linked as $1 and waits until it
# has said its path; its process id is left in ORVEL_SIM_PID.
orvel_start_simulator() {
  local link="$1" out="$1.out"
  "$BUILD/bin/orvel-devsim" --link "$link" >"$out" 2>&1 &
  ORVEL_SIM_PID=$!
  for _ in $(seq 1 100); do
    if [ -s "$out" ]; then return 0; fi
    sleep 0.05
  done
  echo "orvel-devsim did not start:" >&2
  cat "$out" >&2
  return 1
}
