#!/usr/bin/env bash
# Prints filters.read_us (baseline: one registry value read), filters.request_us,
# filters.request_trusted_us (a trusted site: the cookie store is read too),
# filters.response_us (16 KiB full of the rules' own words) and
# filters.response_proxy_page_us (16 KiB of the page bench/proxy serves), medians over
# repeated calls of the real module (3000 each; FILTERS_BENCH_RUNS sets another count).
set -euo pipefail
build="${UMBRAVIA_BUILD:?UMBRAVIA_BUILD must name the build folder}"
"$build/bench/filters_bench" "$build/bin"
