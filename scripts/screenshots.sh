#!/usr/bin/env bash
# Renders every page and dialog of the host and of the settings wizard offscreen to PNG
# files for review.
# Usage: scripts/screenshots.sh [OUTPUT_FOLDER]   (default: build/screenshots)
# BUILD_DIR selects the build folder (default: build).
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="${BUILD_DIR:-$root/build}"
# A relative BUILD_DIR names a folder under the current one; the tool changes its folder.
case "$build" in /*) ;; *) build="$PWD/$build" ;; esac
out="${1:-$build/screenshots}"
case "$out" in /*) ;; *) out="$PWD/$out" ;; esac
if [ ! -f "$build/build.ninja" ] && [ ! -f "$build/Makefile" ]; then
  cmake -S "$root" -B "$build" -G Ninja
fi
cmake --build "$build" --target umbravia_screenshots host_ui_artwork host_ui_help \
  umbravia_wizard_screenshots wizard_ui_artwork
# The plug-in modules whose pages the main window shows; one that cannot be built yet
# only leaves its pages out of the pictures.
for module in listfetch_module chain_module local_module filters_module iesettings_module; do
  cmake --build "$build" --target "$module" >/dev/null 2>&1 || echo "note: $module not built"
done
prefix="$(mktemp -d)"
trap 'rm -rf "$prefix"' EXIT
mkdir -p "$out"
UMBRAVIA_PREFIX="$prefix" QT_QPA_PLATFORM=offscreen \
  "$build/tools/umbravia_screenshots" "$out" "$build/bin"
UMBRAVIA_PREFIX="$prefix" QT_QPA_PLATFORM=offscreen \
  "$build/tools/umbravia_wizard_screenshots" "$out" "$build/bin"
echo "screenshots in $out"
