#!/usr/bin/env bash
# Times a whole site in one call against one call per page, 1 worker against 2, and
# --site-common 50 against a plain run.
#   bench/site_bench.sh [PAGES] [BYTES]
# Prints the ratios; run it on a quiet machine.
set -euo pipefail
cd "$(dirname "$0")/.."
pages=${1:-2000}
bytes=${2:-20000}
bash scripts/build.sh build-bench -DLUMORA_BUILD_BENCH=ON \
  -DLUMORA_BUILD_TESTS=OFF -DLUMORA_BUILD_GUI=OFF -DCMAKE_BUILD_TYPE=Release
site=$(mktemp -d)
trap 'rm -rf "$site"' EXIT
build-bench/bin/lumora_make_site "$site" "$pages" "$bytes"
cli=build-bench/bin/lumora-cli

best() {  # fastest of three runs, in seconds
  local best=""
  for _ in 1 2 3; do
    local start end t
    start=$(date +%s.%N)
    "$@" > /dev/null 2>&1 || true
    end=$(date +%s.%N)
    t=$(awk -v a="$start" -v b="$end" 'BEGIN { print b - a }')
    if [ -z "$best" ] || awk -v t="$t" -v b="$best" 'BEGIN { exit !(t < b) }'; then best=$t; fi
  done
  echo "$best"
}

seconds() {  # wall time of one run
  local start end
  start=$(date +%s.%N)
  "$@" > /dev/null 2>&1 || true
  end=$(date +%s.%N)
  awk -v a="$start" -v b="$end" 'BEGIN { print b - a }'
}

paired_ratio() {  # A/B over five pairs run in turn, the median: the load drifts alike for both
  local ratios=() a b
  for _ in 1 2 3 4 5; do
    a=$(seconds "${cmd_a[@]}")
    b=$(seconds "${cmd_b[@]}")
    ratios+=("$(awk -v a="$a" -v b="$b" 'BEGIN { print a / b }')")
  done
  printf '%s\n' "${ratios[@]}" | sort -g | sed -n 3p
}

one_per_page() {
  find "$site" -name '*.htm' | sort | while read -r page; do "$cli" generate "$page"; done
}

all_j1=$(best "$cli" generate -q -r -j 1 "$site")
all_j2=$(best "$cli" generate -q -r -j 2 "$site")
each=$(best one_per_page)
common=$(best "$cli" generate -q -r -j 2 --site-common 50 "$site")
cmd_a=("$cli" generate -q -r -j 2 --site-common 50 "$site")
cmd_b=("$cli" generate -q -r -j 2 "$site")
common_ratio=$(paired_ratio)
printf 'site: %s pages of %s bytes, %s cores\n' "$pages" "$bytes" "$(nproc)"
printf '%-36s %8.2f s\n' "one call per page" "$each" "one call, -j 2" "$all_j2" \
  "one call, -j 1" "$all_j1" "one call, -j 2, --site-common 50" "$common"
awk -v e="$each" -v a="$all_j2" -v one="$all_j1" -v c="$common_ratio" 'BEGIN {
  printf "one call vs one call per page: %.1fx faster\n", e / a
  printf "-j 2 vs -j 1:                  %.2fx faster\n", one / a
  printf "--site-common 50 vs without:   %.2fx the time (median of 5 pairs run in turn)\n", c }'
