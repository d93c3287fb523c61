#!/usr/bin/env bash
# Kills a process that saves an album at random moments and checks, after
# each kill, that the album and its backup load whole.
#   tools/kill_during_save.sh [kills, default 200] [seed, default from the clock] [items, default 300]
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build="${ALBUMKIT_BUILD:-$root/build}"
cmake --build "$build" --target kill_during_save >/dev/null
exec "$root/tools/winerun.sh" "$build/bin/kill_during_save.exe" "$@"
