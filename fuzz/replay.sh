#!/usr/bin/env bash
# Replays every kept input of every fuzz target once (no fuzzing): the seeds
# and what campaigns kept in fuzz/corpus/NAME/, and the inputs that once found
# a fault in fuzz/regressions/NAME/. Seconds; tools/test.sh runs it.
#   fuzz/replay.sh
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
out="${ALBUMKIT_FUZZ_BUILD:-$root/build/fuzz}"
source "$root/fuzz/targets.sh"
"$root/fuzz/build.sh" >/dev/null

status=0
for name in "${FUZZ_TARGETS[@]}"; do
  dirs=()
  for d in "$root/fuzz/corpus/$name" "$root/fuzz/regressions/$name"; do
    [ -d "$d" ] && dirs+=("$d")
  done
  count=$(find "${dirs[@]}" -type f | wc -l)
  log="$out/replay-$name.log"
  # -runs=0 executes the given corpora once each and stops before mutating.
  if "$out/${name}_fuzz" -runs=0 "${dirs[@]}" >"$log" 2>&1; then
    echo "fuzz replay: $name: $count inputs, no fault"
  else
    tail -30 "$log"
    echo "fuzz replay: $name: FAILED (log: $log)" >&2
    status=1
  fi
done
exit $status
