#!/usr/bin/env bash
# Puts Umbravia into the desktop's application menu: a desktop entry that starts the
# built Umbravia.exe, and the suite's icon in the user's icon theme, both under
# ${XDG_DATA_HOME:-~/.local/share}. Nothing outside that folder is touched.
#
# Usage: scripts/install-desktop.sh [--bin FOLDER] [--remove]
#   --bin FOLDER  the folder holding Umbravia.exe and res/ (default: build/bin)
#   --remove      takes the entry and the icon out again (the uninstall helper does the same)
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
bin="$root/build/bin"
remove=0
while [ $# -gt 0 ]; do
  case "$1" in
    --bin)
      [ $# -ge 2 ] || { echo "install-desktop.sh: --bin needs a folder" >&2; exit 2; }
      bin="$2"
      shift 2
      ;;
    --remove) remove=1; shift ;;
    -h|--help) sed -n '2,9p' "$0" | sed 's/^# \{0,1\}//'; exit 0 ;;
    *) echo "install-desktop.sh: unknown argument '$1' (see --help)" >&2; exit 2 ;;
  esac
done

data="${XDG_DATA_HOME:-}"
if [ -z "$data" ]; then
  [ -n "${HOME:-}" ] || { echo "install-desktop.sh: neither XDG_DATA_HOME nor HOME is set" >&2; exit 1; }
  data="$HOME/.local/share"
fi
case "$data" in
  /*) ;;
  *) echo "install-desktop.sh: XDG_DATA_HOME must be an absolute path ('$data')" >&2; exit 1 ;;
esac
entry="$data/applications/umbravia.desktop"
icons="$data/icons/hicolor"
icon_name="umbravia.png"

# Lets the menu see a change at once where the desktop keeps caches; harmless elsewhere.
refresh_caches() {
  if command -v update-desktop-database >/dev/null 2>&1; then
    update-desktop-database -q "$data/applications" 2>/dev/null || true
  fi
  if command -v gtk-update-icon-cache >/dev/null 2>&1 && [ -f "$icons/index.theme" ]; then
    gtk-update-icon-cache -q -t "$icons" 2>/dev/null || true
  fi
}

if [ "$remove" = 1 ]; then
  rm -f "$entry"
  if [ -d "$icons" ]; then
    for size in "$icons"/*/; do
      rm -f "${size}apps/$icon_name"
    done
  fi
  [ -d "$data/applications" ] && refresh_caches
  echo "Umbravia's menu entry and icon are removed from $data"
  exit 0
fi

case "$bin" in /*) ;; *) bin="$PWD/$bin" ;; esac
program="$bin/Umbravia.exe"
if [ ! -x "$program" ] || [ ! -d "$bin/res/icons/hicolor" ]; then
  echo "install-desktop.sh: no built Umbravia in $bin (Umbravia.exe and res/icons):" \
       "build it first with scripts/build.sh, or name the folder with --bin" >&2
  exit 1
fi
program="$(cd "$bin" && pwd -P)/Umbravia.exe"

# An Exec argument is quoted; inside the quotes ", `, $ and \ take a backslash, and the
# value as a whole doubles every backslash and every % (the entry's own escapes).
quoted="$program"
quoted="${quoted//\\/\\\\}"
quoted="${quoted//\"/\\\"}"
quoted="${quoted//\`/\\\`}"
quoted="${quoted//\$/\\\$}"
quoted="${quoted//\\/\\\\}"
quoted="${quoted//%/%%}"
# TryExec takes the path itself, with only the value's backslash escape.
tryexec="${program//\\/\\\\}"

mkdir -p "$data/applications"
# Written beside the entry and renamed over it, so that a menu never reads half an entry.
tmp="$(mktemp "$data/applications/.umbravia.desktop.XXXXXX")"
trap 'rm -f "$tmp"' EXIT
cat >"$tmp" <<EOF
[Desktop Entry]
Type=Application
Version=1.4
Name=Umbravia
GenericName=Privacy Proxy
Comment=Local HTTP proxy that filters what your browser sends and receives
Keywords=proxy;privacy;filter;anonymity;
Exec="$quoted"
TryExec=$tryexec
Icon=umbravia
Terminal=false
Categories=Network;
StartupNotify=false
EOF
chmod 644 "$tmp"
mv -f "$tmp" "$entry"
trap - EXIT

mkdir -p "$icons"
(cd "$bin/res/icons/hicolor" && find . -name "$icon_name" -type f) | while read -r icon; do
  mkdir -p "$icons/$(dirname "$icon")"
  cp -f "$bin/res/icons/hicolor/$icon" "$icons/$icon"
done
refresh_caches
echo "Umbravia is in the application menu: $entry (starts $program)"
