#!/bin/sh
# The music's live test's sound server, private to DIR: PulseAudio itself, or
# PipeWire with its PulseAudio server (a session D-Bus, pipewire, wireplumber,
# pipewire-pulse), either with a null sink named kiramoku_test as the default
# and no sound card. Its runtime folder is DIR/runtime; its processes are
# listed in DIR/pids, the sound server's own (the session bus left out) in
# DIR/sound-pids.
#
# usage: pulse-fixture.sh start|stop|crash|freeze|thaw DIR pulseaudio|pipewire
# (crash: every process of the server killed at once, as by a crash; freeze,
# thaw: the sound server's processes stopped, let go on; the bus answers on)
#
# Always exits 0: where the server cannot run, start writes why to DIR/skip
# and the live test counts itself skipped. Start first ends whatever an
# earlier start in DIR left running (a test killed before its clean-up), and
# a watcher ends the server when the process that started it is gone, so no
# daemon outlives the test run that needs it.
dir=$2
server=${3:-pulseaudio}

stop() {
  [ -f "$dir/pids" ] || return 0
  pids=$(cat "$dir/pids")
  rm -f "$dir/pids"
  # shellcheck disable=SC2086
  kill $pids 2>/dev/null
  for _ in $(seq 30); do
    # shellcheck disable=SC2086
    kill -0 $pids 2>/dev/null || return 0
    sleep 0.1
  done
  # shellcheck disable=SC2086
  kill -9 $pids 2>/dev/null
  return 0
}
skip() { echo "$1" >"$dir/skip"; stop; exit 0; }
started() { echo "$1" >>"$dir/pids"; [ "$2" = bus ] || echo "$1" >>"$dir/sound-pids"; }

[ "$1" = stop ] && { stop; exit 0; }
# shellcheck disable=SC2046
[ "$1" = crash ] && { kill -9 $(cat "$dir/pids") 2>/dev/null; rm -f "$dir/pids"; exit 0; }
[ "$1" = freeze ] && { xargs kill -STOP <"$dir/sound-pids"; exit 0; }
[ "$1" = thaw ] && { xargs kill -CONT <"$dir/sound-pids"; exit 0; }
mkdir -p "$dir" && stop && rm -f "$dir/skip" "$dir/sound-pids"
case $server in
  pulseaudio) tools="pulseaudio pactl parec" ;;
  pipewire) tools="dbus-daemon pipewire wireplumber pipewire-pulse pactl parec" ;;
  *) skip "no such sound server: $server" ;;
esac
for tool in $tools; do
  command -v "$tool" >/dev/null \
    || skip "$tool is missing (scripts/install-deps test installs pulseaudio, pipewire-pulse, wireplumber and pulseaudio-utils)"
done

rm -rf "$dir/runtime" "$dir/home"
mkdir -p -m 700 "$dir/runtime" "$dir/home" && export XDG_RUNTIME_DIR="$dir/runtime"
export HOME="$dir/home" XDG_CONFIG_HOME="$dir/home/.config" XDG_STATE_HOME="$dir/home/.local/state"
unset DISPLAY WAYLAND_DISPLAY PULSE_SERVER
log=$dir/server.log
: >"$log"
if [ "$server" = pulseaudio ]; then
  # At real-time priority, as a desktop's server: a machine busy building
  # would otherwise starve it, and the recording would show the machine's drop-outs.
  pulseaudio -n --daemonize=no --exit-idle-time=-1 --use-pid-file=no --disallow-exit --realtime=yes --high-priority=yes \
    -L "module-null-sink sink_name=kiramoku_test rate=44100" -L module-native-protocol-unix >>"$log" 2>&1 &
  started $!
else
  # WirePlumber sets nothing up without a session bus: no sink, no stream connected.
  export DBUS_SESSION_BUS_ADDRESS="unix:path=$XDG_RUNTIME_DIR/bus"
  dbus-daemon --session --address="$DBUS_SESSION_BUS_ADDRESS" --nofork --nopidfile >>"$log" 2>&1 &
  started $! bus
  for _ in $(seq 50); do [ -S "$XDG_RUNTIME_DIR/bus" ] && break; sleep 0.1; done
  pipewire >>"$log" 2>&1 &
  started $!
  for _ in $(seq 50); do [ -S "$XDG_RUNTIME_DIR/pipewire-0" ] && break; sleep 0.1; done
  wireplumber >>"$log" 2>&1 &
  started $!
  pipewire-pulse >>"$log" 2>&1 &
  started $!
fi

# The watcher: the server ends with the process that started it, or, when a
# test restarts it, with the one that started the first (the test run).
parent=$PPID
[ -f "$dir/owner" ] && kill -0 "$(cat "$dir/owner")" 2>/dev/null && parent=$(cat "$dir/owner")
echo "$parent" >"$dir/owner"
setsid sh -c 'while kill -0 "$1" 2>/dev/null && [ -f "$2/pids" ]; do sleep 1; done
  [ -f "$2/pids" ] && exec "$3" stop "$2"' watcher "$parent" "$dir" "$0" </dev/null >/dev/null 2>&1 &

alive() {
  for pid in $(cat "$dir/pids" 2>/dev/null); do kill -0 "$pid" 2>/dev/null || return 1; done
}
for _ in $(seq 100); do
  pactl info >/dev/null 2>&1 && break
  alive || skip "$server cannot start here: $(tail -c 400 "$log")"
  sleep 0.1
done
# PipeWire may refuse the sink or the default "Not supported" right after
# it starts: both are tried again until the server names the sink its default.
for _ in $(seq 50); do
  pactl list short sinks 2>/dev/null | grep -q kiramoku_test \
    || pactl load-module module-null-sink sink_name=kiramoku_test rate=44100 >/dev/null 2>&1
  pactl set-default-sink kiramoku_test >/dev/null 2>&1
  pactl info 2>/dev/null | grep -q '^Default Sink: kiramoku_test$' && break
  sleep 0.1
done
pactl info 2>/dev/null | grep -q '^Default Sink: kiramoku_test$' \
  || skip "$server does not answer with its sink: $(tail -c 400 "$log")"
pactl info 2>/dev/null | sed -n 's/^Server Name: //p' >"$dir/server-name"
if [ "$(id -u)" = 0 ] && command -v chrt >/dev/null; then
  for pid in $(cat "$dir/pids"); do chrt --all-tasks --rr --pid 10 "$pid" >/dev/null 2>&1; done
fi
exit 0
