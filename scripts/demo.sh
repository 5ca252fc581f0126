#!/usr/bin/env bash
# Builds everything (both ABIs) and runs the main job.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
scripts/build.sh x86_64
scripts/build.sh i386
for abi in x86_64 i386; do
  echo "== qorn.so, $abi"
  "build/$abi/demo/qorn_noise_table" "build/$abi/lib/qorn.so"
done
