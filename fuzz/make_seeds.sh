#!/usr/bin/env bash
# Regenerates the committed seed corpus with the encoder itself (native build).
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
out="${ALBUMKIT_FUZZ_BUILD:-$root/build/fuzz}"
mkdir -p "$out" "$root/fuzz/corpus/abm"
"${CXX_FUZZ:-clang++}" -std=c++17 -O1 -Wall -Wextra -I "$root/components/albumstore" \
  "$root/fuzz/make_abm_seeds.cpp" "$root/components/albumstore/AbmCodec.cpp" -o "$out/make_abm_seeds"
"$out/make_abm_seeds" "$root/fuzz/corpus/abm"
