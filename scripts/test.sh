#!/usr/bin/env bash
# One command from a fresh Debian 12 machine to a tested build: installs what is
# missing, checks the formatting, builds everything, runs the whole test suite, then
# runs each filter fuzzer for a short bounded time.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh --tests
scripts/check-format.sh
UMBRAVIA_BUILD_DIR=build-test scripts/build.sh -DUMBRAVIA_TESTS=ON
(cd build-test && ctest --output-on-failure -j "$(nproc)" --timeout 300)
scripts/fuzz.sh "${UMBRAVIA_FUZZ_SECONDS:-20}"
