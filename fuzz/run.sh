#!/usr/bin/env bash
# Builds every fuzz target and runs each for a bounded time.
#   fuzz/run.sh [seconds per target, default 60]
# New inputs go to a working corpus in the build folder, so the committed seeds
# stay as they are; crash inputs go to $out/artifacts/NAME/. Exits non-zero when
# a target found a crash.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
out="${ALBUMKIT_FUZZ_BUILD:-$root/build/fuzz}"
seconds="${1:-60}"
source "$root/fuzz/targets.sh"
"$root/fuzz/build.sh"

status=0
for name in "${FUZZ_TARGETS[@]}"; do
  work="$out/corpus/$name"
  artifacts="$out/artifacts/$name/"
  mkdir -p "$work" "$artifacts"
  echo "fuzz: running ${name}_fuzz for ${seconds} s"
  if ! "$out/${name}_fuzz" -max_total_time="$seconds" -print_final_stats=1 \
       -artifact_prefix="$artifacts" "$work" "$root/fuzz/corpus/$name"; then
    echo "fuzz: ${name}_fuzz FAILED; inputs in $artifacts" >&2
    status=1
  fi
done
exit $status
