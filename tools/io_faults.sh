#!/usr/bin/env bash
# Measures how album saves and loads fail: on a full disk (a small tmpfs
# mounted for the run and mapped to a free Wine drive letter), on read-only
# files and folders, on files held by another process and on folders taken
# away during a save. Prints the counts; exit code 0 only when no failure was
# reported as success, no album changed, nothing leaked and no file was left.
#   tools/io_faults.sh [--size KB (of the small drive, default 8192)] [io_faults.exe arguments...]
# Mounting needs root; where it is impossible only the full-disk part is skipped.
set -uo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build="${ALBUMKIT_BUILD:-$root/build}"
size=8192
if [ "${1:-}" = "--size" ]; then
  size=${2:?--size needs a number of KB}
  shift 2
fi
cmake --build "$build" --target io_faults >/dev/null || exit 1
build=$(cd "$build" && pwd)

# shellcheck source=wineenv.sh
source "$root/tools/wineenv.sh"
albumkit_wine_env "$build"
albumkit_ensure_prefix || exit 1

work=$(mktemp -d /tmp/albumkit-iofaults.XXXXXX)
disk="$work/disk"
mkdir "$disk"
link=
cleanup() {
  [ -n "$link" ] && rm -f "$link"
  if mountpoint -q "$disk"; then
    umount "$disk" 2>/dev/null || umount -l "$disk"
  fi
  rm -rf "$work"
}
run=
# The run is a session of its own, so that an interrupt ends Wine and its
# display too before the drive is taken away.
stop() {
  [ -n "$run" ] && kill -TERM -- "-$run" 2>/dev/null && wait "$run" 2>/dev/null
  exit 130
}
trap cleanup EXIT
trap stop INT TERM HUP

args=()
if mount -t tmpfs -o "size=${size}k,mode=0777" albumkit-iofaults "$disk" 2>"$work/mount.err"; then
  # ln fails when the letter is taken, also by a run starting at the same time.
  for letter in t u v w x y s r q p o n; do
    if ln -s "$disk" "$WINEPREFIX/dosdevices/$letter:" 2>/dev/null; then
      link="$WINEPREFIX/dosdevices/$letter:"
      args=(--full-disk "${letter^^}:")
      break
    fi
  done
  [ -n "$link" ] || echo "io faults: no free Wine drive letter: the full-disk part is skipped"
else
  echo "io faults: cannot mount a tmpfs here ($(tr '\n' ' ' <"$work/mount.err")): the full-disk part is skipped"
fi
setsid "$root/tools/winerun.sh" --build="$build" "$build/bin/io_faults.exe" "${args[@]}" "$@" &
run=$!
wait "$run"
