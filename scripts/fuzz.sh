#!/usr/bin/env bash
# Builds the libFuzzer targets with clang (ASan + UBSan) and runs each for a bounded
# time from its seed corpus in fuzz/corpus/NAME. Any finding fails the run and is kept
# in build/fuzz/findings/ (add it to the seeds and a regression test once fixed).
# Usage: scripts/fuzz.sh [seconds per fuzzer, default 60]
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-60}
fuzzers=(noise_fuzz add_samples_fuzz wire_geometry_fuzz shader_fuzz declaration_fuzz numbers_fuzz mesh_fuzz)

CC=clang-14 CXX=clang++-14 cmake -S . -B build/fuzz -DQORN_FUZZ=ON -DQORN_WERROR=ON \
  -DQORN_BUILD_TESTS=OFF -DQORN_BUILD_BENCH=OFF >/dev/null
cmake --build build/fuzz -j "$(nproc)" --target "${fuzzers[@]}"

mkdir -p build/fuzz/findings
for fuzzer in "${fuzzers[@]}"; do
  seeds=fuzz/corpus/${fuzzer%_fuzz}
  work=$(mktemp -d)
  echo "== $fuzzer: ${seconds}s from $(ls "$seeds" | wc -l) seeds"
  if ! "build/fuzz/fuzz/$fuzzer" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 \
      -print_final_stats=1 -artifact_prefix="build/fuzz/findings/$fuzzer-" \
      "$work" "$seeds" > "build/fuzz/$fuzzer.log" 2>&1; then
    tail -40 "build/fuzz/$fuzzer.log"
    echo "FAIL: $fuzzer found a fault; the input is in build/fuzz/findings/"
    rm -rf "$work"
    exit 1
  fi
  rm -rf "$work"
  grep -E '^stat::number_of_executed_units' "build/fuzz/$fuzzer.log" | sed "s/^/$fuzzer /"
done
echo "fuzzing found nothing"
