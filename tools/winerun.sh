#!/usr/bin/env bash
# Runs a Windows program under Wine in the project's 32-bit prefix.
#   tools/winerun.sh [--build=DIR] program.exe [arguments...]
# The prefix lives in DIR/wineprefix (DIR defaults to build/ beside tools/).
# Without a DISPLAY a private Xvfb is started for this one run.
set -uo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
build="${ALBUMKIT_BUILD:-$here/../build}"
case "${1:-}" in
  --build=*) build="${1#--build=}"; shift ;;
esac
mkdir -p "$build"
build=$(cd "$build" && pwd)

# shellcheck source=wineenv.sh
source "$here/wineenv.sh"
albumkit_wine_env "$build"
albumkit_ensure_prefix || exit 1

if [ -z "${DISPLAY:-}" ]; then
  albumkit_start_xvfb || exit 1
  "$ALBUMKIT_WINE" "$@"
  status=$?
  # The prefix's helper processes hold the private display: end them first.
  "$ALBUMKIT_WINESERVER" -k >/dev/null 2>&1
  albumkit_stop_xvfb
  exit $status
fi
exec "$ALBUMKIT_WINE" "$@"
