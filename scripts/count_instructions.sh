#!/usr/bin/env bash
# Instructions and mispredicted branches (conditional plus indirect) per FWorley::noise
# query, counted by callgrind with its branch simulator (deterministic, unlike time), at
# uniform points in [-100, 100]^3, on the -O2 builds of both ABIs; beside them the least
# time per query of 11 runs of the same loop outside valgrind (wall time, so only as
# steady as the machine is quiet).
# Usage: scripts/count_instructions.sh [queries] [abi...]
#   abi: x86_64, i386 (default both). Prints one table row per case and ABI.
# Where the kernel cannot run 32-bit programs (scripts/i386_runner.sh), the i386 rows
# count instructions under qemu-i386 with bench/emulated/insn_count.c instead, as the
# difference from the bare query loop (mode "loop"), which leaves out the ~13
# instructions of the loop itself that callgrind's count includes; mispredicts and
# times are not measurable there and read "-".
# One case alone: scripts/count_instructions.sh QUERIES ABI -- ORDER MODE
#   (MODE: plain, outputs, metric, metric_outputs, transcription, libnoise; see bench/noise_instructions.cpp)
set -euo pipefail
cd "$(dirname "$0")/.."
queries=${1:-32768}
shift || true
abis=()
while [ $# -gt 0 ] && [ "$1" != "--" ]; do abis+=("$1"); shift; done
[ ${#abis[@]} -gt 0 ] || abis=(x86_64 i386)
cases=("1 plain" "2 plain" "3 plain" "4 plain" "16 plain" "2 outputs" "4 outputs" "2 metric"
       "2 transcription" "16 transcription" "1 libnoise")
if [ "${1:-}" = "--" ]; then shift; cases=("$*"); fi

out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT

# Prints "instructions mispredicts" per query for one run of the counter.
count() {
  local abi=$1 order=$2 mode=$3
  valgrind --tool=callgrind --branch-sim=yes --callgrind-out-file="$out/cg" \
    --toggle-collect='run_queries*' \
    "build/$abi/bench/noise_instructions" "$queries" "$order" "$mode" >/dev/null 2>"$out/log"
  # The totals line of the profile lists the events in the order of its "events:" line.
  awk -v q="$queries" '
    /^events:/ { for (i = 2; i <= NF; ++i) slot[$i] = i - 1 }
    /^totals:/ { ir = $(slot["Ir"] + 1); bm = $(slot["Bcm"] + 1) + $(slot["Bim"] + 1)
                 printf "%.0f %.1f\n", ir / q, bm / q }' "$out/cg"
}

# Prints "instructions -" per query, counted under the emulator.
count_emulated() {
  local order=$1 mode=$2 bin="build/i386/bench/noise_instructions" total loop
  [ -f "$out/insn_count.so" ] || gcc -O2 -shared -fPIC -o "$out/insn_count.so" bench/emulated/insn_count.c
  total=$(qemu-i386 -plugin "$out/insn_count.so",out="$out/n1" "$bin" "$queries" "$order" "$mode" >/dev/null && awk '{print $3}' "$out/n1")
  loop=$(qemu-i386 -plugin "$out/insn_count.so",out="$out/n2" "$bin" "$queries" "$order" loop >/dev/null && awk '{print $3}' "$out/n2")
  echo "$(( (total - loop) / queries )) -"
}

# The least ns per query of 11 timed runs.
least_ns() {
  "build/$1/bench/noise_instructions" "$queries" "$2" "$3" 11 | awk '/^least ns/ { print $NF }'
}

# Empty where 32-bit programs run natively; asked once.
i386_runner=$(scripts/i386_runner.sh)

printf '| abi | order | query | instructions | mispredicted branches | ns |\n|---|---|---|---|---|---|\n'
for abi in "${abis[@]}"; do
  scripts/build.sh "$abi" >"$out/build.log" 2>&1 || { cat "$out/build.log"; exit 1; }
  for c in "${cases[@]}"; do
    read -r order mode <<<"$c"
    if [ "$mode" = libnoise ] && [ "$abi" != x86_64 ]; then continue; fi
    if [ "$abi" = i386 ] && [ -n "$i386_runner" ]; then
      read -r ir bm <<<"$(count_emulated "$order" "$mode")"
      ns=-
    else
      read -r ir bm <<<"$(count "$abi" "$order" "$mode")"
      ns=$(least_ns "$abi" "$order" "$mode")
    fi
    printf '| %s | %s | %s | %s | %s | %s |\n' "$abi" "$order" "$mode" "$ir" "$bm" "$ns"
  done
done
