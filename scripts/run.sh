#!/usr/bin/env bash
# Sets everything up, builds, and runs Lumora on the example page.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
bash scripts/build.sh build
page=${1:-examples/bakery.htm}
echo "lumora-cli generate $page"
build/bin/lumora-cli generate "$page"
