#!/usr/bin/env bash
# Builds and runs every test:
#  - the native x86-64 build, the 32-bit x86 build, and both of them under
#    AddressSanitizer + UndefinedBehaviorSanitizer;
#  - the thread stress and qorn-render's threaded renders under ThreadSanitizer;
#  - both ABIs' test suites under Valgrind memcheck (the 32-bit one only where the
#    kernel runs 32-bit programs: valgrind cannot run under qemu-user);
#  - each fuzzer for QORN_FUZZ_SECONDS (default 60) from its seed corpus;
#  - the noise corpus of both ABIs compared bit for bit.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
jobs=$(nproc)
# Empty where 32-bit programs run natively; otherwise the qemu-user command.
i386_runner=$(scripts/i386_runner.sh)
[ -z "$i386_runner" ] || echo "== note: this kernel cannot run 32-bit programs; the i386 tests run under $i386_runner"

for flavour in x86_64 i386 sanitize i386-sanitize; do
  echo "== $flavour: build"
  scripts/build.sh "$flavour"
  echo "== $flavour: test"
  (cd "build/$flavour" && ctest --output-on-failure -j "$jobs")
done

echo "== tsan: thread stress, and renders on several threads"
scripts/build.sh tsan
(cd build/tsan && ctest --output-on-failure -L 'stress|threads')

memcheck_flavours=(x86_64 i386)
if [ -n "$i386_runner" ]; then
  memcheck_flavours=(x86_64)
  echo "== NOTE: i386 memcheck SKIPPED: valgrind needs a kernel that runs 32-bit programs"
fi
for flavour in "${memcheck_flavours[@]}"; do
  echo "== $flavour: memcheck"
  (cd "build/$flavour" && QORN_STRESS_SECONDS=1 ctest -T memcheck -LE no_memcheck -j "$jobs" \
     --output-on-failure > memcheck.log 2>&1) || {
    tail -40 "build/$flavour/memcheck.log"
    echo "FAIL: memcheck found errors in the $flavour build (logs in build/$flavour/Testing/Temporary)"
    exit 1
  }
  grep -E 'tests passed|Memory checking results' -A3 "build/$flavour/memcheck.log" | head -8
done

echo "== fuzzing"
scripts/fuzz.sh "${QORN_FUZZ_SECONDS:-60}"

echo "== both ABIs: the noise corpus, bit for bit"
build/x86_64/tests/noise_corpus_dump > build/corpus-x86_64.txt
$i386_runner build/i386/tests/noise_corpus_dump > build/corpus-i386.txt
if ! cmp -s build/corpus-x86_64.txt build/corpus-i386.txt; then
  diff build/corpus-x86_64.txt build/corpus-i386.txt | head -20
  echo "FAIL: the 32-bit and 64-bit builds differ"
  exit 1
fi
echo "same bits on both ABIs: $(tail -1 build/corpus-x86_64.txt)"
echo "all tests passed"
