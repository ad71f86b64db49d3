#!/usr/bin/env bash
# windows/build.sh [NATIVE_BUILD] [WINDOWS_BUILD]
#
# Cross-builds orvel.exe into WINDOWS_BUILD/ (default build-windows/) and packs
# WINDOWS_BUILD/orvel-windows.zip: orvel.exe, README.txt, and the pictures and the module that
# the native build in NATIVE_BUILD (default build/) made. The libraries come from
# windows/build-libraries.sh, built once into the cache outside the clone.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
root=$(dirname "$here")
native=$(cd "${1:-$root/build}" && pwd)
mkdir -p "${2:-$root/build-windows}"
win=$(cd "${2:-$root/build-windows}" && pwd)
if [ ! -f "$native/musica/XK_TRAM4.IT" ] || [ ! -d "$native/gfx" ]; then
  echo "windows: $native has no gfx/ and musica/: build the native program first" >&2
  exit 1
fi

"$here/build-libraries.sh" "$win"
# The native build's compiler flags, so that both compute alike; the symbols are stripped.
cmake -S "$root" -B "$win/cmake" -DCMAKE_TOOLCHAIN_FILE="$here/toolchain.cmake" \
  -DCMAKE_BUILD_TYPE=RelWithDebInfo -DORVEL_WINDOWS_SYSROOT="$win/sysroot" -DORVEL_TESTS=OFF -DORVEL_BENCH=OFF \
  >/dev/null
cmake --build "$win/cmake" -j"$(nproc)"

stage=$win/zip
rm -rf "$stage" "$win/orvel-windows.zip"
mkdir -p "$stage"
cp "$win/cmake/orvel.exe" "$stage/"
cp -r "$native/gfx" "$native/musica" "$stage/"
sed 's/$/\r/' "$here/README.txt" >"$stage/README.txt"
(cd "$stage" && cmake -E tar cf "$win/orvel-windows.zip" --format=zip orvel.exe README.txt gfx musica)
echo "windows: $win/orvel-windows.zip ($(du -b "$win/orvel-windows.zip" | cut -f1) bytes;" \
  "orvel.exe $(du -b "$stage/orvel.exe" | cut -f1) bytes)"
