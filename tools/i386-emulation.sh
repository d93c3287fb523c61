#!/usr/bin/env bash
# Makes sure this machine can run i386 Linux programs (32-bit Wine needs it).
#
# Where the processor and kernel run 32-bit code natively, nothing is done.
# Where they do not (the kernel says "Exec format error"), the static
# qemu-i386 of Debian 13 (trixie) is fetched with an apt state of its own,
# kept in $ALBUMKIT_QEMU_DIR, and registered through binfmt_misc for i386
# ELF programs with the F flag, so it also serves chroots and containers.
# Must run before any i386 package is installed: their maintainer scripts
# run i386 programs.
#
# Safe to run again: a second run only checks, and takes well under a second.
# Exit status 0 when i386 programs run afterwards.
set -euo pipefail

qemu_dir="${ALBUMKIT_QEMU_DIR:-/var/lib/albumkit/qemu}"
entry_name="qemu-i386"
binfmt=/proc/sys/fs/binfmt_misc
want_version="10."

say() { echo "i386-emulation: $*"; }
fail() { echo "i386-emulation: error: $*" >&2; exit 1; }

SUDO=""
if [ "$(id -u)" -ne 0 ]; then SUDO="sudo"; fi

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# A complete i386 Linux program in 92 bytes: an ELF header, one loadable
# segment, and "mov eax,1; mov ebx,7; int 0x80" (exit with status 7).
probe="$work/probe-i386"
printf '\x7fELF\x01\x01\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00' >"$probe"
printf '\x02\x00\x03\x00\x01\x00\x00\x00\x54\x80\x04\x08\x34\x00\x00\x00' >>"$probe"
printf '\x00\x00\x00\x00\x00\x00\x00\x00\x34\x00\x20\x00\x01\x00\x00\x00' >>"$probe"
printf '\x00\x00\x00\x00\x01\x00\x00\x00\x00\x00\x00\x00\x00\x80\x04\x08' >>"$probe"
printf '\x00\x80\x04\x08\x60\x00\x00\x00\x60\x00\x00\x00\x05\x00\x00\x00' >>"$probe"
printf '\x00\x10\x00\x00\xb8\x01\x00\x00\x00\xbb\x07\x00\x00\x00\xcd\x80' >>"$probe"
chmod +x "$probe"

runs_i386() {
  local status=0
  "$probe" 2>/dev/null || status=$?
  [ "$status" -eq 7 ]
}

entry_enabled() {
  [ -f "$binfmt/$entry_name" ] && head -n1 "$binfmt/$entry_name" | grep -qx enabled
}

remove_entry() {
  if [ -f "$binfmt/$entry_name" ]; then
    echo -1 | $SUDO tee "$binfmt/$entry_name" >/dev/null ||
      fail "could not remove the old binfmt_misc entry $entry_name"
  fi
}

qemu="$qemu_dir/qemu-i386"

mount_binfmt() {
  if [ ! -f "$binfmt/register" ]; then
    $SUDO mount -t binfmt_misc binfmt_misc "$binfmt" 2>/dev/null ||
      fail "binfmt_misc is not mounted at $binfmt and could not be mounted (needs root and a kernel with binfmt_misc)"
  fi
}

# Another enabled binfmt_misc entry that takes i386 ELF programs, if any.
other_i386_entry() {
  local f
  for f in "$binfmt"/*; do
    [ -f "$f" ] || continue
    case "$(basename "$f")" in register|status|"$entry_name") continue ;; esac
    head -n1 "$f" | grep -qx enabled || continue
    grep -q '^magic 7f454c46010101000000000000000000020003' "$f" && { basename "$f"; return 0; }
  done
  return 1
}

# An entry of our name from an earlier run: keep it when its interpreter is
# ours and works. Any other entry of that name is put aside while we find
# out whether the machine runs i386 programs natively.
put_aside=""
if [ -d "$binfmt" ] && [ -f "$binfmt/$entry_name" ]; then
  if entry_enabled && grep -qx "interpreter $qemu" "$binfmt/$entry_name" && runs_i386; then
    say "i386 programs run under $("$qemu" --version | head -n1)"
    exit 0
  fi
  if entry_enabled; then
    echo 0 | $SUDO tee "$binfmt/$entry_name" >/dev/null || fail "could not disable the binfmt_misc entry $entry_name"
    put_aside=1
  fi
fi

if runs_i386; then
  if [ -n "$put_aside" ]; then
    # Leave the machine as it was.
    echo 1 | $SUDO tee "$binfmt/$entry_name" >/dev/null || true
    say "this machine runs i386 programs natively (its own binfmt_misc entry $entry_name is left as it was)"
  elif other=$(other_i386_entry); then
    say "i386 programs run through this machine's binfmt_misc entry $other"
  else
    say "this machine runs i386 programs natively"
  fi
  exit 0
fi
if [ -f "$binfmt/$entry_name" ]; then
  say "replacing the stale binfmt_misc entry $entry_name"
  remove_entry
fi
say "this machine does not run i386 programs natively: setting up user-mode emulation"

# The Debian mirror this machine already uses (deb822 sources or the
# one-line format), so that no host name is written down here.
mirror_uri() {
  local f uri
  for f in /etc/apt/sources.list.d/*.sources; do
    [ -f "$f" ] || continue
    # The stanza whose suites name the release itself, not its security suite.
    uri=$(awk '
      BEGIN { RS=""; FS="\n" }
      {
        u=""; s=""
        for (i = 1; i <= NF; i++) {
          if ($i ~ /^URIs:/) { u=$i; sub(/^URIs:[ \t]*/, "", u); sub(/[ \t].*/, "", u) }
          if ($i ~ /^Suites:/) { s=$i }
        }
        if (u != "" && s ~ /(bookworm|trixie|stable)([ \t]|$)/ && s !~ /security/) { print u; exit }
      }' "$f")
    if [ -n "$uri" ]; then echo "$uri"; return 0; fi
  done
  for f in /etc/apt/sources.list /etc/apt/sources.list.d/*.list; do
    [ -f "$f" ] || continue
    uri=$(awk '$1 == "deb" && $0 !~ /security/ {
                 for (i = 2; i <= NF; i++) if ($i !~ /^\[/ && $i !~ /\]$/) { print $i; exit }
               }' "$f" | head -n1)
    if [ -n "$uri" ]; then echo "$uri"; return 0; fi
  done
  return 1
}

if [ ! -x "$qemu" ] || ! "$qemu" --version 2>/dev/null | grep -q "version $want_version"; then
  uri=$(mirror_uri) || fail "no Debian mirror found in /etc/apt/sources.list or /etc/apt/sources.list.d"
  keyring=/usr/share/keyrings/debian-archive-keyring.gpg
  [ -f "$keyring" ] || fail "$keyring is missing (package debian-archive-keyring)"
  say "fetching qemu-user from the trixie suite of $uri"

  # A private apt state: the machine's own sources, lists and cache never
  # see the trixie suite.
  apt_state="$work/apt"
  mkdir -p "$apt_state/lists/partial" "$apt_state/cache/archives/partial" \
    "$apt_state/parts" "$apt_state/prefs"
  echo "deb [signed-by=$keyring] $uri trixie main" >"$apt_state/sources.list"
  apt_opts=(
    -o "Dir::Etc::SourceList=$apt_state/sources.list"
    -o "Dir::Etc::SourceParts=$apt_state/parts"
    -o "Dir::Etc::PreferencesParts=$apt_state/prefs"
    -o "Dir::State::Lists=$apt_state/lists"
    -o "Dir::State::Status=/dev/null"
    -o "Dir::Cache=$apt_state/cache"
    -o "Dir::Cache::pkgcache="
    -o "Dir::Cache::srcpkgcache="
    -o "APT::Architecture=amd64"
    -o "APT::Architectures::=amd64"
    -o "Debug::NoLocking=1"
    -o "APT::Sandbox::User=root"
  )
  [ "$(uname -m)" = x86_64 ] || fail "emulation is set up for x86_64 machines only (this is $(uname -m))"
  if ! apt-get "${apt_opts[@]}" -q update >"$work/update.log" 2>&1; then
    cat "$work/update.log" >&2
    fail "could not read the trixie package lists from $uri"
  fi
  if ! (cd "$work" && apt-get "${apt_opts[@]}" -q download qemu-user:amd64) >"$work/download.log" 2>&1; then
    cat "$work/download.log" >&2
    fail "could not download the trixie qemu-user package"
  fi
  deb=$(ls "$work"/qemu-user_*_amd64.deb 2>/dev/null | head -n1)
  [ -n "$deb" ] || fail "the trixie qemu-user package was not downloaded"
  dpkg-deb -x "$deb" "$work/unpacked" || fail "could not unpack $(basename "$deb")"
  found=""
  for candidate in "$work/unpacked/usr/bin/qemu-i386" "$work/unpacked/usr/bin/qemu-i386-static" \
                   "$work/unpacked/usr/libexec/qemu-binfmt/i386-binfmt-P"; do
    if [ -f "$candidate" ] && [ ! -L "$candidate" ]; then found=$candidate; break; fi
  done
  [ -n "$found" ] || fail "$(basename "$deb") holds no qemu-i386 program"
  $SUDO mkdir -p "$qemu_dir"
  $SUDO install -m 0755 "$found" "$qemu.new"
  $SUDO mv -f "$qemu.new" "$qemu"
  "$qemu" --version | grep -q "version $want_version" ||
    fail "$qemu is not qemu $want_version* ($("$qemu" --version | head -n1))"
fi

mount_binfmt
# i386 ELF executables and shared objects (e_type 2 or 3, e_machine 3).
magic='\x7fELF\x01\x01\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00\x02\x00\x03\x00'
mask='\xff\xff\xff\xff\xff\xfe\xfe\x00\xff\xff\xff\xff\xff\xff\xff\xff\xfe\xff\xff\xff'
echo ":$entry_name:M::$magic:$mask:$qemu:F" | $SUDO tee "$binfmt/register" >/dev/null ||
  fail "could not register $qemu with binfmt_misc"

runs_i386 || fail "i386 programs still do not run after registering $qemu"
say "i386 programs run under $("$qemu" --version | head -n1)"
