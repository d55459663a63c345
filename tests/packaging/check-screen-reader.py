#!/usr/bin/python3
"""A blind player's first round, with the Orca screen reader listening.

On a virtual X display (xvfb-run) with its own D-Bus session and accessibility bus, Orca
runs with its debug log, then the game; the round is played from the keyboard
alone: type a name, start, roll, stop, and wait while the three computer
players take their turns. Every utterance is a "SPEECH OUTPUT" line of Orca's
log, so no sound device or speech synthesizer is needed. The round must have
been told: each die's number at its stop, each landing (who, the square and
what is written on it, the square's line, the purse), each change of turn,
each once and in the order the board shows them.

    check-screen-reader.py GAME WORKDIR

Exit status 77 (a skip) only when Orca cannot start at all here.
"""

import os
import re
import shutil
import signal
import subprocess
import sys
import time

SKIP = 77
PLAYER_NAME = "Tarou"
COMPUTER_NAMES = ["越後屋の若旦那", "錠前屋の若旦那", "旗本の三男坊"]
# What each first walk from the start square is told after the walker's
# name, the same list test_accessibility reads.
FIRST_WALKS = os.path.join(os.path.dirname(os.path.abspath(__file__)), "first-walks.txt")

# How long to wait for each thing to happen, in seconds: generous, as the
# machine may be busy building.
ORCA_START = 30
WINDOW_START = 30
SPOKEN = 20
ROUND = 90

FIRST_DISPLAY = "140"  # well above the numbers desktops and other tests' xvfb-run take

# "12:34:56.789 - SPEECH OUTPUT: 'text'" and then the voice, "{...}".
SPEECH = re.compile(r"^(\d+):(\d+):([\d.]+) - SPEECH OUTPUT: '(.*?)' ?(?:\{[^{}]*\})?$")

# A walking piece pauses 0.28 s on every square; a landing is told no sooner
# than half of that per step after the die that sent it.
STEP_SECONDS = 0.28


def fail(message):
    print("FAIL: " + message, flush=True)
    sys.exit(1)


def skip(message):
    print("SKIP: " + message, flush=True)
    sys.exit(SKIP)


class Desktop:
    """The accessibility bus, Orca and the game, stopped in reverse."""

    def __init__(self, workdir):
        self.workdir = workdir
        self.processes = []
        self.log = os.path.join(workdir, "orca.log")
        self.env = dict(os.environ)

    def start(self, label, argv, **kwargs):
        out = open(os.path.join(self.workdir, label + ".out"), "w")
        process = subprocess.Popen(argv, env=self.env, stdout=out, stderr=subprocess.STDOUT, **kwargs)
        self.processes.append(process)
        return process

    def stop(self):
        for process in reversed(self.processes):
            process.kill()
            process.wait()

    def orca_log(self):
        try:
            with open(self.log, encoding="utf-8", errors="replace") as f:
                return f.read()
        except FileNotFoundError:
            return ""

    def timed_speech(self):
        """Every utterance so far, in order, with its time in seconds."""
        found = [m for m in map(SPEECH.match, self.orca_log().splitlines()) if m]
        return [(int(m.group(1)) * 3600 + int(m.group(2)) * 60 + float(m.group(3)), m.group(4)) for m in found]

    def speech(self):
        """Every utterance so far, in order."""
        return [text for _, text in self.timed_speech()]

    def wait_for_speech(self, what, after, timeout=SPOKEN):
        """Waits until an utterance after the first `after` contains `what`."""
        deadline = time.monotonic() + timeout
        while time.monotonic() < deadline:
            spoken = self.speech()
            if any(what in s for s in spoken[after:]):
                return
            time.sleep(0.1)
        fail("Orca never said %r; it said:\n  %s" % (what, "\n  ".join(self.speech()[after:])))

    def xdotool(self, command, *what):
        """Presses keys ("key") or types text ("type") as a player would."""
        subprocess.run(["xdotool", command, "--delay", "100", *what], env=self.env, check=True)


def line_buffered_orca(workdir):
    """Orca writes its debug log through a buffer; this runs Orca with the log
    written line by line, so it can be read while Orca runs."""
    wrapper = os.path.join(workdir, "orca-line-buffered.py")
    with open(wrapper, "w") as f:
        f.write(
            "import builtins, runpy, sys\n"
            "def line_open(file, mode='r', *args, **kwargs):\n"
            "    if 'w' in mode and 'b' not in mode and not args:\n"
            "        kwargs.setdefault('buffering', 1)\n"
            "    return builtins.open(file, mode, *args, **kwargs)\n"
            "sys.argv = ['orca'] + sys.argv[1:]\n"
            "runpy.run_path('/usr/bin/orca', init_globals={'open': line_open}, run_name='__main__')\n")
    return wrapper


def expected_round(dice):
    """The twelve sentences of the first round, given the four dice."""
    walks = {}
    with open(FIRST_WALKS, encoding="utf-8") as f:
        for line in f:
            if line.strip() and not line.startswith("#"):
                die, players, sentence = line.rstrip("\n").split(" ", 2)
                walks.update({(int(die), int(player)): sentence for player in players})
    names = [PLAYER_NAME] + COMPUTER_NAMES
    sentences = []
    for player, die in enumerate(dice, start=1):
        sentences += ["さいころの目は%d" % die, "%s、%s" % (names[player - 1], walks[(die, player)]),
                      "%sの番でありんすぅ" % names[player % 4]]
    return sentences


def is_game_sentence(utterance):
    return (utterance.startswith("さいころの目は") or "マス目" in utterance
            or utterance.endswith("の番でありんすぅ"))


def inside(game, workdir):
    desktop = Desktop(workdir)
    try:
        play(desktop, game, workdir)
    finally:
        desktop.stop()


def play(desktop, game, workdir):
    env = desktop.env
    env.pop("QT_QPA_PLATFORM", None)
    env["QT_LINUX_ACCESSIBILITY_ALWAYS_ON"] = "1"
    env["XDG_RUNTIME_DIR"] = workdir
    env["HOME"] = workdir
    # No speech server is started: Orca logs what it would say.
    env["SPEECHD_CMD"] = "/bin/false"
    env["PULSE_SERVER"] = "unix:/nonexistent"
    desktop.start("at-spi-bus", ["/usr/libexec/at-spi-bus-launcher", "--launch-immediately"])

    prefs = os.path.join(workdir, "orca-prefs")
    os.makedirs(prefs, exist_ok=True)
    orca = desktop.start("orca", ["/usr/bin/python3", line_buffered_orca(workdir),
                          "--user-prefs", prefs, "--debug-file", desktop.log])
    deadline = time.monotonic() + ORCA_START
    while "ORCA: Starting registry" not in desktop.orca_log():  # listening to the accessibility bus
        if orca.poll() is not None or time.monotonic() > deadline:
            skip("Orca could not start here (see %s)" % os.path.join(workdir, "orca.out"))
        time.sleep(0.2)

    desktop.start("kiramoku", [game])
    try:
        found = subprocess.run(["xdotool", "search", "--sync", "--name", "設定画面"], env=env,
                               capture_output=True, text=True, timeout=WINDOW_START)
    except subprocess.TimeoutExpired:
        fail("the selection window did not appear")
    window = found.stdout.split()[0]
    # No window manager gives the new window the focus: give it as one would.
    subprocess.run(["xdotool", "windowfocus", "--sync", window], env=env, check=True)
    desktop.wait_for_speech("プレイヤー1の名前", 0)

    # The name, then the start button, then the board's roll button.
    desktop.xdotool("key", "ctrl+a")
    desktop.xdotool("type", PLAYER_NAME)
    mark = len(desktop.speech())
    desktop.xdotool("key", "Tab")
    desktop.wait_for_speech("はじめる", mark)
    mark = len(desktop.speech())
    desktop.xdotool("key", "Return")
    desktop.wait_for_speech("さいころをふる", mark)

    # Roll, move to the stop button, stop.
    mark = len(desktop.speech())
    desktop.xdotool("key", "space")
    time.sleep(0.5)
    desktop.xdotool("key", "Tab")
    desktop.wait_for_speech("さいころをとめる", mark)
    stop = len(desktop.speech())
    desktop.xdotool("key", "space")
    # The three computer turns play back; then it is the player's turn again.
    desktop.wait_for_speech(PLAYER_NAME + "の番でありんすぅ", stop, ROUND)
    time.sleep(1)  # anything said twice would come now

    timed = desktop.timed_speech()
    print("What Orca said, from the selection window on:")
    for when, utterance in timed:
        print("  %9.3f  %s" % (when - timed[0][0], utterance))
    check_round(timed[stop:])


def check_round(timed_after_stop):
    after_stop = [text for _, text in timed_after_stop]
    if any("双六を止める" in text for text in after_stop):
        fail("the turn named the quit button, so the focus was there while the pieces walked")
    for before, utterance in zip(after_stop, after_stop[1:]):
        if utterance == before:
            fail("said twice in a row: %r" % utterance)
    told = [(when, text.rstrip(".")) for when, text in timed_after_stop if is_game_sentence(text.rstrip("."))]
    heard = [text for _, text in told]
    dice = [int(m.group(1)) for m in (re.fullmatch(r"さいころの目は(\d)", s) for s in heard) if m]
    if len(dice) != 4:
        fail("expected four dice at four stops, heard %d:\n  %s" % (len(dice), "\n  ".join(heard)))
    expected = expected_round(dice)
    if heard != expected:
        fail("the round was not told once each, in order.\nHeard:\n  %s\nExpected:\n  %s"
             % ("\n  ".join(heard), "\n  ".join(expected)))
    # Told as the walks are seen, not all at once: each landing comes after
    # its walk has had time to be drawn.
    for turn, die in enumerate(dice):
        stopped, landed = told[3 * turn][0], told[3 * turn + 1][0]
        if landed - stopped < die * STEP_SECONDS / 2:
            fail("a walk of %d was told %.2f s after its die: faster than the piece walks"
                 % (die, landed - stopped))
    print("PASS: the round was told: %d sentences for dice %s" % (len(heard), dice))


def main():
    if len(sys.argv) != 3:
        sys.exit(__doc__)
    game, workdir = os.path.abspath(sys.argv[1]), os.path.abspath(sys.argv[2])
    if os.environ.get("KIRAMOKU_SCREEN_READER_SESSION") == "1":
        inside(game, workdir)
        return
    for tool in ["orca", "xvfb-run", "xdotool", "dbus-run-session"]:
        if not shutil.which(tool):
            skip("%s is not installed (scripts/install-deps installs it)" % tool)
    if not os.path.exists("/usr/libexec/at-spi-bus-launcher"):
        skip("at-spi2-core is not installed (scripts/install-deps installs it)")
    shutil.rmtree(workdir, ignore_errors=True)
    os.makedirs(workdir)
    # A display and a session bus of our own, so that the accessibility bus and Orca are ours alone.
    env = dict(os.environ, KIRAMOKU_SCREEN_READER_SESSION="1")
    result = subprocess.run(["xvfb-run", "-a", "-n", FIRST_DISPLAY, "-s", "-screen 0 1280x1024x24 -nolisten tcp",
                             "dbus-run-session", "--", "/usr/bin/python3", os.path.abspath(__file__), game, workdir],
                            env=env)
    sys.exit(result.returncode)


if __name__ == "__main__":
    signal.signal(signal.SIGTERM, lambda *_: sys.exit(1))
    main()
