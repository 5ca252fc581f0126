#!/usr/bin/env bash
# Installs the Debian packages the build, the tests and the demo need, when missing.
# Runs apt-get as root; otherwise prints the command to run.
set -euo pipefail

packages=(
  cmake make g++ g++-multilib
  googletest libgtest-dev libbenchmark-dev
  libnoise-dev
  valgrind
)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

if [ "$(id -u)" -ne 0 ]; then
  echo "qorn: missing Debian packages; as root run:" >&2
  echo "  apt-get update && apt-get install -y ${missing[*]}" >&2
  exit 1
fi
echo "qorn: installing ${missing[*]}" >&2
export DEBIAN_FRONTEND=noninteractive
apt-get update -qq
apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
