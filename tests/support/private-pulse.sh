#!/usr/bin/env bash
# tests/support/private-pulse.sh start DIR | stop DIR
#
# A PulseAudio daemon of the tests' own, not a system service: its socket, state and log in
# DIR, one null sink "orvel" as the default, anonymous clients. "start" returns once it
# answers and prints the server string; a client reaches it with PULSE_SERVER set to that
# (ALSA programs too, through PulseAudio's ALSA plug-in). The sink's monitor,
# "orvel.monitor", records what the sink plays.
set -euo pipefail
cmd=${1:-}
dir=${2:-}
if [ -z "$cmd" ] || [ -z "$dir" ]; then
  echo "usage: $0 start|stop DIR" >&2
  exit 2
fi
mkdir -p "$dir"
dir=$(cd "$dir" && pwd)
server=unix:$dir/native

case $cmd in
  start)
    command -v pulseaudio >/dev/null || { echo "pulseaudio is not installed" >&2; exit 1; }
    "$0" stop "$dir"
    cat >"$dir/daemon.pa" <<PA
load-module module-native-protocol-unix auth-anonymous=1 socket=$dir/native
load-module module-null-sink sink_name=orvel rate=44100 channels=2
set-default-sink orvel
PA
    # Its own home and runtime folder: nothing of a desktop session's daemon is touched.
    HOME=$dir XDG_RUNTIME_DIR=$dir XDG_CONFIG_HOME=$dir/config \
      setsid pulseaudio -n -F "$dir/daemon.pa" --daemonize=no --use-pid-file=no \
      --exit-idle-time=-1 --log-target="file:$dir/pulse.log" </dev/null >/dev/null 2>&1 &
    echo $! >"$dir/pid"
    for _ in $(seq 100); do
      if PULSE_SERVER=$server pactl info >/dev/null 2>&1; then
        echo "$server"
        exit 0
      fi
      kill -0 "$(cat "$dir/pid")" 2>/dev/null || break
      sleep 0.1
    done
    echo "the private PulseAudio daemon did not start; its log: $dir/pulse.log" >&2
    exit 1
    ;;
  stop)
    if [ -f "$dir/pid" ]; then
      pid=$(cat "$dir/pid")
      kill "$pid" 2>/dev/null || true
      for _ in $(seq 50); do kill -0 "$pid" 2>/dev/null || break; sleep 0.1; done
      kill -9 "$pid" 2>/dev/null || true
      rm -f "$dir/pid"
    fi
    rm -f "$dir/native"
    ;;
  *)
    echo "usage: $0 start|stop DIR" >&2
    exit 2
    ;;
esac
