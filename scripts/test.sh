#!/usr/bin/env bash
# Sets everything up, builds, and runs every test. Extra arguments go to CMake.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
bash scripts/build.sh build "$@"
ctest --test-dir build --output-on-failure -j "$(nproc)"
