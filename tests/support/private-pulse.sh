#!/usr/bin/env bash
# tests/support/private-pulse.sh start DIR [pulseaudio|pipewire] | stop DIR
#
# A sound server of the tests' own, not a system service, speaking PulseAudio's protocol:
# PulseAudio itself (the default), or PipeWire with its PulseAudio service and session
# manager on a private D-Bus. Its sockets, state and logs in DIR, one null sink "orvel" as
# the default, anonymous clients. "start" returns once it answers and prints the server
# string; a client reaches it with PULSE_SERVER set to that (ALSA programs too, through
# PulseAudio's ALSA plug-in). The sink's monitor, "orvel.monitor", records what the sink
# plays.
set -euo pipefail
cmd=${1:-}
dir=${2:-}
kind=${3:-pulseaudio}
if [ -z "$cmd" ] || [ -z "$dir" ]; then
  echo "usage: $0 start DIR [pulseaudio|pipewire] | stop DIR" >&2
  exit 2
fi
mkdir -p "$dir"
dir=$(cd "$dir" && pwd)

answers() { PULSE_SERVER=$1 pactl info >/dev/null 2>&1; }

wait_for() {
  local server=$1
  for _ in $(seq 150); do
    answers "$server" && return 0
    kill -0 "$(cat "$dir/pid")" 2>/dev/null || return 1
    sleep 0.1
  done
  return 1
}

case $cmd in
  start)
    "$0" stop "$dir"
    # Its own home and runtime folder: nothing of a desktop session's server is touched.
    export HOME=$dir XDG_RUNTIME_DIR=$dir XDG_CONFIG_HOME=$dir/config
    case $kind in
      pulseaudio)
        command -v pulseaudio >/dev/null || { echo "pulseaudio is not installed" >&2; exit 1; }
        server=unix:$dir/native
        cat >"$dir/daemon.pa" <<PA
load-module module-native-protocol-unix auth-anonymous=1 socket=$dir/native
load-module module-null-sink sink_name=orvel rate=44100 channels=2
set-default-sink orvel
PA
        setsid pulseaudio -n -F "$dir/daemon.pa" --daemonize=no --use-pid-file=no \
          --exit-idle-time=-1 --log-target="file:$dir/pulse.log" </dev/null >/dev/null 2>&1 &
        echo $! >"$dir/pid"
        wait_for "$server" || { echo "PulseAudio did not start; its log: $dir/pulse.log" >&2; exit 1; }
        ;;
      pipewire)
        for p in pipewire pipewire-pulse wireplumber dbus-run-session; do
          command -v $p >/dev/null || { echo "$p is not installed" >&2; exit 1; }
        done
        server=unix:$dir/pulse/native
        cat >"$dir/session.sh" <<SH
#!/bin/sh
pipewire >"$dir/pipewire.log" 2>&1 &
sleep 0.3
wireplumber >"$dir/wireplumber.log" 2>&1 &
pipewire-pulse >"$dir/pipewire-pulse.log" 2>&1 &
wait
SH
        chmod +x "$dir/session.sh"
        setsid dbus-run-session -- "$dir/session.sh" </dev/null >"$dir/session.log" 2>&1 &
        echo $! >"$dir/pid"
        wait_for "$server" || { echo "PipeWire did not start; its logs: $dir/*.log" >&2; exit 1; }
        PULSE_SERVER=$server pactl load-module module-null-sink sink_name=orvel rate=44100 channels=2 >/dev/null
        PULSE_SERVER=$server pactl set-default-sink orvel
        ;;
      *)
        echo "unknown server: $kind" >&2
        exit 2
        ;;
    esac
    echo "$server"
    ;;
  stop)
    if [ -f "$dir/pid" ]; then
      pid=$(cat "$dir/pid")
      # The server and whatever it started share its session.
      kill -- -"$pid" 2>/dev/null || kill "$pid" 2>/dev/null || true
      for _ in $(seq 50); do kill -0 "$pid" 2>/dev/null || break; sleep 0.1; done
      kill -9 -- -"$pid" 2>/dev/null || true
      rm -f "$dir/pid"
    fi
    rm -rf "$dir/native" "$dir/pulse"
    ;;
  *)
    echo "usage: $0 start DIR [pulseaudio|pipewire] | stop DIR" >&2
    exit 2
    ;;
esac
