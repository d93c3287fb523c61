#!/usr/bin/env bash
# Thumbnail resampling quality and speed: reduces 4000x3000 photographic-like
# pictures to 80x60 with ProcessResample and compares each result (PSNR) with
# ImageMagick's -resize, beside a nearest-neighbour reduction and GDI's
# HALFTONE stretch.
#   bench/resample_quality.sh [runs]
# Pictures and results stay in the build folder's bench-resample/.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build="${ALBUMKIT_BUILD:-$root/build}"
runs="${1:-15}"

if [ ! -f "$build/build.ninja" ]; then "$root/tools/build.sh"; fi
cmake --build "$build" --target resample_quality >/dev/null

out="$build/bench-resample"
mkdir -p "$out"

# "soft": a fractal plasma, softened, with fine grain on top: smooth areas for
# the filter to keep and detail finer than a thumbnail pixel to average.
# "edges": the same with hard-edged shapes, thin lines and bars about one
# thumbnail pixel apart, where filters differ most.
make_picture() {
  local name=$1 file="$out/$1.bmp"
  [ -f "$file" ] && return 0
  local shapes=()
  if [ "$name" = edges ]; then
    local bars="" x
    for x in $(seq 300 37 1100); do bars="$bars rectangle $x,1900 $((x + 18)),2800"; done
    shapes=(-fill '#f0e8d0' -draw 'circle 1200,900 1500,1300'
            -fill '#202840' -draw 'rectangle 2500,400 3300,1100'
            -fill '#e0c040' -draw "$bars"
            -stroke '#ffffff' -strokewidth 9 -draw 'line 100,2900 3900,1800'
            -stroke '#101010' -strokewidth 3 -draw 'line 200,200 3800,2600' -stroke none)
  fi
  convert -seed 7 -size 4000x3000 plasma:fractal -blur 0x1 "${shapes[@]}" \
    -seed 7 -attenuate 0.6 +noise Gaussian \
    -type TrueColor -define bmp:format=bmp3 "BMP3:$file"
}

win() { printf 'Z:%s' "$1" | tr / '\\'; }
psnr() { compare -metric PSNR "$1" "$2" null: 2>&1 || true; }

for name in soft edges; do
  make_picture "$name"
  convert "$out/$name.bmp" -resize '80x60!' "$out/$name-reference.png"
  echo "== $name picture"
  "$root/tools/winerun.sh" --build="$build" "$build/bin/resample_quality.exe" \
    "$(win "$out/$name.bmp")" "$(win "$out/$name-result.bmp")" "$(win "$out/$name-nearest.bmp")" \
    "$(win "$out/$name-halftone.bmp")" 80 60 "$runs"
  echo "PSNR against ImageMagick -resize 80x60! (target for ProcessResample: 35 dB or more):"
  echo "  ProcessResample            $(psnr "$out/$name-result.bmp" "$out/$name-reference.png") dB"
  echo "  nearest neighbour          $(psnr "$out/$name-nearest.bmp" "$out/$name-reference.png") dB"
  echo "  GDI StretchDIBits HALFTONE $(psnr "$out/$name-halftone.bmp" "$out/$name-reference.png") dB"
done
