#!/usr/bin/env bash
# Runs six album operations failing at every allocation in turn and prints
# the runs, clean failures, successes, leaks and albums changed.
#   tools/alloc_faults.sh [items, default 36] [refreshed, default 2] [incoming, default 12]
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build="${ALBUMKIT_BUILD:-$root/build}"
cmake --build "$build" --target alloc_faults >/dev/null
exec "$root/tools/winerun.sh" "$build/bin/alloc_faults.exe" "$@"
