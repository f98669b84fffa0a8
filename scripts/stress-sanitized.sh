#!/usr/bin/env bash
# scripts/stress-sanitized.sh: the stress harness (bench/stress) against an
# AddressSanitizer and UndefinedBehaviorSanitizer build of Umbravia.exe and its modules,
# built with -DUMBRAVIA_SANITIZE=address in its own folder (build-asan, or
# UMBRAVIA_ASAN_BUILD). Every report of the host counts as a FAIL line; the exit status
# is non-zero when there was one. Leak reports are off: the libraries the host loads
# (Qt, fontconfig) keep one-time allocations until the process ends. The resident-memory
# check is off: the sanitizer's quarantine keeps freed memory resident on purpose.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="${UMBRAVIA_ASAN_BUILD:-$root/build-asan}"
cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DUMBRAVIA_TESTS=ON \
  -DUMBRAVIA_SANITIZE=address >/dev/null
cmake --build "$build" --target host_program filters_module chain_module local_module \
  listfetch_module iesettings_module shdocvw_standin umbravia_ctl regedit_tool regsvr32_tool \
  stress_bench >/dev/null
export ASAN_OPTIONS="detect_leaks=0:halt_on_error=0:abort_on_error=0"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=0"
export STRESS_NO_RSS_CHECK=1
UMBRAVIA_BUILD="$build" "$root/bench/stress/run.sh"
