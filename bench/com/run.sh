#!/usr/bin/env bash
# Prints com.vtable_call_ns, com.invoke_ns and com.create_us (medians), measured in a
# temporary prefix.
set -euo pipefail
build="${UMBRAVIA_BUILD:?UMBRAVIA_BUILD must name the build folder}"
"$build/bench/com_bench"
