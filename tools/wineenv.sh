# Shared by the Wine wrapper and the test and demo scripts (sourced).

albumkit_wine_env() {
  local build=$1
  ALBUMKIT_BUILD_DIR=$build
  export WINEPREFIX="$build/wineprefix"
  export WINEARCH=win32
  export WINEDEBUG="${WINEDEBUG:--all}"
  export WINEDLLOVERRIDES="mscoree,mshtml="
  ALBUMKIT_WINE=$(command -v wine || command -v wine-stable || echo /usr/lib/wine/wine)
  ALBUMKIT_WINESERVER=$(command -v wineserver || command -v wineserver-stable || echo /usr/lib/wine/wineserver)
  export ALBUMKIT_WINE ALBUMKIT_WINESERVER
  ALBUMKIT_I386_EMULATION=$(albumkit_i386_emulation)
  export ALBUMKIT_I386_EMULATION
}

# Names the emulator that runs i386 programs on this machine ("qemu-i386
# version 10.0.13 (binfmt_misc entry qemu-i386)"), or nothing when they run
# natively. Benchmarks print it: absolute times of emulated 32-bit code are
# not comparable with native peers (ratios between sizes still are).
albumkit_i386_emulation() {
  local f interpreter version
  for f in /proc/sys/fs/binfmt_misc/*; do
    [ -f "$f" ] || continue
    head -n1 "$f" 2>/dev/null | grep -qx enabled || continue
    grep -q '^magic 7f454c46010101000000000000000000020003' "$f" || continue
    interpreter=$(sed -n 's/^interpreter //p' "$f")
    version=$("$interpreter" --version 2>/dev/null | head -n1 | sed 's/ (.*//')
    echo "${version:-$interpreter} (binfmt_misc entry $(basename "$f"))"
    return 0
  done
}

# Creates the prefix once (serialised with a lock, since tests run in
# parallel): no Mono or Gecko prompts, and unmanaged windows, because without
# a window manager Wine waits about 2 s whenever a managed window goes away.
albumkit_ensure_prefix() {
  [ -f "$WINEPREFIX/.albumkit-ready" ] && return 0
  mkdir -p "$(dirname "$WINEPREFIX")"
  (
    flock 9
    if [ ! -f "$WINEPREFIX/.albumkit-ready" ]; then
      echo "winerun: creating the Wine prefix in $WINEPREFIX" >&2
      DISPLAY= "$ALBUMKIT_WINE" wineboot -i >/dev/null 2>&1
      DISPLAY= "$ALBUMKIT_WINE" reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f >/dev/null 2>&1
      DISPLAY= "$ALBUMKIT_WINE" reg add 'HKCU\Software\Wine\X11 Driver' /v Decorated /d N /f >/dev/null 2>&1
      "$ALBUMKIT_WINESERVER" -w
      touch "$WINEPREFIX/.albumkit-ready"
    fi
  ) 9>"$WINEPREFIX.lock"
}

# Starts Xvfb on a free display and exports DISPLAY. Xvfb picks the display
# itself (-displayfd), so that scripts starting at the same moment never
# share one.
albumkit_start_xvfb() {
  local number_file i
  number_file=$(mktemp)
  Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp 3>"$number_file" >/dev/null 2>&1 &
  ALBUMKIT_XVFB_PID=$!
  for i in $(seq 1 100); do
    if [ -s "$number_file" ] && [ -e "/tmp/.X11-unix/X$(tr -dc 0-9 <"$number_file")" ]; then
      export DISPLAY=":$(tr -dc 0-9 <"$number_file")"
      rm -f "$number_file"
      return 0
    fi
    kill -0 "$ALBUMKIT_XVFB_PID" 2>/dev/null || break
    sleep 0.1
  done
  rm -f "$number_file"
  echo "winerun: could not start Xvfb" >&2
  return 1
}

albumkit_stop_xvfb() {
  if [ -n "${ALBUMKIT_XVFB_PID:-}" ]; then
    kill "$ALBUMKIT_XVFB_PID" 2>/dev/null
    wait "$ALBUMKIT_XVFB_PID" 2>/dev/null
    ALBUMKIT_XVFB_PID=
  fi
}

# Starts the prefix's background services (winedevice, services.exe) with
# their output going nowhere: started from a test instead, they would inherit
# the test runner's output pipes and keep it waiting after the test ends.
albumkit_start_session() {
  "$ALBUMKIT_WINESERVER" -p </dev/null >/dev/null 2>&1
  "$ALBUMKIT_WINE" wineboot </dev/null >/dev/null 2>&1 || true
  # Without a user process between two test programs, Wine closes the
  # desktop: the keeper stays until the wineserver is ended.
  local keeper="$ALBUMKIT_BUILD_DIR/bin/desktop_keeper.exe"
  if [ -f "$keeper" ]; then
    "$ALBUMKIT_WINE" "$keeper" </dev/null >/dev/null 2>&1 &
  fi
}
