#!/usr/bin/env bash
# Builds the Debian packages lumora-cli (the command-line tool, no Qt) and lumora (the
# window) in build-package/: a Release build with Debian's hardening flags, then CPack.
# Prints the paths of the .deb files and lintian's findings on them (an error fails it).
# Extra arguments go to CMake (-DLUMORA_BUILD_GUI=OFF: the tool's package alone).
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh package
appstreamcli validate --no-net gui/example.quarvel.Lumora.metainfo.xml
dir=build-package
export CXXFLAGS="$(dpkg-buildflags --get CXXFLAGS) $(dpkg-buildflags --get CPPFLAGS)"
export LDFLAGS="$(dpkg-buildflags --get LDFLAGS)"
# Earlier packages would be listed again and checked with the new ones.
rm -f "$dir"/*.deb
bash scripts/build.sh "$dir" -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX=/usr \
  -DLUMORA_BUILD_TESTS=OFF "$@"
(cd "$dir" && cpack >/dev/null)
debs=("$dir"/*.deb)
printf '%s\n' "${debs[@]/#/$PWD/}"
lintian --fail-on error "${debs[@]}"
