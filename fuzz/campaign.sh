#!/usr/bin/env bash
# A long fuzzing campaign: runs fuzz targets for a fixed number of executions
# each (default 10^8) and appends what each run did to $out/campaign.log.
#   fuzz/campaign.sh [slot [slots]]
# With a slot, runs only the targets dealt to it when the targets are dealt
# round-robin over `slots` (default: the number of cores), so one call per core
# shares the targets out (tools/soak.sh calls it this way through
# ALBUMKIT_SOAK_HOG). ALBUMKIT_FUZZ_RUNS sets the executions per target.
# Exits non-zero when a target found a fault; its input is in
# $out/artifacts/NAME/.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
out="${ALBUMKIT_FUZZ_BUILD:-$root/build/fuzz}"
runs="${ALBUMKIT_FUZZ_RUNS:-100000000}"
slot="${1:-0}"
slots="${2:-$(nproc)}"
source "$root/fuzz/targets.sh"

mine=()
for i in "${!FUZZ_TARGETS[@]}"; do
  if [ "$slot" -eq 0 ] || [ $(( i % slots + 1 )) -eq "$slot" ]; then
    mine+=("${FUZZ_TARGETS[$i]}")
  fi
done
[ "${#mine[@]}" -gt 0 ] || exit 0
# Two slots may start together: let the first build while the other waits.
mkdir -p "$out"
exec 9>"$out/.build.lock"
flock 9 "$root/fuzz/build.sh" "${mine[@]}"

status=0
for name in "${mine[@]}"; do
  work="$out/corpus/$name"
  artifacts="$out/artifacts/$name/"
  log="$out/logs/$name-$(date -u +%Y%m%dT%H%M%S).log"
  mkdir -p "$work" "$artifacts" "$out/logs"
  command=("$out/${name}_fuzz" -runs="$runs" -print_final_stats=1
           -artifact_prefix="$artifacts" "$work" "$root/fuzz/corpus/$name")
  started=$(date +%s)
  result=clean
  "${command[@]}" >"$log" 2>&1 || { result=FAULT; status=1; }
  executed=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -1)
  printf '%s %s executions=%s seconds=%s result=%s log=%s\n' \
    "$(date -u +%Y-%m-%dT%H:%M:%SZ)" "$name" "${executed:-?}" \
    "$(( $(date +%s) - started ))" "$result" "$log" >>"$out/campaign.log"
done
exit $status
