#!/usr/bin/env bash
# Times the Dask runner on a cluster of 2 local workers against lumora-cli list --json -r -j 2
# on the same generated pages, both in one Release build.
#   bench/dask_bench.sh [PAGES] [BYTES]
# Prints both times, the ratio and the runner's cost per page beyond the CLI's; the cluster is
# started once before the runs, as a cluster is, and its start-up is told apart.
set -euo pipefail
cd "$(dirname "$0")/.."
pages=${1:-2000}
bytes=${2:-20000}
bash scripts/build.sh build-bench -DLUMORA_BUILD_BENCH=ON \
  -DLUMORA_BUILD_TESTS=OFF -DLUMORA_BUILD_GUI=OFF -DCMAKE_BUILD_TYPE=Release
python=/usr/bin/python3
export PYTHONPATH="$PWD/build-bench/python${PYTHONPATH:+:$PYTHONPATH}"
work=$(mktemp -d)
pids=()
cleanup() {
  for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
  wait 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT
build-bench/bin/lumora_make_site "$work/site" "$pages" "$bytes"
cli=build-bench/bin/lumora-cli

port=$($python -c 'import socket; s = socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])')
address=tcp://127.0.0.1:$port
start=$(date +%s.%N)
dask scheduler --host 127.0.0.1 --port "$port" \
  --dashboard-address :0 > "$work/scheduler.log" 2>&1 &
pids+=($!)
for _ in 1 2; do
  dask worker "$address" --nworkers 1 --nthreads 1 \
    --no-dashboard > "$work/worker.log" 2>&1 &
  pids+=($!)
done
$python -c "from distributed import Client; Client('$address', timeout=300).wait_for_workers(2, timeout=300)"
ready=$(date +%s.%N)

seconds() {  # wall time of one run; its JSON kept to compare
  local start end
  start=$(date +%s.%N)
  "$@" > "$work/out.jsonl" 2> /dev/null || true
  end=$(date +%s.%N)
  awk -v a="$start" -v b="$end" 'BEGIN { print b - a }'
}

best() {  # fastest of three runs
  local best="" t
  for _ in 1 2 3; do
    t=$(seconds "$@")
    if [ -z "$best" ] || awk -v t="$t" -v b="$best" 'BEGIN { exit !(t < b) }'; then best=$t; fi
  done
  echo "$best"
}

cli_time=$(best "$cli" list --json -r -j 2 "$work/site")
cp "$work/out.jsonl" "$work/cli.jsonl"
dask_time=$(best $python -m lumora.dask --scheduler "$address" -r "$work/site")
cmp -s "$work/out.jsonl" "$work/cli.jsonl" || { echo "the runner's output differs from the CLI's" >&2; exit 1; }

printf 'site: %s pages of %s bytes, %s cores\n' "$pages" "$bytes" "$(nproc)"
awk -v c="$cli_time" -v d="$dask_time" -v n="$pages" -v s="$start" -v r="$ready" 'BEGIN {
  printf "cluster start-up (scheduler, 2 workers):   %8.2f s\n", r - s
  printf "lumora-cli list --json -r -j 2:            %8.2f s\n", c
  printf "python3 -m lumora.dask, 2 workers:         %8.2f s\n", d
  printf "runner vs CLI:                             %8.2fx the time\n", d / c
  printf "runner per page, beyond the CLI:           %8.3f ms\n", (d - c) * 1000 / n }'
