#!/usr/bin/env bash
# Builds the Exif reader's fuzz target natively with clang, libFuzzer,
# AddressSanitizer and UndefinedBehaviorSanitizer, and the seed generator.
# Usage: fuzz/build_exif.sh <output folder>
# Then:  <output folder>/exif_fuzz -max_total_time=300 <work corpus> fuzz/corpus/exif
# Seeds: <output folder>/make_exif_seeds fuzz/corpus/exif
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
out="${1:?usage: $0 <output folder>}"
mkdir -p "$out"
cxx="${CXX:-clang++}"
common=(-std=c++17 -g -O1 -Wall -Wextra -I"$root" -I"$root/include")

"$cxx" "${common[@]}" -fsanitize=fuzzer,address,undefined -fno-sanitize-recover=undefined \
  "$root/fuzz/exif_fuzz.cpp" "$root/model/ExifReader.cpp" "$root/platform/Text.cpp" \
  -o "$out/exif_fuzz"
"$cxx" "${common[@]}" "$root/fuzz/make_exif_seeds.cpp" -o "$out/make_exif_seeds"
echo "build_exif: $out/exif_fuzz and $out/make_exif_seeds"
