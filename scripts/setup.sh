#!/usr/bin/env bash
# Installs what Lumora needs from Debian's packages: `setup.sh run` for building and running
# the program, `setup.sh` (or `setup.sh test`) for the tests too, `setup.sh screenshots`
# for taking the README's pictures, `setup.sh package` for making the Debian packages. Safe to run again: it
# installs only what is missing. Runs as root (CI) or through sudo.
set -euo pipefail

# What building and running the program (and its Python module) needs; `test` adds what
# the tests, the benchmarks and the fuzz targets need (GoogleTest, Google Benchmark, clang for
# libFuzzer, patch, time for the benchmarks' peak memory, xmllint to check that XHTML pages
# stay XML, and Dask's distributed scheduler with fsspec for the cluster runner's test).
packages=(
  cmake ninja-build g++ pkg-config
  libcli11-dev libutf8proc-dev nlohmann-json3-dev
  python3-dev pybind11-dev
  qt6-base-dev fonts-dejavu-core
)
if [ "${1:-test}" = "test" ]; then
  packages+=(libgtest-dev libgmock-dev libbenchmark-dev clang libclang-rt-14-dev patch time libxml2-utils
    python3-distributed python3-fsspec)
fi
# The README's screenshots: a virtual display, window geometry and a screen grab.
if [ "${1:-}" = "screenshots" ]; then
  packages+=(xvfb xauth x11-utils imagemagick)
fi
# The Debian packages: dpkg-shlibdeps finds their library dependencies, lintian checks
# them, appstreamcli checks the window's AppStream metadata.
if [ "${1:-}" = "package" ]; then
  packages+=(dpkg-dev lintian appstream)
fi

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done

if [ ${#missing[@]} -gt 0 ]; then
  echo "Installing: ${missing[*]}"
  if [ "$(id -u)" -eq 0 ]; then
    as_root=()
  elif command -v sudo >/dev/null 2>&1; then
    as_root=(sudo)
  else
    echo "Missing packages (${missing[*]}) and no way to become root to install them." >&2
    exit 1
  fi
  export DEBIAN_FRONTEND=noninteractive
  "${as_root[@]}" apt-get update -qq
  "${as_root[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
