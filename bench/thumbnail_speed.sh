#!/usr/bin/env bash
# Thumbnail speed against vipsthumbnail on the same 4000x3000 JPEGs in the same run.
#   bench/thumbnail_speed.sh [count]
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build="${ALBUMKIT_BUILD:-$root/build}"
count=${1:-6}
work="$build/bench-thumbs"
mkdir -p "$work/out"

for i in $(seq 1 "$count"); do
  f="$work/photo$i.jpg"
  [ -f "$f" ] || convert -seed "$i" -size 4000x3000 plasma:fractal -blur 0x2 \
    \( +clone -seed "$((i + 100))" +noise Gaussian -colorspace gray \) -compose overlay -composite \
    -quality 90 "$f"
done
files=("$work"/photo*.jpg)
files=("${files[@]:0:$count}")

"$root/tools/build.sh" >/dev/null

# vipsthumbnail: one process for all files, best of three.
best_vips=""
for round in 1 2 3; do
  start=$(date +%s%N)
  vipsthumbnail --size 100x80 -o "$work/out/%s_vips.jpg" "${files[@]}"
  ms=$(( ($(date +%s%N) - start) / 1000000 ))
  if [ -z "$best_vips" ] || [ "$ms" -lt "$best_vips" ]; then best_vips=$ms; fi
done
vips_per_file=$(awk -v t="$best_vips" -v n="$count" 'BEGIN { printf "%.1f", t / n }')

win_files=()
for f in "${files[@]}"; do win_files+=("Z:$(printf %s "$f" | tr / '\\')"); done
ours=$("$root/tools/winerun.sh" --build="$build" "$build/bin/bench_thumbnail_speed.exe" "${win_files[@]}")
echo "$ours"
ours_per_file=$(printf '%s\n' "$ours" | sed -n 's/^CreateThumbnailFromFile: \([0-9.]*\) ms per file.*/\1/p')
echo "vipsthumbnail: $vips_per_file ms per file over $count files"
source "$root/tools/wineenv.sh"
emulation=$(albumkit_i386_emulation)
note=""
if [ -n "$emulation" ]; then
  note=" (ours ran under $emulation, vipsthumbnail natively: not a fair comparison here; measure on a machine that runs 32-bit code natively)"
fi
awk -v a="$ours_per_file" -v b="$vips_per_file" -v note="$note" 'BEGIN { printf "ratio ours / vipsthumbnail: %.2f%s\n", a / b, note }'
