#!/usr/bin/env bash
# One command from a fresh Debian 12 machine to a running Umbravia: installs what is
# missing, builds, starts the program (with a window when a display exists, headless
# otherwise). Stop it with Ctrl+C.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
UMBRAVIA_BUILD_DIR=build scripts/build.sh -DUMBRAVIA_TESTS=OFF
if [ -x "build/bin/Umbravia.exe" ]; then
  exec "build/bin/Umbravia.exe" "$@"
fi
echo "Umbravia.exe is not built yet in this version; the tools in build/bin are:" >&2
ls build/bin >&2
exit 1
