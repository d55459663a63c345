#!/bin/sh
# The music's live test's sound server: a private PulseAudio daemon with a
# null sink, its own runtime folder, no D-Bus and no sound card.
#   pulse-fixture.sh start DIR   starts it (DIR/runtime, DIR/pid); where
#                                PulseAudio cannot run, writes why to DIR/skip
#   pulse-fixture.sh stop DIR    stops it
# Always exits 0: the live test reads DIR/skip and counts itself skipped.
action=$1 dir=$2
runtime=$dir/runtime
stop() {
  [ -f "$dir/pid" ] && kill "$(cat "$dir/pid")" 2>/dev/null
  rm -f "$dir/pid"
}
skip() { echo "$1" >"$dir/skip"; stop; exit 0; }

case $action in
stop) stop; exit 0 ;;
start) ;;
*) echo "usage: $0 start|stop DIR" >&2; exit 2 ;;
esac
mkdir -p "$dir" && rm -f "$dir/skip"
if command -v pipewire-pulse >/dev/null || [ -e /usr/bin/pipewire-pulse ]; then
  skip "this desktop's sound server is PipeWire's (pipewire-pulse); the test does not start PulseAudio beside it"
fi
for tool in pulseaudio pactl parec; do
  command -v $tool >/dev/null || skip "$tool is missing (scripts/install-deps test installs pulseaudio and pulseaudio-utils)"
done
mkdir -p -m 700 "$runtime"
export XDG_RUNTIME_DIR=$runtime
# Its threads at real-time priority, as a desktop's server has them: a
# machine busy building would otherwise starve the server's main thread,
# and the recording would show the machine's drop-outs, not the game's.
pulseaudio -n --daemonize=no --exit-idle-time=-1 --use-pid-file=no --disallow-exit \
  --realtime=yes --high-priority=yes \
  -L "module-null-sink sink_name=kiramoku_test rate=44100" -L module-native-protocol-unix \
  >"$dir/pulse.log" 2>&1 &
echo $! >"$dir/pid"
for _ in $(seq 100); do
  pactl info >/dev/null 2>&1 && break
  kill -0 "$(cat "$dir/pid")" 2>/dev/null || skip "PulseAudio cannot start here: $(tail -c 400 "$dir/pulse.log")"
  sleep 0.1
done
pactl set-default-sink kiramoku_test 2>/dev/null || skip "PulseAudio does not answer: $(tail -c 400 "$dir/pulse.log")"
if [ "$(id -u)" = 0 ] && command -v chrt >/dev/null; then
  chrt --all-tasks --rr --pid 10 "$(cat "$dir/pid")" >/dev/null 2>&1
fi
exit 0
