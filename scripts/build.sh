#!/usr/bin/env bash
# Configures and builds into ./build (or $UMBRAVIA_BUILD_DIR). Extra arguments go to cmake.
set -euo pipefail
cd "$(dirname "$0")/.."
build="${UMBRAVIA_BUILD_DIR:-build}"
cmake -S . -B "$build" -G Ninja "$@" >/dev/null
cmake --build "$build"
