#!/usr/bin/env bash
# ./build.sh play [options]  install what is missing, build, make the data, play
# ./build.sh test            the same set-up, then every test
# ./build.sh web             the same set-up, then the web page into build-web/site/, served
#                            at http://127.0.0.1:8000/
# ./build.sh windows         the same set-up, then orvel.exe for Windows, packed with its data
#                            into build-windows/orvel-windows.zip
set -euo pipefail
cd "$(dirname "$0")"
mode=${1:-play}
[ $# -gt 0 ] && shift

tools/install-packages.sh tools/debian-packages.txt

jobs=$(nproc)
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build -j"$jobs"

case $mode in
  play)
    exec ./build/orvel "$@"
    ;;
  test)
    # orvel.exe and its package: the tests run it under Wine.
    windows/build.sh build build-windows
    ctest --test-dir build --output-on-failure -j"$jobs" -LE live
    # The live tests play in real time against a sound server: alone, so that nothing
    # crowds them.
    ctest --test-dir build --output-on-failure -L live
    # The page: the same core built to WebAssembly, tested in headless Chromium and Firefox.
    web/build-site.sh build build-web
    web/test/run.sh build build-web
    # The GIF decoder under libFuzzer for 60 s, seeded with the files the tests wrote.
    CC=clang CXX=clang++ cmake -S fuzz -B build-fuzz >/dev/null
    cmake --build build-fuzz -j"$jobs"
    mkdir -p build-fuzz/corpus
    if ! build-fuzz/fuzz_gif -max_total_time=60 -max_len=16384 -print_final_stats=1 -artifact_prefix=build-fuzz/ \
      build-fuzz/corpus build/gif-corpus >build-fuzz/fuzz.log 2>&1; then
      tail -n 60 build-fuzz/fuzz.log
      exit 1
    fi
    grep -E "^Done [0-9]+ runs" build-fuzz/fuzz.log
    # Once more with the sanitizers; the benchmarks are left out of that build.
    cmake -S . -B build-asan -DCMAKE_BUILD_TYPE=Debug -DORVEL_SANITIZE=ON -DORVEL_BENCH=OFF >/dev/null
    cmake --build build-asan -j"$jobs"
    ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 \
      ctest --test-dir build-asan --output-on-failure -j"$jobs" -LE nosan
    ;;
  web)
    web/build-site.sh build build-web
    echo "serving build-web/site/ (Ctrl-C stops) at:"
    exec node web/serve.js build-web/site 8000
    ;;
  windows)
    windows/build.sh build build-windows
    ;;
  *)
    echo "usage: $0 play|test|web|windows [options]" >&2
    exit 2
    ;;
esac
