#!/usr/bin/env bash
# web/check/run.sh BUILD_DIR MODULE...
#
# Builds render_crc twice, natively against the system libopenmpt and with em++ against the
# WebAssembly libopenmpt in BUILD_DIR/sysroot (web/build-libopenmpt.sh makes it), runs both
# on each module (the WebAssembly one under node) and compares their lines. Exit status 0
# when every module renders to the same samples in both builds, 1 otherwise.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
if [ $# -lt 2 ]; then
  echo "usage: $0 BUILD_DIR MODULE..." >&2
  exit 2
fi
build=$(cd "$1" && pwd)
shift
# shellcheck source=SCRIPTDIR/../toolchain.sh
source "$here/../toolchain.sh"
orvel_web_env

out=$build/check
mkdir -p "$out"
# shellcheck disable=SC2046
g++ -std=c++17 -O2 -Wall -DRENDER_CRC_ZLIB "$here/render_crc.cpp" -o "$out/render_crc" \
  $(pkg-config --cflags --libs libopenmpt zlib)
# The host's files are reached through node's own file system (NODERAWFS).
em++ -std=c++17 -O2 -Wall "$here/render_crc.cpp" -o "$out/render_crc.js" \
  -I"$build/sysroot/include" "$build/sysroot/lib/libopenmpt.a" \
  -fexceptions -sNODERAWFS=1 -sALLOW_MEMORY_GROWTH=1 -sEXIT_RUNTIME=1

status=0
# A file that is no module: both builds must turn it down the same way, not crash.
head -c 4096 /dev/zero | tr '\0' 'x' >"$out/not-a-module.it"
native=$("$out/render_crc" "$out/not-a-module.it" 2>&1 >/dev/null; echo "status $?")
wasm=$(node "$out/render_crc.js" "$out/not-a-module.it" 2>&1 >/dev/null; echo "status $?")
if [ "$native" = "$wasm" ]; then
  echo "same    ${native//$'\n'/ }"
else
  echo "DIFFER  native: ${native//$'\n'/ }  wasm: ${wasm//$'\n'/ }"
  status=1
fi
for module in "$@"; do
  native=$("$out/render_crc" "$module") || status=1
  wasm=$(node "$out/render_crc.js" "$module") || status=1
  if [ -n "$native" ] && [ "$native" = "$wasm" ]; then
    echo "same    $native  $module"
  else
    echo "DIFFER  native: ${native:-?}  wasm: ${wasm:-?}  $module"
    status=1
  fi
done
exit $status
