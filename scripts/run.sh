#!/usr/bin/env bash
# Sets everything up, builds, and opens the Lumora window. Without a display the window
# says so and points to lumora-cli.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
bash scripts/build.sh build
exec build/bin/lumora "$@"
