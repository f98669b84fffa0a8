#!/usr/bin/env bash
# scripts/fuzz.sh [SECONDS]: builds the libFuzzer targets with clang (UMBRAVIA_FUZZ=ON,
# address and undefined-behaviour sanitizers) in their own build folder and runs each
# for SECONDS (default 60). A crash, a leak, a sanitizer report or a broken length
# check stops with a non-zero exit and leaves the reproducer in the build folder. The
# differential fuzzer also stops when the filters and their rule-by-rule references
# disagree on a chunk. The rules' words (filters/fuzz/filters.dict) lead the mutations
# to headers and page elements the rules act on.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
seconds="${1:-60}"
build="${UMBRAVIA_FUZZ_BUILD:-$root/build-fuzz}"
fuzzers=(filters_RequestFuzzer filters_ResponseFuzzer filters_DifferentialFuzzer)

cmake -S "$root" -B "$build" -G Ninja -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ \
  -DCMAKE_BUILD_TYPE=RelWithDebInfo -DUMBRAVIA_FUZZ=ON -DUMBRAVIA_TESTS=OFF >/dev/null
cmake --build "$build" --target "${fuzzers[@]}"

for fuzzer in "${fuzzers[@]}"; do
  corpus="$build/fuzz/corpus-$fuzzer"
  mkdir -p "$corpus"
  echo "fuzz: $fuzzer for ${seconds}s"
  (cd "$build/fuzz" && "./$fuzzer" -max_total_time="$seconds" -max_len=16384 -timeout=10 \
    -rss_limit_mb=2048 -print_final_stats=1 -dict="$root/filters/fuzz/filters.dict" \
    "$corpus" "$root/filters/fuzz/seeds")
done
