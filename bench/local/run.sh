#!/usr/bin/env bash
# Prints local.clean10k_ms (median time of a full cleaning run, every switch on, over a
# generated profile of 10,000 files in nested folders plus 200 URL-cache entries) and
# local.remove_all10k_ms (baseline: std::filesystem::remove_all of the same files).
set -euo pipefail
build="${UMBRAVIA_BUILD:?UMBRAVIA_BUILD must name the build folder}"
"$build/bench/local_bench"
