#!/usr/bin/env bash
# Runs the whole test suite N times in a row (default 20) while every core is
# kept busy by a CPU hog, without any retry; stops at the first failed run.
#   tools/soak.sh [runs] [ctest arguments...]
# Builds first, then uses one Xvfb and one wineserver for all runs.
# ALBUMKIT_SOAK_HOG names a command that each core's hog runs first, with the
# core's number (1, 2, ...) as its argument, before it falls back to a busy
# loop; fuzz/campaign.sh fits, so a soak can also be a fuzzing campaign.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build="${ALBUMKIT_BUILD:-$root/build}"
runs="${1:-20}"
[ $# -gt 0 ] && shift
"$root/tools/build.sh"

source "$root/tools/wineenv.sh"
albumkit_wine_env "$build"
albumkit_ensure_prefix
hogs=()
suite=
cleanup() {
  # ctest runs in the background so that a kill of this script reaches it too.
  if [ -n "$suite" ]; then kill "$suite" 2>/dev/null || true; wait "$suite" 2>/dev/null || true; fi
  for pid in "${hogs[@]}"; do kill -- "-$pid" 2>/dev/null || true; done
  "$ALBUMKIT_WINESERVER" -k >/dev/null 2>&1 || true
  albumkit_stop_xvfb
}
trap cleanup EXIT
trap 'exit 130' INT TERM HUP
if [ -z "${DISPLAY:-}" ]; then albumkit_start_xvfb; fi
albumkit_start_session

# One hog per core, at the same priority as the tests, each in its own
# process group so that cleanup ends whatever it started.
hog="${ALBUMKIT_SOAK_HOG:-}"
for core in $(seq "$(nproc)"); do
  setsid bash -c 'if [ -n "$1" ]; then "$1" "$2" || true; fi; while :; do :; done' \
    hog "$hog" "$core" </dev/null &
  hogs+=("$!")
done

cd "$build"
start=$(date +%s)
for run in $(seq "$runs"); do
  ctest -j2 --timeout 600 --output-on-failure "$@" >"$build/soak-run.log" 2>&1 &
  suite=$!
  status=0
  wait "$suite" || status=$?
  suite=
  if [ "$status" -ne 0 ]; then
    tail -40 "$build/soak-run.log"
    echo "soak: run $run of $runs failed after $(( $(date +%s) - start )) s (log: $build/soak-run.log)"
    exit 1
  fi
  echo "soak: run $run of $runs green ($(( $(date +%s) - start )) s so far)"
done
echo "soak: $runs consecutive green runs under a CPU hog on $(nproc) cores, no retries, $(( $(date +%s) - start )) s"
