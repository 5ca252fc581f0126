#!/usr/bin/env bash
# Installs the Debian packages the build, the tests and the demo need, when missing.
# Runs apt-get as root; otherwise prints the command to run.
set -euo pipefail

packages=(
  cmake make g++ g++-multilib python3
  googletest libgtest-dev libbenchmark-dev
  libnoise-dev
  libembree-dev libpng-dev libopenexr-dev libcli11-dev
  valgrind libc6-dbg:i386
  qemu-user
  clang-14 libclang-rt-14-dev
)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

# 32-bit packages (valgrind needs the 32-bit C library's symbols) come from the i386
# architecture.
need_i386=0
dpkg --print-foreign-architectures | grep -qx i386 || need_i386=1

if [ "$(id -u)" -ne 0 ]; then
  echo "qorn: missing Debian packages; as root run:" >&2
  [ $need_i386 -eq 1 ] && echo "  dpkg --add-architecture i386" >&2
  echo "  apt-get update && apt-get install -y ${missing[*]}" >&2
  exit 1
fi
echo "qorn: installing ${missing[*]}" >&2
export DEBIAN_FRONTEND=noninteractive
[ $need_i386 -eq 1 ] && dpkg --add-architecture i386
apt-get update -qq
apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
