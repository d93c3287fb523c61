#!/usr/bin/env bash
# Builds everything and runs every test under Wine: one Xvfb and one
# persistent wineserver for the whole run.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build="${ALBUMKIT_BUILD:-$root/build}"
"$root/tools/build.sh"

source "$root/tools/wineenv.sh"
albumkit_wine_env "$build"
albumkit_ensure_prefix
cleanup() {
  "$ALBUMKIT_WINESERVER" -k >/dev/null 2>&1 || true
  albumkit_stop_xvfb
}
trap cleanup EXIT
if [ -z "${DISPLAY:-}" ]; then albumkit_start_xvfb; fi
albumkit_start_session

cd "$build"
ctest --output-on-failure -j2 --timeout 600 "$@"
