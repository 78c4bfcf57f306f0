#!/bin/bash
# Rebuilds the scored set: real pages whose authors wrote their own keywords meta tag,
# taken from Debian 12 (bookworm) packages, for tools/score_keywords.py.
#
#   bash tools/fetch_scored_set.sh [OUT]      (default OUT: /tmp/scoreset)
#
# Needs apt-get with bookworm's package lists (run `apt-get update` once) and dpkg-deb.
# Each package is fetched at the version the set was built from, so the pages stay the
# same; a package that is gone from the archive is reported and skipped.
# tools/scored_set.md says why each source counts and what it holds.
set -euo pipefail

out=${1:-/tmp/scoreset}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# package=version  folders inside the package (space-separated) to take pages from
sources=(
  "bibletime-data=3.0.3-3|usr/share/doc/bibletime-data/handbook/html/en usr/share/doc/bibletime-data/handbook/html/de usr/share/doc/bibletime-data/handbook/html/fr usr/share/doc/bibletime-data/handbook/html/es usr/share/doc/bibletime-data/handbook/html/it usr/share/doc/bibletime-data/handbook/html/pt_BR usr/share/doc/bibletime-data/howto/html/en usr/share/doc/bibletime-data/howto/html/de usr/share/doc/bibletime-data/howto/html/fr usr/share/doc/bibletime-data/howto/html/es usr/share/doc/bibletime-data/howto/html/it usr/share/doc/bibletime-data/howto/html/pt_BR"
  "nted-doc=1.10.18-13|usr/share/doc/nted/en usr/share/doc/nted/de usr/share/doc/nted/it"
  "s6-doc=2.11.3.2-1|usr/share/doc/s6"
  "skalibs-doc=2.13.1.1-1|usr/share/doc/skalibs-doc usr/share/doc/skalibs"
  "execline-doc=2.9.3.0-1|usr/share/doc/execline-doc usr/share/doc/execline"
  "atlc=4.6.1-5|usr/share/doc/atlc/html-docs"
  "awstats=7.8-3+deb12u2|usr/share/doc/awstats/html"
  "sfront=0.99-3|usr/share/doc/sfront/html"
  "lua-socket-dev=3.1.0-1+b1|usr/share/doc/lua-socket-dev/docs"
  "tklib=0.8~20230222-1|usr/share/doc/tklib/html"
  "qdbm-doc=1.8.78-12|usr/share/doc/qdbm-doc"
  "euler-doc=1.61.0-12|usr/share/doc/euler-doc"
  "dita-ot-doc=1.5.3+dfsg-1|usr/share/doc/dita-ot-doc"
  "xsdcxx=4.0.0-9|usr/share/doc/xsdcxx"
  "stl-manual=3.30-17|usr/share/doc/stl-manual/html"
)

mkdir -p "$out"
total=0
for entry in "${sources[@]}"; do
  want=${entry%%|*}
  folders=${entry#*|}
  pkg=${want%%=*}
  if ! (cd "$work" && apt-get download -q "$want" >/dev/null 2>&1); then
    echo "skipped $want: not in the archive" >&2
    continue
  fi
  tree="$work/$pkg"
  dpkg-deb -x "$work/${pkg}_"*.deb "$tree"
  rm -rf "${out:?}/$pkg"
  n=0
  for folder in $folders; do
    [ -d "$tree/$folder" ] || continue
    # Pages only (symbolic links would point at other packages' files); a page counts
    # when it holds a keywords meta tag in any case and any quoting.
    while IFS= read -r -d '' page; do
      if grep -qiE '<meta[^>]*name[[:space:]]*=[[:space:]]*["'"'"']?keywords' "$page"; then
        rel=${page#"$tree/"}
        mkdir -p "$out/$pkg/$(dirname "$rel")"
        cp -p "$page" "$out/$pkg/$rel"
        n=$((n + 1))
      fi
    done < <(find "$tree/$folder" -type f \( -iname '*.htm' -o -iname '*.html' -o -iname '*.xhtml' \) -print0)
  done
  echo "$pkg: $n pages"
  total=$((total + n))
  rm -rf "$tree" "$work/${pkg}_"*.deb
done
echo "total: $total pages in $out"
