#!/usr/bin/env bash
# A long fuzzing campaign that can be stopped and resumed: runs each fuzz
# target in runs of at most 10^7 executions until the executions of all its
# runs so far add up to the goal (default 10^8), keeping one log per run in
# $out/logs/. A stopped run counts what it printed in its final statistics.
#   fuzz/campaign.sh [slot [slots]]   run (the targets dealt to one slot)
#   fuzz/campaign.sh --report         each target's executions so far
# With a slot, only the targets dealt to it when the targets are dealt
# round-robin over `slots` (default: the number of cores), so that one call
# per core shares them out (tools/soak.sh can call it this way through
# ALBUMKIT_SOAK_HOG). ALBUMKIT_FUZZ_RUNS sets the goal per target. Exits
# non-zero when a target found a fault; its input is in $out/artifacts/NAME/.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
out="${ALBUMKIT_FUZZ_BUILD:-$root/build/fuzz}"
goal="${ALBUMKIT_FUZZ_RUNS:-100000000}"
chunk=10000000
source "$root/fuzz/targets.sh"
mkdir -p "$out/logs"

executed() {
  local total=0 log n
  for log in "$out/logs/$1"-*.log; do
    [ -e "$log" ] || continue
    n=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -1)
    total=$(( total + ${n:-0} ))
  done
  echo "$total"
}

faulty() {
  grep -l -E "^==[0-9]+==ERROR|deadly signal|runtime error:|^artifact_prefix.*Test unit written" \
    "$out/logs/$1"-*.log 2>/dev/null | head -1
}

if [ "${1:-}" = "--report" ]; then
  for name in "${FUZZ_TARGETS[@]}"; do
    runs=$(ls "$out/logs/$name"-*.log 2>/dev/null | wc -l)
    fault=$(faulty "$name" || true)
    printf '%s: %s executions in %s runs, %s\n' "$name" "$(executed "$name")" "$runs" \
      "${fault:+FAULT in $fault}${fault:-no fault}"
  done
  exit 0
fi

slot="${1:-0}"
slots="${2:-$(nproc)}"
mine=()
for i in "${!FUZZ_TARGETS[@]}"; do
  if [ "$slot" -eq 0 ] || [ $(( i % slots + 1 )) -eq "$slot" ]; then
    mine+=("${FUZZ_TARGETS[$i]}")
  fi
done
[ "${#mine[@]}" -gt 0 ] || exit 0
# Two slots may start together: one builds while the other waits.
flock "$out/.build.lock" "$root/fuzz/build.sh" "${mine[@]}"

status=0
for name in "${mine[@]}"; do
  work="$out/corpus/$name"
  artifacts="$out/artifacts/$name/"
  mkdir -p "$work" "$artifacts"
  while :; do
    done_so_far=$(executed "$name")
    [ "$done_so_far" -lt "$goal" ] || break
    left=$(( goal - done_so_far ))
    log="$out/logs/$name-$(date -u +%Y%m%dT%H%M%S).log"
    if ! "$out/${name}_fuzz" -runs=$(( left < chunk ? left : chunk )) -print_final_stats=1 \
         -artifact_prefix="$artifacts" "$work" "$root/fuzz/corpus/$name" >"$log" 2>&1; then
      echo "fuzz campaign: ${name}_fuzz found a fault: $log, inputs in $artifacts" >&2
      status=1
      break
    fi
  done
  printf '%s %s: %s executions so far\n' "$(date -u +%Y-%m-%dT%H:%M:%SZ)" "$name" \
    "$(executed "$name")" >>"$out/campaign.log"
done
exit $status
