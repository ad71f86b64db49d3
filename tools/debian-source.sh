#!/usr/bin/env bash
# tools/debian-source.sh BINARY_PACKAGE
#
# Fetches and unpacks Debian's source package of exactly the installed version of
# BINARY_PACKAGE, once, into the cache outside the clone, and prints that folder's path as
# the last line of standard output (everything else goes to standard error):
#   $ORVEL_CACHE (default ${XDG_CACHE_HOME:-~/.cache}/orvel)/
#     apt/                      a private apt configuration: deb-src entries derived from the
#                               machine's own sources, its own lists and cache; the machine's
#                               apt configuration is never changed
#     source/NAME_VERSION/      the unpacked source package, Debian's patches applied
#     source/NAME_VERSION/.orvel-source
#                               "NAME VERSION debian", or "NAME VERSION orig" (below)
#
# Every file is checked against the hashes of the signed source index. When the mirror has
# the upstream tarball but not Debian's part (its .dsc or .debian.tar.*), the folder holds
# the upstream tarball of the same version, unpatched, and says "orig": a build from it is
# the same upstream release without Debian's fixes, and this script says so on stderr.
#
# Needs no root. Two clones fetching at once: the second waits and then finds it done.
set -euo pipefail

if [ $# -ne 1 ]; then
  echo "usage: $0 BINARY_PACKAGE" >&2
  exit 2
fi
package=$1
IFS=$'\t' read -r name version < <(dpkg-query -W -f='${source:Package}\t${source:Version}\n' "$package" 2>/dev/null) ||
  true
if [ -z "${version:-}" ]; then
  echo "debian-source: $package is not installed" >&2
  exit 1
fi
cache=${ORVEL_CACHE:-${XDG_CACHE_HOME:-$HOME/.cache}/orvel}
mkdir -p "$cache/source"
# Debian versions may hold an epoch's colon, which has no place in a file name.
dest=$cache/source/${name}_${version//:/%}
exec 8>"$dest.lock"
flock 8
if [ -f "$dest/.orvel-source" ]; then
  echo "$dest"
  exit 0
fi

# --- the private apt configuration ---------------------------------------------------------
apt=$cache/apt
mkdir -p "$apt/sources.list.d" "$apt/lists/partial" "$apt/cache/archives/partial" "$apt/state"
exec 9>"$apt/.lock"
flock 9
rm -f "$apt/sources.list.d/"*
# One-line entries: each deb line again as deb-src.
: >"$apt/sources.list"
for f in /etc/apt/sources.list /etc/apt/sources.list.d/*.list; do
  [ -f "$f" ] || continue
  sed -nE 's/^[[:space:]]*deb(-src)?([[:space:]])/deb-src\2/p' "$f" >>"$apt/sources.list"
done
sort -u -o "$apt/sources.list" "$apt/sources.list"
# deb822 entries: every stanza with binary or source types, as a source-only stanza.
for f in /etc/apt/sources.list.d/*.sources; do
  [ -f "$f" ] || continue
  awk '
    function flush() { if (keep) printf "%s\n", stanza; stanza = ""; keep = 0 }
    /^[[:space:]]*$/ { flush(); next }
    /^Types:/ {
      if ($0 ~ /[[:space:]]deb(-src)?([[:space:]]|$)/) { keep = 1; $0 = "Types: deb-src" }
    }
    { stanza = stanza $0 "\n" }
    END { flush() }
  ' "$f" >"$apt/sources.list.d/$(basename "$f")"
done
cat >"$apt/apt.conf" <<EOF
Dir::Etc::SourceList "$apt/sources.list";
Dir::Etc::SourceParts "$apt/sources.list.d";
Dir::State "$apt/state";
Dir::State::Lists "$apt/lists";
Dir::Cache "$apt/cache";
Dir::Cache::pkgcache "";
Dir::Cache::srcpkgcache "";
EOF
# The machine's apt.conf.d (proxies, validity settings) still applies.
export APT_CONFIG=$apt/apt.conf

echo "fetching source package $name $version" >&2
# apt-get update fails as a whole when any one source has no source index; the look-up
# below still finds the package in those that have one, or says clearly that it cannot.
apt-get update -qq >&2 || echo "debian-source: apt-get update reported errors (continuing)" >&2
source_uris() { apt-get source -qq --print-uris "$name=$1" 2>/dev/null | grep "^'" || true; }
uris=$(source_uris "$version")
why=""
if [ -z "$uris" ]; then
  # The index has moved on (a security update replaced the installed revision): another
  # revision of the same upstream version still names the same upstream tarball.
  upstream=${version#*:}
  upstream=${upstream%-*}
  for other in $(apt-cache showsrc "$name" 2>/dev/null | sed -n 's/^Version: //p' | sort -u); do
    other_upstream=${other#*:}
    other_upstream=${other_upstream%-*}
    [ "$other_upstream" = "$upstream" ] || continue
    uris=$(source_uris "$other" | grep "\.orig" || true)
    [ -n "$uris" ] && break
  done
  if [ -z "$uris" ]; then
    echo "debian-source: no source package $name $version in the machine's apt sources" >&2
    exit 1
  fi
  why="the source index no longer has revision $version (the upstream tarball is from $other)"
fi

# Each file on its own, checked against the index's hash, so that one missing file still
# leaves the others.
dl=$dest.download
rm -rf "$dl" "$dest"
mkdir -p "$dl"
missing=()
while read -r uri file _size hash; do
  uri=${uri#\'}
  uri=${uri%\'}
  if ! /usr/lib/apt/apt-helper -qq download-file "$uri" "$dl/$file" "$hash" >/dev/null 2>&1; then
    rm -f "$dl/$file"
    missing+=("$file")
  fi
done <<<"$uris"

dsc=$(find "$dl" -maxdepth 1 -name '*.dsc' | head -n1)
orig=$(find "$dl" -maxdepth 1 -name '*.orig.tar.*' ! -name '*.asc' | head -n1)
if [ ${#missing[@]} -eq 0 ] && [ -n "$dsc" ]; then
  # Each file matched the signed index's hash; dpkg-source need not look again.
  dpkg-source --no-check -x "$dsc" "$dest" >/dev/null
  kind=debian
elif [ -n "$orig" ] && ! printf '%s\n' "${missing[@]}" | grep -q '\.orig'; then
  [ ${#missing[@]} -eq 0 ] || why="the mirror lacks ${missing[*]}"
  echo "debian-source: $why: $name from the upstream tarball $(basename "$orig")" \
    "of the same version, without Debian's patches" >&2
  mkdir -p "$dest"
  tar -xf "$orig" -C "$dest" --strip-components=1
  kind=orig
else
  echo "debian-source: could not fetch $name $version (missing: ${missing[*]:-the .dsc})" >&2
  exit 1
fi
rm -rf "$dl"
echo "$name $version $kind" >"$dest/.orvel-source"
echo "$dest"
