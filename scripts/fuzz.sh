#!/usr/bin/env bash
# Builds the libFuzzer targets of fuzz/ with clang into build-fuzz and runs
# each for a bounded time: bash scripts/fuzz.sh [seconds-per-target] [name...]
# (default 600 seconds, every target). Each target starts from the examples
# its "// Seeds:" line names and keeps its growing corpus in
# build-fuzz/corpus/<target>; inputs that crash, hang or break a target's
# checks land in build-fuzz/findings/<target>. Prints, per target, the
# executions run and the findings. Not part of scripts/test.sh.
set -euo pipefail
ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
BUILD="${ORVEL_FUZZ_BUILD_DIR:-$ROOT/build-fuzz}"
SECONDS_PER_TARGET="${1:-600}"
shift || true

# clang and the libFuzzer runtime of Debian 12 besides the project's own.
"$ROOT/scripts/install-deps.sh" clang libclang-rt-14-dev

cmake -S "$ROOT" -B "$BUILD" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_CXX_COMPILER=clang++ \
  -DORVEL_BUILD_FUZZ=ON -DORVEL_BUILD_TESTS=OFF -DORVEL_BUILD_BENCH=OFF
targets=()
for src in "$ROOT"/fuzz/fuzz_*.cpp; do
  name="$(basename "$src" .cpp)"
  if [ $# -gt 0 ] && [[ ! " $* " =~ " $name " ]]; then continue; fi
  targets+=("$name")
done
cmake --build "$BUILD" -j"$(nproc)" --target "${targets[@]}"

summary=()
for name in "${targets[@]}"; do
  corpus="$BUILD/corpus/$name"
  findings="$BUILD/findings/$name"
  mkdir -p "$corpus" "$findings"
  # Seeds: every glob on the target's "// Seeds:" line, relative to the source folder.
  seeds="$(sed -n 's|^// Seeds: *||p' "$ROOT/fuzz/$name.cpp" | head -1)"
  for glob in $seeds; do
    for seed in $ROOT/$glob; do
      if [ -f "$seed" ]; then cp -f "$seed" "$corpus/seed-$(basename "$seed")"; fi
    done
  done
  before=$(find "$findings" -type f | wc -l)
  log="$BUILD/$name.log"
  echo "== $name: ${SECONDS_PER_TARGET}s from $(find "$corpus" -type f | wc -l) corpus inputs"
  # A crash or broken check ends the run early with a finding; the next
  # target runs regardless. The program's home folder is a scratch one.
  set +e
  HOME="$(mktemp -d)" QT_QPA_PLATFORM=offscreen ASAN_OPTIONS=detect_leaks=0 \
    "$BUILD/fuzz/$name" -max_total_time="$SECONDS_PER_TARGET" -timeout=20 -rss_limit_mb=4096 \
    -artifact_prefix="$findings/" -print_final_stats=1 "$corpus" >"$log" 2>&1
  status=$?
  set -e
  runs="$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -1)"
  if [ -z "$runs" ]; then runs="$(grep -o '^#[0-9]*' "$log" | tail -1 | tr -d '#')"; fi
  after=$(find "$findings" -type f | wc -l)
  found=$((after - before))
  summary+=("$name: ${runs:-0} executions, $found new finding(s), exit $status, corpus $(find "$corpus" -type f | wc -l) (log $log)")
  if [ "$found" -gt 0 ]; then
    grep -m3 -E "ERROR|invariant broken|SUMMARY" "$log" || true
    ls -t "$findings" | head -n "$found" | sed "s|^|  $findings/|"
  fi
done
echo "== fuzz summary"
printf '%s\n' "${summary[@]}"
