#!/usr/bin/env bash
# Times `lumora-cli generate` as a whole process against `wc -w` on the same generated pages
# and prints every speed figure we hold ourselves to, in one run:
#   - 16 MB pages with CR LF, with LF and with UTF-8 words (accented Latin, Cyrillic, Greek);
#   - a 4 MB LF page, for the linearity ratio (16 MB must cost at most 4.2 x 4 MB);
#   - a 5 MB page with 100,000 distinct words;
#   - peak memory (maximum resident set) against the page's size.
# Each figure is the median of RUNS runs (default 5); the machine may be shared, so ratios
# to `wc -w` on the same file mean more than seconds.
#   bench/compare_wc.sh            (RUNS=9 bench/compare_wc.sh for steadier medians)
set -euo pipefail
cd "$(dirname "$0")/.."
runs=${RUNS:-5}
if [ ! -x /usr/bin/time ]; then
  echo "/usr/bin/time is needed for peak memory: run scripts/setup.sh" >&2
  exit 1
fi
bash scripts/build.sh build-bench -DLUMORA_BUILD_BENCH=ON -DLUMORA_BUILD_TESTS=OFF -DLUMORA_BUILD_GUI=OFF \
  -DCMAKE_BUILD_TYPE=Release
cli=build-bench/bin/lumora-cli
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# name  megabytes  vocabulary  shape
pages=(
  "16MB-CRLF 16 5000 -"
  "16MB-LF 16 5000 unix"
  "16MB-UTF-8 16 5000 utf8"
  "4MB-LF 4 5000 unix"
  "5MB-100k-words 5 100000 -"
)
for shape_line in "${pages[@]}"; do
  read -r name mb vocabulary shape <<<"$shape_line"
  [ "$shape" = "-" ] && shape=""
  # shellcheck disable=SC2086
  build-bench/bin/lumora_make_page $((mb << 20)) "$vocabulary" $shape >"$work/$name.htm"
done

median() { sort -g | awk '{ v[NR] = $1 } END { print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }

# Runs "$@" $runs times; sets $seconds (median wall-clock time) and $peak (median maximum
# resident set, in KiB).
measure() {
  local times=() peaks=()
  for _ in $(seq "$runs"); do
    local start end
    start=$(date +%s.%N)
    /usr/bin/time -f %M -o "$work/rss" "$@" >/dev/null 2>&1
    end=$(date +%s.%N)
    times+=("$(awk -v a="$start" -v b="$end" 'BEGIN { print b - a }')")
    peaks+=("$(tail -n 1 "$work/rss")")
  done
  seconds=$(printf '%s\n' "${times[@]}" | median)
  peak=$(printf '%s\n' "${peaks[@]}" | median)
}

echo "median of $runs runs; load average before: $(cut -d' ' -f1-3 /proc/loadavg)"
printf '%-16s %9s %9s %9s %7s %10s %12s\n' page "lumora s" "MB/s" "wc -w s" "x wc" "peak MiB" "peak / page"
declare -A took
for shape_line in "${pages[@]}"; do
  read -r name mb _ _ <<<"$shape_line"
  page="$work/$name.htm"
  bytes=$(stat -c %s "$page")
  measure "$cli" generate "$page"
  lumora=$seconds
  lumora_peak=$peak
  measure wc -w "$page"
  took[$name]=$lumora
  awk -v n="$name" -v l="$lumora" -v w="$seconds" -v b="$bytes" -v p="$lumora_peak" 'BEGIN {
    printf "%-16s %9.3f %9.1f %9.3f %7.2f %10.1f %12.2f\n",
      n, l, b / 1048576 / l, w, l / w, p / 1024, p * 1024 / b }'
done
awk -v a="${took[16MB-LF]}" -v b="${took[4MB-LF]}" \
  'BEGIN { printf "linearity: 16 MB LF costs %.2f x the 4 MB LF page (at most 4.2)\n", a / b }'
echo "load average after: $(cut -d' ' -f1-3 /proc/loadavg)"
