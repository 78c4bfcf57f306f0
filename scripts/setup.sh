#!/usr/bin/env bash
# Installs what Lumora needs to build and test, from Debian's packages. Safe to run again:
# it installs only what is missing. Runs as root (CI) or through sudo.
set -euo pipefail

packages=(
  cmake ninja-build g++ pkg-config
  libgtest-dev libgmock-dev libbenchmark-dev libcli11-dev libutf8proc-dev
  clang libclang-rt-14-dev
  qt6-base-dev fonts-dejavu-core
  libutf8proc-dev nlohmann-json3-dev patch
  time
)

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
