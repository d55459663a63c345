#!/bin/sh
# The music's live test's sound server: a private PulseAudio daemon with a
# null sink, its own runtime folder (DIR/runtime, its process in DIR/pid),
# no D-Bus and no sound card. Usage: pulse-fixture.sh start|stop DIR.
# Always exits 0: where PulseAudio cannot run, start writes why to DIR/skip
# and the live test counts itself skipped.
dir=$2
stop() { [ -f "$dir/pid" ] && kill "$(cat "$dir/pid")" 2>/dev/null; rm -f "$dir/pid"; }
skip() { echo "$1" >"$dir/skip"; stop; exit 0; }
[ "$1" = stop ] && { stop; exit 0; }
mkdir -p "$dir" && rm -f "$dir/skip"
{ command -v pipewire-pulse || [ -e /usr/bin/pipewire-pulse ]; } >/dev/null && skip "this desktop's sound server is PipeWire's (pipewire-pulse); the test does not start PulseAudio beside it"
for tool in pulseaudio pactl parec; do
  command -v $tool >/dev/null || skip "$tool is missing (scripts/install-deps test installs pulseaudio and pulseaudio-utils)"
done
mkdir -p -m 700 "$dir/runtime" && export XDG_RUNTIME_DIR="$dir/runtime"
# At real-time priority, as a desktop's server: a machine busy building would
# otherwise starve it, and the recording would show the machine's drop-outs.
pulseaudio -n --daemonize=no --exit-idle-time=-1 --use-pid-file=no --disallow-exit --realtime=yes --high-priority=yes \
  -L "module-null-sink sink_name=kiramoku_test rate=44100" -L module-native-protocol-unix >"$dir/pulse.log" 2>&1 &
echo $! >"$dir/pid"
for _ in $(seq 100); do
  pactl info >/dev/null 2>&1 && break
  kill -0 "$(cat "$dir/pid")" 2>/dev/null || skip "PulseAudio cannot start here: $(tail -c 400 "$dir/pulse.log")"
  sleep 0.1
done
pactl set-default-sink kiramoku_test 2>/dev/null || skip "PulseAudio does not answer: $(tail -c 400 "$dir/pulse.log")"
[ "$(id -u)" = 0 ] && command -v chrt >/dev/null && chrt --all-tasks --rr --pid 10 "$(cat "$dir/pid")" >/dev/null 2>&1
exit 0
