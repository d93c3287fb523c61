#!/usr/bin/env bash
# Builds everything and runs the demo host under Wine.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build="${ALBUMKIT_BUILD:-$root/build}"
"$root/tools/build.sh"
out="$build/demo"
mkdir -p "$out"
# Wine sees the Linux file system as drive Z:.
win_out="Z:$(printf %s "$out" | tr / '\\')"
"$root/tools/winerun.sh" --build="$build" "$build/bin/albumhost.exe" "$win_out" "$@"
