#!/usr/bin/env bash
# web/build-libopenmpt.sh [BUILD_DIR]
#
# Builds libopenmpt for WebAssembly from Debian's source package of exactly the version the
# native build links (libopenmpt-dev), so that both builds play the module alike.
#
#   The library is built once per version, compiler and settings into a cache outside the
#   clone, so that other clones and later runs find it ready:
#     $ORVEL_CACHE (default ${XDG_CACHE_HOME:-~/.cache}/orvel)/libopenmpt-wasm-VERSION-KEY/
#       libopenmpt/build/    the configure/make tree
#       sysroot/include/libopenmpt/*.h, sysroot/lib/libopenmpt.a (+ pkgconfig/libopenmpt.pc)
#   The source package comes through tools/debian-source.sh (source/ beside it, shared with
#   the Windows build). BUILD_DIR (default build-web/ beside this folder's parent) gets
#   sysroot/, a link to the cached one.
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

# --- the source package, fetched once into the cache (tools/debian-source.sh) ------------
src=$("$root/tools/debian-source.sh" libopenmpt-dev | tail -n1)

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
