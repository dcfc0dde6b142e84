#!/usr/bin/env bash
# Builds the test configuration twice and runs every test with CTest in each:
# once with AddressSanitizer and UndefinedBehaviorSanitizer, once with
# ThreadSanitizer. Warnings are errors in both. Then builds the Debian
# package and checks it (scripts/test-package.sh).
set -euo pipefail
ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
BUILD="${ORVEL_TEST_BUILD_DIR:-$ROOT/build-test}"
TSAN_BUILD="${ORVEL_TSAN_BUILD_DIR:-$ROOT/build-tsan}"

"$ROOT/scripts/install-deps.sh"

cmake -S "$ROOT" -B "$BUILD" -G Ninja -DCMAKE_BUILD_TYPE=Debug -DORVEL_TEST_BUILD=ON -DORVEL_SANITIZER=address \
  -DORVEL_BUILD_BENCH=ON
cmake --build "$BUILD" -j"$(nproc)"
(cd "$BUILD" && QT_QPA_PLATFORM=offscreen ctest --output-on-failure --timeout 300 -j"$(nproc)")

# Qt and GLib are not built with ThreadSanitizer: the C library calls they
# make themselves are not checked (ignore_noninstrumented_modules), and the
# suppressions file lists the few reports that lie wholly inside them. Any
# race on this project's own accesses fails the run.
cmake -S "$ROOT" -B "$TSAN_BUILD" -G Ninja -DCMAKE_BUILD_TYPE=Debug -DORVEL_TEST_BUILD=ON -DORVEL_SANITIZER=thread \
  -DORVEL_BUILD_BENCH=OFF
cmake --build "$TSAN_BUILD" -j"$(nproc)"
(cd "$TSAN_BUILD" &&
  TSAN_OPTIONS="suppressions=$ROOT/tests/tsan.supp ignore_noninstrumented_modules=1 second_deadlock_stack=1 history_size=4" \
    QT_QPA_PLATFORM=offscreen ctest --output-on-failure --timeout 600 -j"$(nproc)")

# The Debian package, built and checked as a user's machine takes it.
bash "$ROOT/scripts/test-package.sh"
