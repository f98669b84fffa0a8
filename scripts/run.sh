#!/usr/bin/env bash
# One command from a fresh Debian 12 machine to a running Umbravia: installs what is
# missing, builds, and starts build/bin/Umbravia.exe with a window when a display exists,
# headless otherwise (the proxy answers on its port either way). Extra arguments go to
# the program ("+Tray" starts it in the notification area).
# Stop it with Ctrl+C, "build/bin/umbravia-ctl exit", or the tray menu's "Close Umbravia".
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
UMBRAVIA_BUILD_DIR=build scripts/build.sh -DUMBRAVIA_TESTS=OFF
if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
  echo "No display: Umbravia runs headless. Questions are answered on standard error" \
       "with their default button (UMBRAVIA_MESSAGEBOX_ANSWER=yes|no|ok|cancel to choose)." >&2
  echo "On a first start answer No (UMBRAVIA_MESSAGEBOX_ANSWER=no): the settings wizard it" \
       "offers cannot be used without a display, and Umbravia would wait for it." >&2
fi
echo "Starting Umbravia; the proxy listens on 127.0.0.1, port PROXYPORT (8080 unless set)." >&2
echo "Stop it with Ctrl+C or: build/bin/umbravia-ctl exit" >&2
# An absolute program path: the install folder (and with it the modules' paths) comes
# from it.
exec "$(pwd)/build/bin/Umbravia.exe" "$@"
