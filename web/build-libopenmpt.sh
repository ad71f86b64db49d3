#!/usr/bin/env bash
# web/build-libopenmpt.sh [BUILD_DIR]
#
# Builds libopenmpt for WebAssembly from Debian's source package of exactly the version the
# native build links (libopenmpt-dev), so that both builds play the module alike.
#
#   The library is built once per version, compiler and settings into a cache outside the
#   clone, so that other clones and later runs find it ready:
#     $ORVEL_CACHE (default ${XDG_CACHE_HOME:-~/.cache}/orvel)/libopenmpt-wasm-VERSION-KEY/
#       apt/                 a private apt configuration: deb-src entries derived from the
#                            machine's own sources, its own lists and cache; the machine's apt
#                            configuration is never changed
#       libopenmpt/src/      the unpacked source package
#       libopenmpt/build/    the configure/make tree
#       sysroot/include/libopenmpt/*.h, sysroot/lib/libopenmpt.a (+ pkgconfig/libopenmpt.pc)
#   BUILD_DIR (default build-web/ beside this folder's parent) gets sysroot/, a link to the
#   cached one.
#
# Installs the packages of tools/debian-packages-web.txt that are missing (needs root or sudo
# only then). Getting the source and building need no root. Skipped when the stamp in the
# cached sysroot/ names the same version and settings.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
root=$(dirname "$here")
build=${1:-$root/build-web}
mkdir -p "$build"
build=$(cd "$build" && pwd)

"$root/tools/install-packages.sh" "$root/tools/debian-packages-web.txt"
# shellcheck source=SCRIPTDIR/toolchain.sh
source "$here/toolchain.sh"
orvel_web_env

IFS=$'\t' read -r src_name src_version < <(dpkg-query -W -f='${source:Package}\t${source:Version}\n' libopenmpt-dev)
if [ -z "${src_version:-}" ]; then
  echo "web: libopenmpt-dev is not installed" >&2
  exit 1
fi
upstream=${src_version#*:}
upstream=${upstream%-*}

# Only the module player: no codecs for samples in other formats, no command-line player.
# The mixer's output must match the native library's sample for sample, hence no
# -ffast-math and no optional SIMD (see web/README.md).
configure_flags=(
  --disable-shared --enable-static
  --disable-openmpt123 --disable-examples --disable-tests --disable-doxygen-doc
  --without-zlib --without-mpg123 --without-ogg --without-vorbis --without-vorbisfile
  --without-pulseaudio --without-portaudio --without-portaudiocpp
  --without-sndfile --without-flac
)
# libopenmpt reports a file it cannot load by throwing inside and catching at its C API; emcc
# compiles catch blocks out unless told otherwise, and then a bad file aborts the program.
# Whatever links this library needs -fexceptions too.
cflags="-O2 -fexceptions"
emcc_version=$(emcc --version)
stamp_text="$src_name $src_version ${emcc_version%%$'\n'*} $cflags ${configure_flags[*]}"
cache=${ORVEL_CACHE:-${XDG_CACHE_HOME:-$HOME/.cache}/orvel}
key=$(printf '%s' "$stamp_text" | sha256sum | cut -c1-12)
work=$cache/libopenmpt-wasm-$upstream-$key
mkdir -p "$work"
sysroot=$work/sysroot
stamp=$sysroot/libopenmpt.stamp
# A sysroot of its own from before the cache gives way to the link.
[ -L "$build/sysroot" ] || rm -rf "$build/sysroot"
ln -sfn "$sysroot" "$build/sysroot"
# Two clones building at once: the second waits for the first and then finds it done.
exec 9>"$work/.lock"
flock 9
if [ -f "$sysroot/lib/libopenmpt.a" ] && [ "$(cat "$stamp" 2>/dev/null)" = "$stamp_text" ]; then
  echo "libopenmpt $src_version for WebAssembly: up to date in $sysroot"
  exit 0
fi

# --- the source package, through a private apt configuration ---------------------------
apt=$work/apt
mkdir -p "$apt/sources.list.d" "$apt/lists/partial" "$apt/cache/archives/partial" "$apt/state"
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

src=$work/libopenmpt/src
dl=$work/libopenmpt/download
if [ ! -f "$src/.unpacked-$src_version" ]; then
  echo "fetching source package $src_name $src_version"
  # apt-get update fails as a whole when any one source has no source index; the download
  # below still finds the package in those that have one, or says clearly that it cannot.
  apt-get update -qq || echo "web: apt-get update reported errors (continuing)" >&2
  rm -rf "$dl" "$src"
  mkdir -p "$dl"
  if ! (cd "$dl" && apt-get source -qq --download-only "$src_name=$src_version"); then
    echo "web: Debian's source package $src_name $src_version could not be fetched" >&2
    exit 1
  fi
  dsc=$(ls "$dl"/*.dsc)
  # apt checked every file against the signed index; dpkg-source need not look again.
  dpkg-source --no-check -x "$dsc" "$src" >/dev/null
  touch "$src/.unpacked-$src_version"
fi

# --- the WebAssembly build ---------------------------------------------------------------
obj=$work/libopenmpt/build
rm -rf "$obj" "$sysroot/include/libopenmpt" "$sysroot/lib/libopenmpt.a" "$stamp"
mkdir -p "$obj"
echo "building libopenmpt $upstream for WebAssembly"
started=$SECONDS
(
  cd "$obj"
  CFLAGS="$cflags" CXXFLAGS="$cflags" emconfigure "$src/configure" --prefix="$sysroot" \
    "${configure_flags[@]}" >configure.log 2>&1 || { tail -n 40 configure.log; exit 1; }
  emmake make -j"${JOBS:-2}" >make.log 2>&1 || { tail -n 40 make.log; exit 1; }
  emmake make install >install.log 2>&1 || { tail -n 40 install.log; exit 1; }
)
echo "$stamp_text" >"$stamp"
echo "libopenmpt $upstream for WebAssembly: $((SECONDS - started)) s," \
  "$(du -k "$sysroot/lib/libopenmpt.a" | cut -f1) KiB, in $sysroot"
