#!/usr/bin/env bash
# Builds everything and runs every test under Wine: one Xvfb and one
# persistent wineserver for the whole run; then, when no ctest arguments were
# given, replays the fuzz targets' kept inputs natively (fuzz/replay.sh).
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
status=0
ctest --output-on-failure -j2 --timeout 600 "$@" || status=$?
if [ $# -eq 0 ]; then
  "$root/fuzz/replay.sh" || status=1
fi
exit $status
