#!/bin/sh
# The real game on the fixture's sound server, which freezes (SIGSTOP) while
# a piece walks: its beeps and the music are held inside the server's
# library, yet the game ends within a second of はい to 本当によいですか？.
# Driven from the keyboard under Xvfb, as a player would.
#
# usage: check-frozen-exit.sh GAME FIXTURE DIR SERVER     (exit 77: skipped)
game=$1 fixture=$2 dir=$3 server=$4
EndWithinMs=1000
[ -f "$dir/skip" ] && { echo "SKIP: no private $server server: $(cat "$dir/skip")"; exit 77; }
for tool in xvfb-run xdotool; do
  command -v $tool >/dev/null || { echo "SKIP: $tool is missing (scripts/install-deps test installs it)"; exit 77; }
done
work=$(mktemp -d)
trap '"$fixture" thaw "$dir" "$server"; rm -rf "$work"' EXIT
export XDG_RUNTIME_DIR="$dir/runtime" HOME="$work" XDG_CONFIG_HOME="$work/config" XDG_DATA_HOME="$work/data"
unset QT_QPA_PLATFORM
# Under AddressSanitizer: Debian's libxkbcommon-x11 hands strndup a name
# that is not ended by a zero within its length, which strndup allows and
# strict string checks report; the game's own strings stay checked otherwise.
[ -n "${ASAN_OPTIONS:-}" ] && export ASAN_OPTIONS="$ASAN_OPTIONS:strict_string_checks=0"

# Inside the X server: the name, はじめる; a roll, and its stop with the
# server frozen; then 双六を止める and はい, timed until the process is gone.
# shellcheck disable=SC2016
xvfb-run -a sh -c '
  game=$1 fixture=$2 dir=$3 server=$4 work=$5
  "$game" --new-game >"$work/game.out" 2>&1 &
  pid=$!
  selection=$(timeout 20 xdotool search --sync --name 設定画面 | head -n 1)
  [ -n "$selection" ] || { echo "the selection window did not appear"; exit 1; }
  xdotool windowfocus --sync "$selection" && sleep 0.5
  xdotool key ctrl+a type --delay 50 ab
  xdotool key Tab && sleep 0.3 && xdotool key Return && sleep 2
  xdotool key space && sleep 0.5 && xdotool key Tab && sleep 0.2
  "$fixture" freeze "$dir" "$server"
  xdotool key space && sleep 4
  # Back from the roll button to 双六を止める (the focus may rest on either
  # die button after the walk), until the question shows; no window
  # manager gives it the focus: given as one would.
  for _ in 1 2 3; do
    xdotool key shift+Tab && sleep 0.3 && xdotool key space
    for _ in $(seq 30); do
      sleep 0.1
      for window in $(xdotool search --onlyvisible --pid $pid); do
        [ -z "$(xdotool getwindowname "$window")" ] && question=$window
      done
      [ -n "$question" ] && break 2
    done
  done
  kill -0 $pid || { echo "the game ended before はい"; exit 1; }
  [ -n "$question" ] || { echo "本当によいですか？ did not appear"; exit 1; }
  xdotool windowfocus --sync "$question" && sleep 0.3
  start=$(date +%s%N)
  xdotool key Return
  for _ in $(seq 500); do kill -0 $pid 2>/dev/null || break; sleep 0.01; done
  echo $(( ($(date +%s%N) - start) / 1000000 )) >"$work/ended-ms"
  kill -0 $pid 2>/dev/null && kill -9 $pid
  exit 0
' frozen-exit "$game" "$fixture" "$dir" "$server" "$work" || { cat "$work/game.out"; exit 1; }

ended=$(cat "$work/ended-ms" 2>/dev/null)
echo "on $server, frozen while a piece walked: the game ended ${ended:-?} ms after はい; it said:"
cat "$work/game.out"
[ -n "$ended" ] && [ "$ended" -le $EndWithinMs ] || { echo "FAIL: the game took longer than $EndWithinMs ms"; exit 1; }
