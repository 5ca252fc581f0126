#!/usr/bin/env bash
# Prints how to start a 32-bit x86 program on this machine: nothing when the kernel runs
# them itself, a qemu-i386 command when it cannot (some virtual machines have no 32-bit
# mode), and fails when neither works. Builds and tests of the i386 flavours use it.
# Under qemu-user, LeakSanitizer cannot stop the process's threads and hangs at exit, so
# it is switched off there (the x86-64 sanitizer build and memcheck still look for leaks).
set -euo pipefail
probe=$(mktemp -d)
trap 'rm -rf "$probe"' EXIT
printf 'int main(void) { return 0; }\n' > "$probe/probe.c"
gcc -m32 "$probe/probe.c" -o "$probe/probe" 2>"$probe/log" || {
  cat "$probe/log" >&2
  echo "qorn: cannot build 32-bit x86 programs (g++-multilib missing?)" >&2
  exit 1
}
if "$probe/probe" 2>/dev/null; then exit 0; fi
if command -v qemu-i386 >/dev/null && qemu-i386 "$probe/probe"; then
  echo "env ASAN_OPTIONS=detect_leaks=0 qemu-i386"
  exit 0
fi
echo "qorn: this kernel cannot run 32-bit x86 programs, and qemu-i386 (Debian's qemu-user) is missing" >&2
exit 1
