#!/usr/bin/env bash
# web/build-site.sh [NATIVE_BUILD] [WEB_BUILD]
#
# Builds the site into WEB_BUILD/site/ (default build-web/site/): the same core as the
# native program, built to WebAssembly with Debian's emscripten, over libopenmpt built from
# Debian's source package (web/build-libopenmpt.sh), with the pictures and the module that
# the native build in NATIVE_BUILD (default build/) made.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
root=$(dirname "$here")
native=$(cd "${1:-$root/build}" && pwd)
mkdir -p "${2:-$root/build-web}"
web=$(cd "${2:-$root/build-web}" && pwd)

"$here/build-libopenmpt.sh" "$web"
# shellcheck source=SCRIPTDIR/toolchain.sh
source "$here/toolchain.sh"
orvel_web_env

emcmake cmake -S "$root" -B "$web/cmake" -DCMAKE_BUILD_TYPE=Release -DORVEL_WEB_SYSROOT="$web/sysroot" \
  -DORVEL_WEB_DATA="$native" -DORVEL_WEB_SITE="$web/site" >/dev/null
cmake --build "$web/cmake" -j"$(nproc)"
echo "site: $web/site ($(du -sb "$web/site" | cut -f1) bytes)"
