#!/usr/bin/env bash
# Builds the fuzz target with clang and runs it for the given number of seconds (default
# 60), starting from the example pages and the seeds in fuzz/corpus (UTF-8, UTF-16,
# damaged UTF-8 and single-byte pages, each after its eight option bytes).
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-60}
bash scripts/setup.sh
bash scripts/build.sh build-fuzz -DCMAKE_CXX_COMPILER=clang++ -DLUMORA_BUILD_FUZZ=ON \
  -DLUMORA_BUILD_TESTS=OFF -DLUMORA_BUILD_GUI=OFF -DLUMORA_SANITIZE=ON -DCMAKE_BUILD_TYPE=Debug
corpus=build-fuzz/corpus
mkdir -p "$corpus"
for f in examples/*.htm; do
  # Eight option bytes, then the page.
  { printf '\x0b\x00\x35\x28\x16\x2a\x0a\x32'; cat "$f"; } > "$corpus/$(basename "$f")"
done
cp fuzz/corpus/* "$corpus/"
# Two thirds of the time for the whole pass, the rest for the head scanner and the splice
# that insert relies on.
build-fuzz/bin/pass_fuzzer -max_total_time=$((seconds * 2 / 3)) -max_len=65536 -timeout=10 \
  -rss_limit_mb=2048 -print_final_stats=1 "$corpus"
head_corpus=build-fuzz/head_corpus
mkdir -p "$head_corpus"
cp examples/*.htm "$head_corpus/"
build-fuzz/bin/head_scan_fuzzer -max_total_time=$((seconds - seconds * 2 / 3)) -max_len=65536 \
  -timeout=10 -rss_limit_mb=2048 -print_final_stats=1 "$head_corpus"
