#!/usr/bin/env bash
# tools/install-packages.sh LIST...  installs the Debian packages named in the lists that are
# not installed yet (one name a line, # starts a comment). Needs root or sudo only when
# something is missing.
set -euo pipefail
missing=()
for list in "$@"; do
  while read -r pkg; do
    pkg=${pkg%%#*}
    pkg=${pkg//[[:space:]]/}
    [[ -z $pkg ]] && continue
    dpkg-query -W -f='${Status}' "$pkg" 2>/dev/null | grep -q "ok installed" || missing+=("$pkg")
  done <"$list"
done
((${#missing[@]})) || exit 0
sudo=""
[ "$(id -u)" = 0 ] || sudo=sudo
echo "installing: ${missing[*]}"
# Another apt or dpkg at work (an unattended upgrade, a second build) holds dpkg's lock:
# wait for it as long as apt allows, rather than failing at once.
lock_wait=(-o DPkg::Lock::Timeout=900)
$sudo apt-get "${lock_wait[@]}" update -qq
DEBIAN_FRONTEND=noninteractive $sudo apt-get "${lock_wait[@]}" install -y -qq "${missing[@]}" >/dev/null
