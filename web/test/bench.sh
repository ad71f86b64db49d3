#!/usr/bin/env bash
# web/test/bench.sh [WEB_BUILD]: the page's benchmarks (after web/build-site.sh and a test run,
# which installed the browser driver).
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
web=$(cd "${1:-$here/../../build-web}" && pwd)
# shellcheck source=SCRIPTDIR/../toolchain.sh
source "$here/../toolchain.sh"
orvel_web_env
cmake --build "$web/cmake" --target orvel_bench -j"$(nproc)" >/dev/null
node "$here/bench.js" "$web" "$web/node/node_modules"
# What blocks the page's main thread: while it loads (also with the CPU 4x slower, as a phone
# is) and over a minute of the show.
node "$here/long-tasks.js" "$web/site" "$web/node/node_modules"
node "$here/long-tasks.js" "$web/site" "$web/node/node_modules" --cpu-slowdown 4
