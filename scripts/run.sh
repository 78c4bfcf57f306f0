#!/usr/bin/env bash
# Sets everything up, builds, and opens the Lumora window. Without a display the window
# says so and points to lumora-cli.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh run
# The window needs neither the test suite nor its libraries.
bash scripts/build.sh build-run -DLUMORA_BUILD_TESTS=OFF -DCMAKE_BUILD_TYPE=Release
exec build-run/bin/lumora "$@"
