#!/usr/bin/env bash
# Builds the test configuration (warnings as errors, address and undefined-
# behaviour sanitizers) and runs every test with CTest.
set -euo pipefail
ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
BUILD="${ORVEL_TEST_BUILD_DIR:-$ROOT/build-test}"

"$ROOT/scripts/install-deps.sh"
cmake -S "$ROOT" -B "$BUILD" -G Ninja -DCMAKE_BUILD_TYPE=Debug -DORVEL_TEST_BUILD=ON -DORVEL_BUILD_BENCH=ON
cmake --build "$BUILD" -j"$(nproc)"
cd "$BUILD"
QT_QPA_PLATFORM=offscreen ctest --output-on-failure --timeout 300 -j"$(nproc)"
