#!/usr/bin/env bash
# Prints registry.read_ns, registry.write_us and the baseline registry.sqlite_point_ns
# (medians), measured in a temporary prefix.
set -euo pipefail
build="${UMBRAVIA_BUILD:?UMBRAVIA_BUILD must name the build folder}"
"$build/bench/registry_bench"
