#!/usr/bin/env bash
# Counts instructions per FWorley::noise query with callgrind (deterministic, unlike
# time): plain order-2 queries at uniform points in [-100, 100]^3 on the native -O2 build.
# Usage: scripts/count_instructions.sh [queries] [order] [plain|metric]
set -euo pipefail
cd "$(dirname "$0")/.."
queries=${1:-100000}
order=${2:-2}
mode=${3:-plain}
scripts/build.sh x86_64 >/dev/null
out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT
valgrind --tool=callgrind --callgrind-out-file="$out/cg" --toggle-collect='run_queries*' \
  build/x86_64/bench/noise_instructions "$queries" "$order" "$mode" >/dev/null 2>"$out/log"
total=$(callgrind_annotate "$out/cg" 2>/dev/null | awk '/PROGRAM TOTALS/ { gsub(",", "", $1); print $1 }')
echo "$mode order $order: $total instructions for $queries queries: $((total / queries)) per query"
