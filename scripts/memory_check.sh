#!/usr/bin/env bash
# Shows what the tool does with a page too large for the memory it may use: each command
# fails that page with "not enough memory to read PAGE" and exit status 1, writes nothing
# to it, and a run over a folder still does and reports its other pages.
#
# Usage: scripts/memory_check.sh BUILD_DIR [LIMIT_KIB] [PAGE_MB]
# Builds nothing: BUILD_DIR must hold bin/lumora-cli. LIMIT_KIB is the `ulimit -v` the
# commands run under (default 786432, 768 MiB: less than the page, so that no command can
# hold it; with 2097152 one page of 1 GB is read and inserted alone, and only the run over
# the folder runs short); PAGE_MB the size of the large page (default 1000).
# Needs PAGE_MB of free disk space in the temporary folder.
set -uo pipefail

build=${1:?usage: $0 BUILD_DIR [LIMIT_KIB] [PAGE_MB]}
limit=${2:-786432}
megabytes=${3:-1000}
cli=$(cd "$build" && pwd)/bin/lumora-cli
[ -x "$cli" ] || { echo "no $cli: build it first" >&2; exit 2; }

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir "$work/site"
small='<html><head><title>Kites</title></head><body>Kites and kite strings, kites.</body></html>'
for name in a c d; do printf '%s\n' "$small" >"$work/site/$name.htm"; done
big=$work/site/big.htm
{
  printf '<html><head><title>Kites</title></head><body>\n'
  yes 'Kites and kite strings for children, kites that fly high over the hills.' |
    head -c "$((megabytes * 1000 * 1000))"
  printf '</body></html>\n'
} >"$big"
checksum=$(md5sum <"$big")
echo "page: $(stat -c %s "$big") bytes; limit: ulimit -v $limit"

run() {
  echo
  echo "\$ lumora-cli $*"
  (
    ulimit -v "$limit" || exit 2
    "$cli" "$@" 2>&1 | sed "s|$work/||g" | cut -c1-200
    echo "exit status: ${PIPESTATUS[0]}"
  )
}

run generate "$big"
run insert --no-backup "$big"
run insert --no-backup -r -j 2 "$work/site"

echo
if [ "$(md5sum <"$big")" = "$checksum" ]; then
  echo "the large page is unchanged"
else
  echo "the large page was rewritten"
fi
