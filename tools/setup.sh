#!/usr/bin/env bash
# Installs everything the build, the tests, the demo and the native fuzz
# targets (fuzz/) need on a Debian 12 machine.
# Safe to run again: it does nothing when every package is already there.
set -euo pipefail

packages=(
  cmake ninja-build nasm pkg-config
  g++-mingw-w64-i686 mingw-w64-i686-dev
  wine wine32:i386 xvfb xauth x11-utils
  imagemagick libvips-tools googletest
  dpkg-dev python3
  clang libclang-rt-14-dev
)

SUDO=""
if [ "$(id -u)" -ne 0 ]; then SUDO="sudo"; fi

# 32-bit Wine needs i386 Linux programs to run: natively, or under user-mode
# emulation where this machine cannot. This comes before any i386 package,
# whose maintainer scripts run i386 programs.
bash "$(dirname "${BASH_SOURCE[0]}")/i386-emulation.sh"

if ! dpkg --print-foreign-architectures | grep -qx i386; then
  $SUDO dpkg --add-architecture i386
  need_update=1
fi

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done

if [ "${#missing[@]}" -gt 0 ] || [ "${need_update:-0}" = 1 ]; then
  export DEBIAN_FRONTEND=noninteractive
  $SUDO apt-get update -q
  if [ "${#missing[@]}" -gt 0 ]; then
    echo "setup: installing ${missing[*]}"
    $SUDO apt-get install -y -q --no-install-recommends "${missing[@]}"
  fi
fi
echo "setup: all build, test and demo packages are present"
