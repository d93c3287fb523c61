#!/usr/bin/env bash
# Downloads and unpacks Debian's libjpeg-turbo source package into DEST.
# Uses a private apt state (source lists made from the machine's own binary
# lists), so the machine's apt configuration is left as it is.
set -euo pipefail
dest=${1:?usage: fetch-libjpeg-turbo.sh DEST}
mkdir -p "$dest"
dest=$(cd "$dest" && pwd)
if ls -d "$dest"/libjpeg-turbo-*/ >/dev/null 2>&1; then
  exit 0
fi

state="$dest/apt"
mkdir -p "$state/lists/partial" "$state/cache/archives/partial" "$state/sources.list.d"
: > "$state/sources.list"
if [ -f /etc/apt/sources.list ]; then
  sed -n 's/^[[:space:]]*deb[[:space:]]/deb-src /p' /etc/apt/sources.list > "$state/sources.list"
fi
for f in /etc/apt/sources.list.d/*.sources; do
  [ -e "$f" ] || continue
  sed 's/^Types:.*/Types: deb-src/' "$f" > "$state/sources.list.d/$(basename "$f")"
done
for f in /etc/apt/sources.list.d/*.list; do
  [ -e "$f" ] || continue
  sed -n 's/^[[:space:]]*deb[[:space:]]/deb-src /p' "$f" > "$state/sources.list.d/$(basename "$f")"
done

apt_opts=(
  -o "Dir::Etc::SourceList=$state/sources.list"
  -o "Dir::Etc::SourceParts=$state/sources.list.d"
  -o "Dir::State::Lists=$state/lists"
  -o "Dir::Cache=$state/cache"
  -o "Debug::NoLocking=1"
  -q
)
apt-get "${apt_opts[@]}" update >/dev/null
cd "$dest"
apt-get "${apt_opts[@]}" source libjpeg-turbo
ls -d "$dest"/libjpeg-turbo-*/ >/dev/null
