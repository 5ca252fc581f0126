#!/usr/bin/env bash
# Builds and runs every test: the native x86-64 build, the 32-bit x86 build, and the
# native build under AddressSanitizer + UndefinedBehaviorSanitizer; then checks that
# both ABIs produce the same noise corpus bit for bit.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh

for flavour in x86_64 i386 sanitize; do
  echo "== $flavour: build"
  scripts/build.sh "$flavour"
  echo "== $flavour: test"
  (cd "build/$flavour" && ctest --output-on-failure -j "$(nproc)")
done

echo "== both ABIs: the noise corpus, bit for bit"
build/x86_64/tests/noise_corpus_dump > build/corpus-x86_64.txt
build/i386/tests/noise_corpus_dump > build/corpus-i386.txt
if ! cmp -s build/corpus-x86_64.txt build/corpus-i386.txt; then
  diff build/corpus-x86_64.txt build/corpus-i386.txt | head -20
  echo "FAIL: the 32-bit and 64-bit builds differ"
  exit 1
fi
echo "same bits on both ABIs: $(tail -1 build/corpus-x86_64.txt)"
echo "all tests passed"
