#!/usr/bin/env bash
# Builds the benchmarks in release mode and runs them.
set -euo pipefail
ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
BUILD="${ORVEL_BENCH_BUILD_DIR:-$ROOT/build-bench}"

"$ROOT/scripts/install-deps.sh"
cmake -S "$ROOT" -B "$BUILD" -G Ninja -DCMAKE_BUILD_TYPE=Release -DORVEL_BUILD_TESTS=OFF -DORVEL_BUILD_BENCH=ON
cmake --build "$BUILD" --target orvel-bench -j"$(nproc)"
exec "$BUILD/bin/orvel-bench" "$@"
