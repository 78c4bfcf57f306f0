#!/usr/bin/env bash
# Installs the packages scripts/package.sh made into a bare Debian (debootstrap, minbase)
# and tries them there: what apt pulls in (runtime libraries only, no Qt for the tool),
# lumora-cli on a page in another folder, its manual page, and its bash completion.
# As root; needs the network and a few minutes, so CI does not run it.
#   bash tools/check_deb.sh [ROOT]      (default /tmp/deb-root, made when missing)
set -euo pipefail
cd "$(dirname "$0")/.."
root=${1:-/tmp/deb-root}
[ "$(id -u)" -eq 0 ] || { echo "run as root" >&2; exit 1; }
cli_deb=$(ls build-package/lumora-cli_*.deb 2>/dev/null | tail -n 1)
gui_deb=$(ls build-package/lumora_*.deb 2>/dev/null | tail -n 1)
[ -n "$cli_deb" ] || { echo "no package in build-package/: run scripts/package.sh" >&2; exit 1; }

if [ ! -x "$root/usr/bin/apt-get" ]; then
  command -v debootstrap >/dev/null || apt-get install -y -qq debootstrap
  debootstrap --variant=minbase bookworm "$root" http://deb.debian.org/debian
fi
cp /etc/resolv.conf "$root/etc/resolv.conf"
mount -t proc proc "$root/proc"
trap 'umount "$root/proc"' EXIT
in_root() { chroot "$root" env -i PATH=/usr/sbin:/usr/bin:/sbin:/bin HOME=/root LANG=C.UTF-8 "$@"; }
export DEBIAN_FRONTEND=noninteractive

# Back to the bare system with the tools of the check (man, completion), then the tool's
# package alone, then the window's.
in_root apt-get update -qq
in_root apt-get purge -y -qq lumora lumora-cli >/dev/null 2>&1 || true
in_root apt-get autoremove --purge -y -qq >/dev/null 2>&1
in_root apt-get install -y -qq man-db bash-completion >"$root/tmp/apt.log" 2>&1 ||
  { cat "$root/tmp/apt.log"; exit 1; }
cp "$cli_deb" ${gui_deb:+"$gui_deb"} examples/bakery.htm "$root/tmp/"
status=0
install_and_list() {
  local deb=/tmp/$(basename "$1") pulled
  pulled=$(in_root apt-get install -s "$deb" | awk '/^Inst/ {print $2}' | sort)
  echo "== apt-get install $deb pulls in $(wc -l <<<"$pulled") packages:"
  echo $pulled | fold -s -w 100
  in_root apt-get install -y -qq "$deb" >"$root/tmp/apt.log" 2>&1 || { cat "$root/tmp/apt.log"; return 1; }
  if grep -E -- '-dev$' <<<"$pulled"; then echo "FAIL: development packages above"; status=1; fi
  if [ "$2" = no-qt ] && grep -i qt <<<"$pulled"; then echo "FAIL: Qt above"; status=1; fi
}
install_and_list "$cli_deb" no-qt

echo "== cd /tmp && lumora-cli generate bakery.htm"
in_root sh -c 'cd /tmp && lumora-cli generate bakery.htm' || status=1
echo "== man lumora-cli | head"
in_root env MANWIDTH=80 sh -c 'man lumora-cli 2>&1 | head' || status=1
echo "== completion of: lumora-cli ge<Tab>"
# An interactive bash with bash-completion, which loads the tool's completion on first use
# and asks its function as Tab does.
in_root bash -i -c '
  . /usr/share/bash-completion/bash_completion
  _completion_loader lumora-cli
  COMP_LINE="lumora-cli ge"; COMP_POINT=${#COMP_LINE}
  COMP_WORDS=(lumora-cli ge); COMP_CWORD=1
  $(complete -p lumora-cli | sed -E "s/.*-F ([^ ]+).*/\1/") lumora-cli ge lumora-cli
  printf "%s\n" "${COMPREPLY[@]}"' 2>/dev/null | tee "$root/tmp/completion.txt"
[ "$(cat "$root/tmp/completion.txt")" = generate ] || { echo "FAIL: expected generate"; status=1; }
echo "== the manual the window's link opens"
in_root ls -l /usr/share/lumora/README.md || status=1

if [ -n "$gui_deb" ]; then
  install_and_list "$gui_deb" qt
  echo "== libraries of /usr/bin/lumora not found"
  in_root ldd /usr/bin/lumora | grep 'not found' && status=1 || echo "(none)"
fi
echo "== $([ $status -eq 0 ] && echo "all checks passed" || echo "some checks FAILED")"
exit $status
