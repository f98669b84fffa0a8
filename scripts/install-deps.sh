#!/usr/bin/env bash
# Installs the Debian 12 packages Umbravia needs to build, run and test. Safe to rerun.
set -euo pipefail
SUDO=""
if [ "$(id -u)" -ne 0 ]; then SUDO="sudo"; fi
packages=(
  build-essential cmake ninja-build pkg-config git
  qt6-base-dev qt6-svg-dev libgl-dev libsqlite3-dev libffi-dev libcurl4-openssl-dev
  libglib2.0-dev
  libgtest-dev libgmock-dev libbenchmark-dev
  clang clang-format curl xdg-utils
)
if [ "${1:-}" = "--tests" ]; then
  # Real peers for the tests: upstream proxies and an origin server; ss (iproute2)
  # reads the listen backlog; the GNOME proxy schemas and the gsettings tool, and the
  # desktop entry checker, for the desktop integration's tests; headless Chromium, the
  # real client that follows the GNOME proxy settings.
  packages+=(tinyproxy libclang-rt-14-dev iproute2 gsettings-desktop-schemas libglib2.0-bin
             desktop-file-utils chromium)
fi
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  $SUDO apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
# Debian starts some servers as system services when they are installed; the tests run
# their own instances on loopback ports, so stop the system ones.
for svc in tinyproxy privoxy nginx; do
  if command -v systemctl >/dev/null 2>&1; then $SUDO systemctl stop "$svc" 2>/dev/null || true; fi
  if command -v service >/dev/null 2>&1; then $SUDO service "$svc" stop >/dev/null 2>&1 || true; fi
done
