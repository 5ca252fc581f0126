#!/usr/bin/env bash
# Configures and builds one flavour into build/NAME.
# Usage: scripts/build.sh x86_64|i386|sanitize|i386-sanitize|tsan [extra cmake args...]
set -euo pipefail
cd "$(dirname "$0")/.."
flavour=$1
shift
case "$flavour" in
  x86_64) args=() ;;
  i386) args=(-DCMAKE_TOOLCHAIN_FILE=cmake/toolchain-i386.cmake) ;;
  sanitize) args=(-DQORN_SANITIZE=ON -DQORN_BUILD_BENCH=OFF) ;;
  i386-sanitize) args=(-DCMAKE_TOOLCHAIN_FILE=cmake/toolchain-i386.cmake -DQORN_SANITIZE=ON -DQORN_BUILD_BENCH=OFF) ;;
  tsan) args=(-DQORN_TSAN=ON -DQORN_BUILD_BENCH=OFF) ;;
  *) echo "usage: $0 x86_64|i386|sanitize|i386-sanitize|tsan" >&2; exit 2 ;;
esac
# Where the kernel cannot run 32-bit programs, the tests run them under qemu-user.
case "$flavour" in
  i386*)
    runner=$(scripts/i386_runner.sh)
    [ -z "$runner" ] || args+=("-DCMAKE_CROSSCOMPILING_EMULATOR=${runner// /;}")
    ;;
esac
cmake -S . -B "build/$flavour" -DQORN_WERROR=ON -DQORN_BUILD_TESTS=ON "${args[@]}" "$@" >/dev/null
cmake --build "build/$flavour" -j "$(nproc)"
