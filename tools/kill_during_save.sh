#!/usr/bin/env bash
# Kills a process that saves an album at random moments and checks, after
# each kill, that the album and its backup load whole. --add kills it while
# it adds files with AddToAlbum, --manager while an album manager saves.
#   tools/kill_during_save.sh [--add | --manager] [kills, default 200] [seed, default from the clock]
#                             [items, default 300; not with --add]
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build="${ALBUMKIT_BUILD:-$root/build}"
cmake --build "$build" --target kill_during_save >/dev/null
exec "$root/tools/winerun.sh" "$build/bin/kill_during_save.exe" "$@"
