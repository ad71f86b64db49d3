#!/usr/bin/env bash
# web/test/run.sh NATIVE_BUILD WEB_BUILD
#
# Tests the site in WEB_BUILD/site/ in Debian's headless Chromium and Firefox (ORVEL_BROWSERS,
# default "chromium firefox", picks), against the native program of NATIVE_BUILD: the whole
# production offline at 30 fps must give the same frame log and the same sound, and so must
# starts at a few orders, in Chromium (all of them with ORVEL_START_CASES=all). A private
# PulseAudio daemon with a null sink is the browsers' sound device.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../.." && pwd)
native=$(cd "$1" && pwd)
web=$(cd "$2" && pwd)

# puppeteer-core drives the browsers; the lock file pins it. Reinstalled only when it changes.
if ! cmp -s "$here/package-lock.json" "$web/node/package-lock.json"; then
  rm -rf "$web/node"
  mkdir -p "$web/node"
  cp "$here/package.json" "$here/package-lock.json" "$web/node/"
  (cd "$web/node" && npm ci --no-audit --no-fund --loglevel=error)
fi

for fps in 30 60; do
  (cd "$native" && ./orvel --render --fps $fps --frames "$web/native-$fps.tsv" --wav "$web/native-$fps.wav")
done

pulse_dir="$web/test-pulse"
trap '"$root/tests/support/private-pulse.sh" stop "$pulse_dir"' EXIT
pulse_server=$("$root/tests/support/private-pulse.sh" start "$pulse_dir")

ORVEL_SITE="$web/site" ORVEL_NATIVE_LOG="$web/native-30.tsv" ORVEL_NATIVE_WAV="$web/native-30.wav" \
  ORVEL_NODE_MODULES="$web/node/node_modules" ORVEL_SCRATCH="$web/test-scratch" ORVEL_PULSE_SERVER="$pulse_server" \
  ORVEL_NATIVE_LOG_30="$web/native-30.tsv" ORVEL_NATIVE_WAV_30="$web/native-30.wav" \
  ORVEL_NATIVE_LOG_60="$web/native-60.tsv" ORVEL_NATIVE_WAV_60="$web/native-60.wav" \
  node --test --test-concurrency=1 "$here/page.test.js" "$here/start.test.js"
