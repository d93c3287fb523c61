#!/usr/bin/env bash
# Builds the fuzz targets natively with clang, libFuzzer, AddressSanitizer and
# UndefinedBehaviorSanitizer (never with the mingw toolchain).
#   fuzz/build.sh            every target of targets.sh
#   fuzz/build.sh NAME...    only those
# Binaries go to $ALBUMKIT_FUZZ_BUILD (default build/fuzz beside the sources).
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
out="${ALBUMKIT_FUZZ_BUILD:-$root/build/fuzz}"
source "$root/fuzz/targets.sh"
cxx="${CXX_FUZZ:-clang++}"
mkdir -p "$out"

flags=(-std=c++17 -g -O1 -fno-omit-frame-pointer -fsanitize=fuzzer,address,undefined
       -fno-sanitize-recover=undefined -Wall -Wextra)

targets=("$@")
[ "${#targets[@]}" -gt 0 ] || targets=("${FUZZ_TARGETS[@]}")
for name in "${targets[@]}"; do
  sources_var="fuzz_sources_${name}[@]"
  includes_var="fuzz_includes_${name}[@]"
  sources=()
  for s in "${!sources_var}"; do sources+=("$root/$s"); done
  includes=()
  for d in "${!includes_var}"; do includes+=(-I "$root/$d"); done
  echo "fuzz: building ${name}_fuzz"
  "$cxx" "${flags[@]}" "${includes[@]}" "$root/fuzz/${name}_fuzz.cpp" "${sources[@]}" \
    -o "$out/${name}_fuzz"
done
