#!/usr/bin/env bash
# Times `lumora-cli generate` against `wc -w` on the same generated page, as a ratio.
#   bench/compare_wc.sh [MEGABYTES] [VOCABULARY] [unix|utf8]
set -euo pipefail
cd "$(dirname "$0")/.."
mb=${1:-16}
vocabulary=${2:-5000}
mode=${3:-}
bash scripts/build.sh build-bench -DLUMORA_BUILD_BENCH=ON -DLUMORA_BUILD_TESTS=OFF -DLUMORA_BUILD_GUI=OFF \
  -DCMAKE_BUILD_TYPE=Release
page=$(mktemp --suffix=.htm)
trap 'rm -f "$page"' EXIT
build-bench/bin/lumora_make_page $((mb << 20)) "$vocabulary" $mode > "$page"

best() {  # fastest of three runs, in seconds
  local best=""
  for _ in 1 2 3; do
    local start end t
    start=$(date +%s.%N)
    "$@" > /dev/null 2>&1
    end=$(date +%s.%N)
    t=$(awk -v a="$start" -v b="$end" 'BEGIN { print b - a }')
    if [ -z "$best" ] || awk -v t="$t" -v b="$best" 'BEGIN { exit !(t < b) }'; then best=$t; fi
  done
  echo "$best"
}

lumora=$(best build-bench/bin/lumora-cli generate "$page")
wc=$(best wc -w "$page")
printf 'page: %s MB, vocabulary %s %s\n' "$mb" "$vocabulary" "$mode"
printf 'lumora-cli generate: %.3f s (%.1f MB/s)\n' "$lumora" "$(awk -v m="$mb" -v t="$lumora" 'BEGIN { print m / t }')"
printf 'wc -w:               %.3f s\n' "$wc"
printf 'ratio lumora / wc:   %.1f\n' "$(awk -v a="$lumora" -v b="$wc" 'BEGIN { print a / b }')"
