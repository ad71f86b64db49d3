#!/usr/bin/env bash
# ./build.sh play [options]  install what is missing, build, make the data, play
# ./build.sh test            the same set-up, then every test
set -euo pipefail
cd "$(dirname "$0")"
mode=${1:-play}
[ $# -gt 0 ] && shift

missing=()
while read -r pkg; do
  [[ -z $pkg || $pkg == \#* ]] && continue
  dpkg-query -W -f='${Status}' "$pkg" 2>/dev/null | grep -q "ok installed" || missing+=("$pkg")
done < tools/debian-packages.txt
if ((${#missing[@]})); then
  sudo=""
  [ "$(id -u)" = 0 ] || sudo=sudo
  echo "installing: ${missing[*]}"
  $sudo apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq "${missing[@]}" >/dev/null
fi

jobs=$(nproc)
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build -j"$jobs"

case $mode in
  play)
    exec ./build/orvel "$@"
    ;;
  test)
    ctest --test-dir build --output-on-failure -j"$jobs" -LE slow
    ctest --test-dir build --output-on-failure -L slow
    # Once more with the sanitizers; the benchmarks are left out of that build.
    cmake -S . -B build-asan -DCMAKE_BUILD_TYPE=Debug -DORVEL_SANITIZE=ON >/dev/null
    cmake --build build-asan -j"$jobs"
    ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 \
      ctest --test-dir build-asan --output-on-failure -j"$jobs" -LE "slow|nosan"
    ;;
  *)
    echo "usage: $0 play|test [options]" >&2
    exit 2
    ;;
esac
