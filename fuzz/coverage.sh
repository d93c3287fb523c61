#!/usr/bin/env bash
# Line and branch coverage of a fuzz target's sources over its corpus (the
# committed seeds plus what run.sh collected): shows which checks the fuzzer
# has not reached yet.
#   fuzz/coverage.sh NAME
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
out="${ALBUMKIT_FUZZ_BUILD:-$root/build/fuzz}"
name=${1:?usage: fuzz/coverage.sh NAME}
source "$root/fuzz/targets.sh"
sources_var="fuzz_sources_${name}[@]"
includes_var="fuzz_includes_${name}[@]"
sources=()
for s in "${!sources_var}"; do sources+=("$root/$s"); done
includes=()
for d in "${!includes_var}"; do includes+=(-I "$root/$d"); done

mkdir -p "$out/coverage" "$out/corpus/$name"
binary="$out/coverage/${name}_fuzz"
clang++ -std=c++17 -g -O0 -fsanitize=fuzzer -fprofile-instr-generate -fcoverage-mapping \
  "${includes[@]}" "$root/fuzz/${name}_fuzz.cpp" "${sources[@]}" -o "$binary"
LLVM_PROFILE_FILE="$out/coverage/$name.profraw" "$binary" -runs=0 \
  "$out/corpus/$name" "$root/fuzz/corpus/$name" >/dev/null 2>&1
llvm-profdata merge -sparse "$out/coverage/$name.profraw" -o "$out/coverage/$name.profdata"
llvm-cov report "$binary" -instr-profile="$out/coverage/$name.profdata" "${sources[@]}"
llvm-cov show "$binary" -instr-profile="$out/coverage/$name.profdata" "${sources[@]}" \
  -show-line-counts-or-regions > "$out/coverage/$name.txt"
echo "fuzz: annotated sources in $out/coverage/$name.txt"
