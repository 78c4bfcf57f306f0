#!/usr/bin/env bash
# Sets everything up, builds, and opens the Lumora window. Without a display the window
# says so and points to lumora-cli.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh run
# The window needs neither the test suite nor its libraries.
bash scripts/build.sh build-run -DLUMORA_BUILD_TESTS=OFF -DCMAKE_BUILD_TYPE=Release
if [[ -z "${DISPLAY:-}${WAYLAND_DISPLAY:-}${QT_QPA_PLATFORM:-}" ]]; then
    echo "There is no graphical display here, so the window cannot open." >&2
    echo "The command-line tool is $(pwd)/build-run/bin/lumora-cli. To call it by name," >&2
    echo "as the README's examples do:" >&2
    echo "    export PATH=\"$(pwd)/build-run/bin:\$PATH\"" >&2
    echo "    lumora-cli generate examples/bakery.htm" >&2
    exit 1
fi
exec build-run/bin/lumora "$@"
