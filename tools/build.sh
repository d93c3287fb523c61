#!/usr/bin/env bash
# Configures and builds everything into build/ (DLLs and EXEs in build/bin/).
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build="${ALBUMKIT_BUILD:-$root/build}"
# A compiler cache, when one is installed, makes rebuilds in other checkouts
# of the project cheap: paths inside the checkout are hashed relative to it.
launcher=()
if command -v ccache >/dev/null; then
  export CCACHE_BASEDIR="${CCACHE_BASEDIR:-$root}"
  launcher=(-DCMAKE_C_COMPILER_LAUNCHER=ccache -DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
fi
if [ ! -f "$build/build.ninja" ]; then
  cmake -S "$root" -B "$build" -G Ninja \
    -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-i686.cmake" \
    -DCMAKE_BUILD_TYPE=Release "${launcher[@]}"
fi
cmake --build "$build"
