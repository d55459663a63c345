#!/usr/bin/python3
"""A blind player's first round, with the Orca screen reader listening.

On a virtual X display with its own D-Bus session and accessibility bus, Orca
logs what it would say ("SPEECH OUTPUT" lines; no sound device or synthesizer
needed) while the round is played from the keyboard alone. Each die at its
stop, each landing and each change of turn must be told once, in order. Then
the game is killed as a power cut would, started again, must ask aloud whether
to go on, and "はい" must bring back the board read before the kill.

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
ORCA_START, WINDOW_START, SPOKEN, ROUND = 30, 30, 20, 90
CONTINUE_QUESTION = "前回の続きから遊びますか？"
FIRST_DISPLAY = "140"  # well above the numbers desktops and other tests' xvfb-run take
# "12:34:56.789 - SPEECH OUTPUT: 'text'" and then the voice, "{...}".
SPEECH = re.compile(r"^(\d+):(\d+):([\d.]+) - SPEECH OUTPUT: '(.*?)' ?(?:\{[^{}]*\})?$", re.MULTILINE)
# A walking piece pauses 0.28 s on every square; a landing is told no sooner
# than half of that per step after the die that sent it.
STEP_SECONDS = 0.28
# Orca writes its debug log through a buffer: it runs with that file opened
# line by line, so that the log can be read while Orca speaks.
LINE_BUFFERED_ORCA = ("import functools, runpy, sys; sys.argv[0] = 'orca'; runpy.run_path("
                      "'/usr/bin/orca', init_globals={'open': functools.partial(open, buffering=1)}, run_name='__main__')")


def fail(message, word="FAIL", status=1):
    print(word + ": " + message, flush=True)
    sys.exit(status)


def skip(message):
    fail(message, "SKIP", SKIP)


class Desktop:
    """The accessibility bus, Orca and the game, stopped in reverse."""

    def __init__(self, workdir):
        self.workdir, self.processes = workdir, []
        self.log = os.path.join(workdir, "orca.log")
        # No speech server is started: Orca logs what it would say.
        self.env = dict(os.environ, QT_LINUX_ACCESSIBILITY_ALWAYS_ON="1", XDG_RUNTIME_DIR=workdir, HOME=workdir,
                        SPEECHD_CMD="/bin/false", PULSE_SERVER="unix:/nonexistent")
        self.env.pop("QT_QPA_PLATFORM", None)

    def start(self, label, argv):
        out = open(os.path.join(self.workdir, label + ".out"), "w")
        self.processes.append(subprocess.Popen(argv, env=self.env, stdout=out, stderr=subprocess.STDOUT))
        return self.processes[-1]

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

    def speech(self):
        """Every utterance so far, in order, with its time in seconds."""
        return [(int(h) * 3600 + int(m) * 60 + float(s), text) for h, m, s, text in SPEECH.findall(self.orca_log())]

    def window(self, what, argv):
        """The first window xdotool's search `argv` finds."""
        try:
            return subprocess.run(["xdotool", "search", "--sync", *argv], env=self.env, capture_output=True,
                                  text=True, timeout=WINDOW_START).stdout.split()[0]
        except subprocess.TimeoutExpired:
            fail(what)

    def press(self, then, *commands, timeout=SPOKEN, since=None):
        """Runs xdotool's `commands` as a player would press keys, then waits
        until an utterance since (or since the `since`th utterance) contains
        `then`; returns where those began."""
        mark = len(self.speech()) if since is None else since
        for command in commands:
            subprocess.run(["xdotool", *command], env=self.env, check=True)
        deadline = time.monotonic() + timeout
        while not any(then in text for _, text in self.speech()[mark:]):
            if time.monotonic() > deadline:
                fail("Orca never said %r; it said:\n  %s" % (then, "\n  ".join(t for _, t in self.speech()[mark:])))
            time.sleep(0.1)
        return mark


def kept_game(desktop, unlike=None):
    """The kept game's bytes once the file is there and not `unlike`."""
    path = os.path.join(desktop.workdir, ".local", "share", "kiramoku", "saved-game.json")
    deadline = time.monotonic() + SPOKEN
    while not os.path.exists(path) or open(path, "rb").read() == unlike:
        if time.monotonic() > deadline:
            fail("no game kept in %s since the board opened" % path)
        time.sleep(0.2)
    return open(path, "rb").read()


# The board's elements as a screen reader finds them, by their descriptions.
BOARD = (["だれの番かのお知らせ", "いま出ているさいころの目"]
         + ["プレイヤー%d%s" % (n, what) for n in range(1, 5)
            for what in ["の名前", "の持っている両", "が止まったマスでのひとこと"]]
         + ["盤の上のプレイヤー%dの位置" % n for n in range(1, 5)])


def board(process):
    """What the running game's board shows, read from its accessibility tree
    on the bus Orca listens to: each element's name by its description."""
    import pyatspi  # Orca's own: only once Orca is known to be installed
    shown = {}
    for app in pyatspi.Registry.getDesktop(0):
        if app is not None and app.get_process_id() == process.pid:
            for element in pyatspi.findAllDescendants(app, lambda e: e.description in BOARD):
                shown[element.description] = element.name
    return {description: shown.get(description) for description in BOARD}


def expected_round(dice):
    """The twelve sentences of the first round, given the four dice."""
    walks = {}
    with open(FIRST_WALKS, encoding="utf-8") as f:
        for line in f:
            if line.strip() and not line.startswith("#"):
                die, players, sentence = line.rstrip("\n").split(" ", 2)
                walks.update({(int(die), int(player)): sentence for player in players})
    names = [PLAYER_NAME] + COMPUTER_NAMES
    return [sentence for player, die in enumerate(dice, start=1)
            for sentence in ("さいころの目は%d" % die, "%s、%s" % (names[player - 1], walks[(die, player)]),
                             "%sの番でありんすぅ" % names[player % 4])]


def play(desktop, game):
    desktop.start("at-spi-bus", ["/usr/libexec/at-spi-bus-launcher", "--launch-immediately"])
    prefs = os.path.join(desktop.workdir, "orca-prefs")
    os.makedirs(prefs, exist_ok=True)
    orca = desktop.start("orca", ["/usr/bin/python3", "-c", LINE_BUFFERED_ORCA,
                                  "--user-prefs", prefs, "--debug-file", desktop.log])
    deadline = time.monotonic() + ORCA_START
    while "ORCA: Starting registry" not in desktop.orca_log():  # listening to the accessibility bus
        if orca.poll() is not None or time.monotonic() > deadline:
            skip("Orca could not start here (see %s)" % os.path.join(desktop.workdir, "orca.out"))
        time.sleep(0.2)

    first_run = desktop.start("kiramoku", [game])
    found = desktop.window("the selection window did not appear", ["--name", "設定画面"])
    # No window manager gives the new window the focus: give it as one would.
    desktop.press("プレイヤー1の名前", ["windowfocus", "--sync", found])
    # The name, then the start button, then the board's roll button.
    desktop.press("はじめる", ["key", "ctrl+a"], ["type", "--delay", "100", PLAYER_NAME], ["key", "Tab"])
    desktop.press("さいころをふる", ["key", "Return"])
    kept_at_start = kept_game(desktop)
    # Roll, half a second later move to the stop button, then stop: the three
    # computer turns play back; then it is the player's turn again.
    desktop.press("さいころをとめる", ["key", "--delay", "500", "space", "Tab"])
    stop = desktop.press(PLAYER_NAME + "の番でありんすぅ", ["key", "space"], timeout=ROUND)
    time.sleep(1)  # anything said twice would come now

    timed = desktop.speech()
    print("What Orca said, from the selection window on:")
    for when, utterance in timed:
        print("  %9.3f  %s" % (when - timed[0][0], utterance))
    check_round(timed[stop:])
    come_back(desktop, game, first_run, kept_at_start)


def come_back(desktop, game, first_run, kept_at_start):
    """Kills the game as the player's turn waits, starts it again and goes on
    from last time: the board must be the one read before."""
    shown = board(first_run)
    print("The board as read before the game was killed: %r" % shown)
    if not all(shown.values()):
        fail("the board could not be read whole: %r" % shown)
    # Kept again once the computers have played: not killed before that.
    kept_game(desktop, unlike=kept_at_start)
    first_run.send_signal(signal.SIGKILL)
    first_run.wait()

    # The question may be read as soon as it comes up, before it is given the focus.
    question = len(desktop.speech())
    again = desktop.start("kiramoku-again", [game])
    found = desktop.window("no window came up when the game was started again", ["--onlyvisible", "--pid", str(again.pid)])
    desktop.press(CONTINUE_QUESTION, ["windowfocus", "--sync", found], since=question)
    desktop.press("はい", since=question)  # the answer that has the focus
    desktop.press("さいころをふる", ["key", "Return"])  # the board's roll button has the focus
    print("What Orca said as the game was started again: %r" % [text for _, text in desktop.speech()[question:]])
    shown_again = board(again)
    if shown_again != shown:
        fail("the board came back otherwise than it was:\n  " + "\n  ".join(
            "%s: %r, not %r" % (what, shown_again[what], shown[what]) for what in BOARD if shown_again[what] != shown[what]))
    kept_game(desktop)  # forgotten only when the players end the game
    print("PASS: the game came back as it was")


def check_round(timed_after_stop):
    after_stop = [text for _, text in timed_after_stop]
    if any("双六を止める" in text for text in after_stop):
        fail("the turn named the quit button, so the focus was there while the pieces walked")
    for before, utterance in zip(after_stop, after_stop[1:]):
        if utterance == before:
            fail("said twice in a row: %r" % utterance)
    game_sentence = re.compile(r"さいころの目は|.*マス目|.*の番でありんすぅ$")
    told = [(when, text.rstrip(".")) for when, text in timed_after_stop if game_sentence.match(text.rstrip("."))]
    heard = [text for _, text in told]
    dice = [int(m.group(1)) for m in map(re.compile(r"さいころの目は(\d)$").match, heard) if m]
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
            fail("a walk of %d was told %.2f s after its die: faster than the piece walks" % (die, landed - stopped))
    print("PASS: the round was told: %d sentences for dice %s" % (len(heard), dice))


def end_session(workdir):
    """Ends every process of the session in `workdir`, this run's or one an
    earlier run left when it was killed: each carries the session's mark in
    its environment, whoever started it (the accessibility bus is the bus
    launcher's child, and outlives it). Asked to end, not killed: the virtual
    display, ended so, leaves no lock that would hold its number."""
    mark = ("KIRAMOKU_SCREEN_READER_SESSION=" + workdir).encode()
    for pid in filter(str.isdigit, os.listdir("/proc")):
        try:
            with open("/proc/%s/environ" % pid, "rb") as f:
                if mark in f.read().split(b"\0"):
                    os.kill(int(pid), signal.SIGTERM)
        except OSError:
            pass  # ended meanwhile, or not ours


def main():
    if len(sys.argv) != 3:
        sys.exit(__doc__)
    game, workdir = os.path.abspath(sys.argv[1]), os.path.abspath(sys.argv[2])
    if os.environ.get("KIRAMOKU_SCREEN_READER_SESSION") == workdir:
        desktop = Desktop(workdir)
        try:
            play(desktop, game)
        finally:
            desktop.stop()
        return
    for tool in ["orca", "xvfb-run", "xdotool", "dbus-run-session"]:
        if not shutil.which(tool):
            skip("%s is not installed (scripts/install-deps installs it)" % tool)
    if not os.path.exists("/usr/libexec/at-spi-bus-launcher"):
        skip("at-spi2-core is not installed (scripts/install-deps installs it)")
    end_session(workdir)
    shutil.rmtree(workdir, ignore_errors=True)
    os.makedirs(workdir)
    # A display and a session bus of our own, so that the accessibility bus and Orca are ours alone.
    env = dict(os.environ, KIRAMOKU_SCREEN_READER_SESSION=workdir)
    try:
        result = subprocess.run(["xvfb-run", "-a", "-n", FIRST_DISPLAY, "-s", "-screen 0 1280x1024x24 -nolisten tcp",
                                 "dbus-run-session", "--", "/usr/bin/python3", os.path.abspath(__file__), game,
                                 workdir], env=env)
    finally:
        end_session(workdir)
    sys.exit(result.returncode)


if __name__ == "__main__":
    signal.signal(signal.SIGTERM, lambda *_: sys.exit(1))
    main()
