#!/usr/bin/env bash
# Prints chain.build1_ms (baseline: one hop, no tunnel) and chain.build2_ms (two hops,
# one CONNECT tunnel), medians over repeated builds through local tinyproxy instances.
set -euo pipefail
build="${UMBRAVIA_BUILD:?UMBRAVIA_BUILD must name the build folder}"
"$build/bench/chain_bench" "$build/bin"
