#!/usr/bin/env bash
# Regenerates the committed seed corpora with the project's own encoders
# (native builds): album files from the album store's encoder, and JPEGs with
# Exif blocks in both byte orders.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
out="${ALBUMKIT_FUZZ_BUILD:-$root/build/fuzz}"
cxx="${CXX_FUZZ:-clang++}"
mkdir -p "$out" "$root/fuzz/corpus/abm" "$root/fuzz/corpus/exif"
"$cxx" -std=c++17 -O1 -Wall -Wextra -I "$root/components/albumstore" \
  "$root/fuzz/make_abm_seeds.cpp" "$root/components/albumstore/AbmCodec.cpp" -o "$out/make_abm_seeds"
"$out/make_abm_seeds" "$root/fuzz/corpus/abm"
"$cxx" -std=c++17 -O1 -Wall -Wextra -I "$root" -I "$root/include" \
  "$root/fuzz/make_exif_seeds.cpp" -o "$out/make_exif_seeds"
"$out/make_exif_seeds" "$root/fuzz/corpus/exif"
