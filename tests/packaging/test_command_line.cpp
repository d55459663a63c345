// The game started from a terminal, as someone new to it would: asking for
// help or the version, mistyping an option, or over ssh with no desktop at
// all. The table's runs reach no window system (no WAYLAND_DISPLAY, and no
// DISPLAY or QT_QPA_PLATFORM but one that leads nowhere), so none of them may
// need one or open a window; only the last test opens them, on its own Xvfb.
#include <QProcess>
#include <QtTest>

#include <xcb/xcb.h>

namespace {
constexpr int FinishMs = 20000, SecondStartMs = 5000;

// The system's environment without a window system or a session bus, then
// these NAME=value entries (split at spaces).
QProcessEnvironment GameEnvironment(const QString &entries)
{
    QProcessEnvironment variables = QProcessEnvironment::systemEnvironment();
    for (const char *name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM", "DBUS_SESSION_BUS_ADDRESS"})
        variables.remove(name);
    for (const QString &entry : entries.split(' ', Qt::SkipEmptyParts))
        variables.insert(entry.section('=', 0, 0), entry.section('=', 1));
    return variables;
}

// What an X tool says on the game's display.
QString Tool(const QProcess &game, const QString &program, const QStringList &arguments)
{
    QProcess tool;
    tool.setProcessEnvironment(game.processEnvironment());
    tool.start(program, arguments);
    tool.waitForFinished(FinishMs);
    return QString::fromLatin1(tool.readAllStandardOutput()).trimmed();
}

// The game's window once it is on screen (xdotool gives up when another window goes while it looks).
QString WindowOf(const QProcess &game)
{
    QString window;
    for (QDeadlineTimer deadline(FinishMs); window.isEmpty() && !deadline.hasExpired();)
        window = Tool(game, "xdotool", {"search", "--sync", "--onlyvisible", "--pid", QString::number(game.processId())});
    return window;
}

// Asks a window to close, as a window manager's close button does.
void CloseWindow(const QString &display, xcb_window_t window)
{
    xcb_connection_t *x = xcb_connect(display.toLatin1().constData(), nullptr);
    const auto atom = [x](const char *name) {
        const std::unique_ptr<xcb_intern_atom_reply_t, decltype(&std::free)> reply(
            xcb_intern_atom_reply(x, xcb_intern_atom(x, 0, uint16_t(std::strlen(name)), name), nullptr), &std::free);
        return reply->atom;
    };
    const uint8_t format = 32;  // of the data: 32-bit values
    xcb_client_message_event_t close{XCB_CLIENT_MESSAGE, format, 0, window, atom("WM_PROTOCOLS"), {}};
    close.data.data32[0] = atom("WM_DELETE_WINDOW");
    xcb_send_event(x, 0, window, XCB_EVENT_MASK_NO_EVENT, reinterpret_cast<const char *>(&close));
    std::free(xcb_get_input_focus_reply(x, xcb_get_input_focus(x), nullptr));  // handled before the connection goes
    xcb_disconnect(x);
}

// The session bus programs (dbus-launch, dbus-daemon) running with this environment entry.
QStringList BusesRunningWith(const QString &entry)
{
    QStringList found;
    for (const QString &pid : QDir("/proc").entryList({"[0-9]*"})) {
        QFile name("/proc/" + pid + "/comm"), environment("/proc/" + pid + "/environ");
        if (name.open(QIODevice::ReadOnly) && name.readAll().startsWith("dbus-") && environment.open(QIODevice::ReadOnly)
            && environment.readAll().split('\0').contains(entry.toLocal8Bit()))
            found << pid;
    }
    return found;
}
}  // namespace

class CommandLineTest : public QObject {
    Q_OBJECT

private slots:
    void theGameAnswersFromTheTerminal_data()
    {
        // clang-format off
        QTest::addColumn<QString>("arguments");  // split at spaces
        QTest::addColumn<QString>("environment");  // NAME=value, split at spaces
        QTest::addColumn<int>("exitCode");
        // All of stdout and of stderr, or only their first line where the usage follows.
        QTest::addColumn<QString>("wantOut");
        QTest::addColumn<QString>("wantErr");
        QTest::addColumn<bool>("usageShown");
        const QString none, version = "kiramoku 1.00", usage = "Usage: " KIRAMOKU_GAME " [options]",
                            noDesktop = "kiramoku: the game needs a graphical desktop (an X11 or Wayland session) and found none";
        QTest::newRow("the version") << "--version" << none << 0 << version << none << false;
        QTest::newRow("the version by its short name") << "-v" << none << 0 << version << none << false;
        QTest::newRow("the help") << "--help" << none << 0 << usage << none << true;
        QTest::newRow("the help by its short name") << "-h" << none << 0 << usage << none << true;
        QTest::newRow("the music option is known") << "--no-music --version" << none << 0 << version << none << false;
        QTest::newRow("the new game option is known") << "--new-game --version" << none << 0 << version << none << false;
        QTest::newRow("an unknown option") << "--bogus" << none << 2 << none << "kiramoku: Unknown option 'bogus'." << true;
        QTest::newRow("an argument the game does not take")
            << "board.txt" << none << 2 << none << "kiramoku: Unexpected argument 'board.txt'." << true;
        QTest::newRow("no display at all") << "" << none << 1 << none << noDesktop << false;
        QTest::newRow("the music option without a display") << "--no-music" << none << 1 << none << noDesktop << false;
        // An X11 display that is named but not there, such as a stale DISPLAY
        // in an ssh session: Qt itself finds no window system.
        QTest::newRow("a display that is not there") << "" << "DISPLAY=:987" << 1 << none << noDesktop << false;
        // A window system chosen by name whose plugin is there but cannot
        // connect, as -platform wayland on an X11 desktop: Qt's reason, then ours.
        const QString unreachable = "qt.qpa.xcb: could not connect to display :987\n"
                                    "qt.qpa.plugin: Could not load the Qt platform plugin \"xcb\" in \"\" even though it was found.\n"
                                    "kiramoku: the window system asked for (-platform or QT_QPA_PLATFORM) could not be reached";
        QTest::newRow("a window system chosen that cannot be reached") << "-platform xcb" << "DISPLAY=:987" << 1 << none << unreachable << false;
        QTest::newRow("a window system chosen in the environment that cannot be reached")
            << "" << "DISPLAY=:987 QT_QPA_PLATFORM=xcb" << 1 << none << unreachable << false;
        // clang-format on
    }

    void theGameAnswersFromTheTerminal()
    {
        QFETCH(QString, arguments);
        QFETCH(QString, environment);
        QFETCH(int, exitCode);
        QFETCH(QString, wantOut);
        QFETCH(QString, wantErr);
        QFETCH(bool, usageShown);

        QProcess game;
        game.setProcessEnvironment(GameEnvironment(environment));
        game.start(QStringLiteral(KIRAMOKU_GAME), arguments.split(QLatin1Char(' '), Qt::SkipEmptyParts));
        QVERIFY(game.waitForFinished(FinishMs));            // a hung game is killed as `game` goes
        QCOMPARE(game.exitStatus(), QProcess::NormalExit);  // not Qt's abort without a display
        QCOMPARE(game.exitCode(), exitCode);
        const QString said = QString::fromUtf8(game.readAllStandardOutput()), complained = QString::fromUtf8(game.readAllStandardError());
        const QStringList out = said.split(QLatin1Char('\n'), Qt::SkipEmptyParts), err = complained.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
        const qsizetype compared = usageShown ? 1 : -1;  // -1: every line
        QCOMPARE(out.mid(0, compared).join(QLatin1Char('\n')), wantOut);
        QCOMPARE(err.mid(0, compared).join(QLatin1Char('\n')), wantErr);
        for (const char *option : {"-h, --help", "-v, --version", "--no-music", "--new-game"})  // the help and the usage list each
            QVERIFY2(!usageShown || (exitCode == 0 ? said : complained).contains(QLatin1String(option)), option);
    }

    void aSecondStartBringsTheGameForwardOrSaysWhereItRuns_data()
    {
        // clang-format off
        QTest::addColumn<QString>("arguments");
        QTest::newRow("a plain start") << "";
        QTest::newRow("a start for a new game") << "--new-game";
        QTest::newRow("a start without music") << "--no-music";
        // clang-format on
    }

    // On an X display with no session bus, as under a bare window manager, after a game was
    // killed, beside another player's game in the same runtime folder; no bus stays there.
    void aSecondStartBringsTheGameForwardOrSaysWhereItRuns()
    {
#ifdef __SANITIZE_ADDRESS__
        QSKIP("X11's keymap library reads past a string it copies on connecting, which AddressSanitizer reports");
#endif
        QFETCH(QString, arguments);
        QProcess server, killed, first, other, second;
        server.start("Xvfb", {"-displayfd", "1"});
        QVERIFY2(server.waitForReadyRead(FinishMs), "Xvfb (scripts/install-deps test)");
        QTemporaryDir home, otherHome, runtime;  // no bus socket in the runtime folder; it marks what this run starts
        const QString display = ':' + server.readAll().trimmed(), marker = "XDG_RUNTIME_DIR=" + runtime.path(),
                      shared = "DISPLAY=" + display + ' ' + marker + " XDG_CONFIG_HOME=" + home.filePath("config");
        killed.setProcessEnvironment(GameEnvironment(shared + " XDG_DATA_HOME=" + home.path()));
        other.setProcessEnvironment(GameEnvironment(shared + " XDG_DATA_HOME=" + otherHome.path()));
        killed.start(KIRAMOKU_GAME, {});
        QVERIFY(!WindowOf(killed).isEmpty());
        killed.kill();  // its lock and socket stay behind
        QVERIFY(killed.waitForFinished(FinishMs));
        first.setProcessEnvironment(killed.processEnvironment());
        first.start(KIRAMOKU_GAME, {});
        const QString window = WindowOf(first);
        other.start(KIRAMOKU_GAME, {});
        const QString otherWindow = WindowOf(other);
        QFile lock(home.filePath("kiramoku/kiramoku.lock"));  // however long the first has run, its lock stands
        QVERIFY(lock.open(QIODevice::ReadOnly) && lock.setFileTime(QDateTime::currentDateTime().addDays(-1), QFileDevice::FileModificationTime));
        QVERIFY(!window.isEmpty() && !otherWindow.isEmpty() && Tool(first, "xdotool", {"getwindowfocus"}) != window);

        const auto startAgain = [&] {
            second.setProcessEnvironment(first.processEnvironment());
            second.setProcessChannelMode(QProcess::MergedChannels);
            second.start(KIRAMOKU_GAME, arguments.split(' ', Qt::SkipEmptyParts));
            return second.waitForFinished(SecondStartMs) && second.exitCode() == 0 ? QString::fromUtf8(second.readAll()) : QString();
        };
        QCOMPARE(startAgain(), "kiramoku: the game is already running; its window is brought to the front\n");
        QTRY_COMPARE(Tool(first, "xdotool", {"getwindowfocus"}), window);
        const QString stack = Tool(first, "xwininfo", {"-root", "-children"});  // the top first
        QVERIFY(stack.indexOf(QString::number(window.toUInt(), 16)) < stack.indexOf(QString::number(otherWindow.toUInt(), 16)));

        CloseWindow(display, window.toUInt());  // then the first leaves no lock and no socket behind
        QVERIFY(first.waitForFinished(FinishMs) && first.exitCode() == 0);
        QVERIFY(QDir(home.filePath("kiramoku")).isEmpty());
        QCOMPARE(QDir(runtime.path()).entryList({"kiramoku-*"}, QDir::System).size(), 1);  // the other game's
        QCOMPARE(BusesRunningWith(marker), QStringList());

        // Two computers share the home folder: the lock names the other one, and a process running here too.
        const QByteArray held = QByteArray::number(QCoreApplication::applicationPid()) + "\nkiramoku\nanother-computer\n";
        lock.close();
        QVERIFY(lock.open(QIODevice::WriteOnly) && lock.write(held) == held.size() && lock.flush()
                && lock.setFileTime(QDateTime::currentDateTime().addSecs(-290), QFileDevice::FileModificationTime));
        QCOMPARE(startAgain(), "kiramoku: the game is already running on another-computer\n");
        QVERIFY(!QFileInfo::exists(home.filePath("config")));  // no settings written by any start so far
        QVERIFY(lock.setFileTime(QDateTime::currentDateTime().addSecs(-310), QFileDevice::FileModificationTime));
        QCOMPARE(startAgain(), QString());  // not heard from for over five minutes: a start as any other
        QVERIFY(!WindowOf(second).isEmpty());
        QCOMPARE(QDir(runtime.path()).entryList({"kiramoku-*"}, QDir::System).size(), 2);
    }
};

QTEST_GUILESS_MAIN(CommandLineTest)
#include "test_command_line.moc"
