#!/usr/bin/env bash
# windows/build-libraries.sh [BUILD_DIR]
#
# Builds the libraries of orvel.exe for 64-bit Windows with Debian's mingw-w64 (posix
# threads: the win32 thread model has no std::mutex), static only, from Debian's source
# packages of exactly the versions the native build links: SDL2 (libsdl2-dev), libopenmpt
# (libopenmpt-dev) and libpng (libpng-dev). zlib is Debian's own build for mingw-w64
# (libz-mingw-w64-dev).
#
#   Built once per set of versions, compiler and settings into a cache outside the clone, so
#   that other clones and later runs find them ready:
#     $ORVEL_CACHE (default ${XDG_CACHE_HOME:-~/.cache}/orvel)/windows-libs-KEY/
#       build/NAME/        the configure/make trees
#       sysroot/include, sysroot/lib/*.a, sysroot/lib/pkgconfig/*.pc
#   The sources come through tools/debian-source.sh (source/ beside it, shared with the
#   page's build). BUILD_DIR (default build-windows/ beside this folder's parent) gets
#   sysroot/, a link to the cached one.
#
# Installs the packages of tools/debian-packages-windows.txt that are missing (needs root
# or sudo only then). Getting the sources and building need no root.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
root=$(dirname "$here")
build=${1:-$root/build-windows}
mkdir -p "$build"
build=$(cd "$build" && pwd)

"$root/tools/install-packages.sh" "$root/tools/debian-packages.txt" "$root/tools/debian-packages-windows.txt"

host=x86_64-w64-mingw32
cc=$host-gcc-posix
cxx=$host-g++-posix
versions() { dpkg-query -W -f='${Package} ${Version}\n' "$@"; }
# What the libraries are made of: any change here is another set of libraries.
cflags="-O2"
sdl_flags=(--disable-joystick --disable-haptic --disable-hidapi --disable-sensor)
openmpt_flags=(
  --disable-openmpt123 --disable-examples --disable-tests --disable-doxygen-doc
  --without-zlib --without-mpg123 --without-ogg --without-vorbis --without-vorbisfile
  --without-pulseaudio --without-portaudio --without-portaudiocpp
  --without-sndfile --without-flac
)
stamp_text="$(versions libsdl2-dev libopenmpt-dev libpng-dev libz-mingw-w64-dev g++-mingw-w64-x86-64-posix)
$($cxx --version | head -n1)
$cflags ${sdl_flags[*]} ${openmpt_flags[*]}"
cache=${ORVEL_CACHE:-${XDG_CACHE_HOME:-$HOME/.cache}/orvel}
key=$(printf '%s' "$stamp_text" | sha256sum | cut -c1-12)
work=$cache/windows-libs-$key
mkdir -p "$work"
sysroot=$work/sysroot
stamp=$sysroot/libraries.stamp
[ -L "$build/sysroot" ] || rm -rf "$build/sysroot"
ln -sfn "$sysroot" "$build/sysroot"
# Two clones building at once: the second waits for the first and then finds it done.
exec 9>"$work/.lock"
flock 9
if [ "$(cat "$stamp" 2>/dev/null)" = "$stamp_text" ]; then
  echo "Windows libraries: up to date in $sysroot"
  exit 0
fi

sources=()
for package in libpng-dev libsdl2-dev libopenmpt-dev; do
  sources+=("$("$root/tools/debian-source.sh" "$package" | tail -n1)")
done

rm -rf "$work/build" "$sysroot"
mkdir -p "$work/build" "$sysroot"
export PKG_CONFIG_LIBDIR=$sysroot/lib/pkgconfig:/usr/$host/lib/pkgconfig
export PKG_CONFIG_PATH=
started=$SECONDS
# configure, make and install one library out of its source tree.
build_one() {
  local name=$1 src=$2
  shift 2
  local obj=$work/build/$name one_started=$SECONDS
  mkdir -p "$obj"
  echo "building $name ($(cut -d' ' -f2,3 "$src/.orvel-source")) for Windows"
  (
    cd "$obj"
    CC=$cc CXX=$cxx CFLAGS="$cflags" CXXFLAGS="$cflags" CPPFLAGS="-I$sysroot/include" LDFLAGS="-L$sysroot/lib" \
      "$src/configure" --host=$host --prefix="$sysroot" --disable-shared --enable-static "$@" \
      >configure.log 2>&1 || { tail -n 40 configure.log; exit 1; }
    make -j"${JOBS:-$(nproc)}" >make.log 2>&1 || { tail -n 40 make.log; exit 1; }
    make install >install.log 2>&1 || { tail -n 40 install.log; exit 1; }
  )
  echo "  $name: $((SECONDS - one_started)) s"
}
build_one libpng "${sources[0]}"
build_one SDL2 "${sources[1]}" "${sdl_flags[@]}"
build_one libopenmpt "${sources[2]}" "${openmpt_flags[@]}"
for src in "${sources[@]}"; do
  read -r name version kind <"$src/.orvel-source"
  [ "$kind" = debian ] || echo "note: $name $version is built from its upstream tarball, without Debian's patches"
done
# The sysroot may move (another cache folder, a copy for another machine): its .pc files
# find their prefix from where they are.
sed -i 's|^prefix=.*|prefix=${pcfiledir}/../..|' "$sysroot"/lib/pkgconfig/*.pc
echo "$stamp_text" >"$stamp"
echo "Windows libraries: $((SECONDS - started)) s, $(du -sk "$sysroot/lib" | cut -f1) KiB, in $sysroot"
