// The game started from a terminal, as someone new to it would: asking for
// help or the version, mistyping an option, or over ssh with no desktop at
// all. The first table's runs reach no window system (no WAYLAND_DISPLAY, and
// no DISPLAY or QT_QPA_PLATFORM but one that leads nowhere), so none of them
// may need one or open a window; the later tests start the game on a display
// of their own, and a second time while it runs.
#include <QProcess>
#include <QtTest>

#include <xcb/xcb.h>

namespace {
constexpr int FinishMs = 20000;
constexpr int SecondStartMs = 5000;
const QString HandedOver = "kiramoku: the game is already running; its window is brought to the front\n";

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

// A display of its own (Xvfb); its name, or nothing when it did not start.
QString StartXvfb(QProcess &server)
{
    server.start("Xvfb", {"-displayfd", "1"});
    return server.waitForReadyRead(FinishMs) ? ':' + server.readAll().trimmed() : QString();
}

// What an X tool says on the game's display, trimmed.
QString Tool(const QProcess &game, const QString &program, const QStringList &arguments)
{
    QProcess tool;
    tool.setProcessEnvironment(game.processEnvironment());
    tool.start(program, arguments);
    tool.waitForFinished(FinishMs);
    return QString::fromLatin1(tool.readAllStandardOutput()).trimmed();
}

// The game's window, once it is on screen.
QString WindowOf(const QProcess &game)
{
    return Tool(game, "xdotool", {"search", "--sync", "--onlyvisible", "--pid", QString::number(game.processId())});
}

// Asks a window to close, as a window manager's close button does.
void CloseWindow(const QString &display, xcb_window_t window)
{
    xcb_connection_t *x = xcb_connect(display.toLatin1().constData(), nullptr);
    const auto atom = [x](const QByteArray &name) {
        xcb_intern_atom_reply_t *reply = xcb_intern_atom_reply(x, xcb_intern_atom(x, 0, uint16_t(name.size()), name.constData()), nullptr);
        const xcb_atom_t found = reply->atom;
        std::free(reply);
        return found;
    };
    xcb_client_message_event_t close{};
    close.response_type = XCB_CLIENT_MESSAGE;
    close.format = 32;
    close.window = window;
    close.type = atom("WM_PROTOCOLS");
    close.data.data32[0] = atom("WM_DELETE_WINDOW");
    xcb_send_event(x, 0, window, XCB_EVENT_MASK_NO_EVENT, reinterpret_cast<const char *>(&close));
    std::free(xcb_get_input_focus_reply(x, xcb_get_input_focus(x), nullptr));  // sent before the connection goes
    xcb_disconnect(x);
}

QByteArray Contents(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
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
} // namespace

class CommandLineTest : public QObject {
    Q_OBJECT

private slots:
    void theGameAnswersFromTheTerminal_data()
    {
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
        QVERIFY(game.waitForFinished(FinishMs));  // a hung game is killed as `game` goes
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

    // On an X display with no session bus, as under a bare window manager:
    // the game leaves no bus running there once it has ended.
    void theGameLeavesNoSessionBusBehind()
    {
#ifdef __SANITIZE_ADDRESS__
        QSKIP("X11's keymap library reads past a string it copies on connecting, which AddressSanitizer reports");
#endif
        QProcess server, game, windowShown;
        const QString display = StartXvfb(server);
        QVERIFY2(!display.isEmpty(), "Xvfb (scripts/install-deps test)");
        QTemporaryDir runtime;  // no bus socket in it; it marks what this run starts
        const QString marker = "XDG_RUNTIME_DIR=" + runtime.path();
        game.setProcessEnvironment(GameEnvironment("DISPLAY=" + display + ' ' + marker));
        game.start(KIRAMOKU_GAME, {});
        windowShown.setProcessEnvironment(game.processEnvironment());
        windowShown.start("xdotool", {"search", "--sync", "--onlyvisible", "--pid", QString::number(game.processId())});
        QVERIFY(windowShown.waitForFinished(FinishMs) && windowShown.exitCode() == 0);
        game.terminate();
        QVERIFY(game.waitForFinished(FinishMs));
        QCOMPARE(BusesRunningWith(marker), QStringList());
    }

    void aSecondStartBringsTheRunningGameForward_data()
    {
        QTest::addColumn<QString>("arguments");
        QTest::newRow("a plain start") << "";
        QTest::newRow("a start for a new game") << "--new-game";
        QTest::newRow("a start without music") << "--no-music";
    }

    // Beside another player's game, whose own data folder gives it a socket
    // of its own in the same runtime folder.
    void aSecondStartBringsTheRunningGameForward()
    {
        QFETCH(QString, arguments);
        QProcess server, first, other, second;
        const QString display = StartXvfb(server);
        QVERIFY2(!display.isEmpty(), "Xvfb (scripts/install-deps test)");
        QTemporaryDir home, otherHome, runtime;
        const QString data = home.filePath("data"), config = home.filePath("config"), shared = "DISPLAY=" + display + " XDG_RUNTIME_DIR=" + runtime.path();
        first.setProcessEnvironment(GameEnvironment(shared + " XDG_DATA_HOME=" + data + " XDG_CONFIG_HOME=" + config));
        other.setProcessEnvironment(GameEnvironment(shared + " XDG_DATA_HOME=" + otherHome.path() + " XDG_CONFIG_HOME=" + otherHome.path()));
        first.start(KIRAMOKU_GAME, {});
        const QString window = WindowOf(first);
        other.start(KIRAMOKU_GAME, {});
        const QString otherWindow = WindowOf(other);
        QVERIFY(!window.isEmpty() && !otherWindow.isEmpty());
        // However long the first has run, its lock stands.
        QFile lock(data + "/kiramoku/kiramoku.lock");
        QVERIFY(lock.open(QIODevice::ReadOnly) && lock.setFileTime(QDateTime::currentDateTime().addDays(-1), QFileDevice::FileModificationTime));
        QVERIFY(Tool(first, "xdotool", {"getwindowfocus"}) != window);

        second.setProcessEnvironment(first.processEnvironment());
        second.start(KIRAMOKU_GAME, arguments.split(' ', Qt::SkipEmptyParts));
        QVERIFY(second.waitForFinished(SecondStartMs));
        QCOMPARE(second.exitCode(), 0);
        QCOMPARE(QString::fromUtf8(second.readAllStandardError()), HandedOver);
        QCOMPARE(second.readAllStandardOutput(), QByteArray());
        QVERIFY(!QFileInfo::exists(config));  // no settings written
        QTRY_COMPARE(Tool(first, "xdotool", {"getwindowfocus"}), window);
        const QString stack = Tool(first, "xwininfo", {"-root", "-children"});  // the top first
        QVERIFY(stack.indexOf(QString::number(window.toUInt(), 16)) < stack.indexOf(QString::number(otherWindow.toUInt(), 16)));

        // Closed, the first leaves no lock and no socket behind; the other's socket stays.
        CloseWindow(display, window.toUInt());
        QVERIFY(first.waitForFinished(FinishMs));
        QCOMPARE(first.exitCode(), 0);
        QCOMPARE(QString::fromUtf8(first.readAllStandardError()), QString());
        QCOMPARE(QDir(data + "/kiramoku").entryList(QDir::Files | QDir::Hidden), QStringList());
        QCOMPARE(QDir(runtime.path()).entryList(QDir::System | QDir::NoDotAndDotDot).size(), 1);
        other.kill();
        other.waitForFinished();
    }

    void aLockLeftBehind_data()
    {
        QTest::addColumn<QByteArray>("lock");  // in QLockFile's own form: process, program, computer
        QTest::addColumn<int>("untouchedSeconds");
        QTest::addColumn<QString>("wantErr");  // nothing: a start as any other
        const QByteArray anotherComputer = QByteArray::number(QCoreApplication::applicationPid()) + "\nkiramoku\nanother-computer\n";
        // No process has this number: Linux numbers them below 4194304.
        QTest::newRow("a game killed on this computer") << "4194304\nkiramoku\n" + QSysInfo::machineHostName().toUtf8() + '\n' << 0 << QString();
        QTest::newRow("a game on another computer, heard from under five minutes ago")
            << anotherComputer << 290 << "kiramoku: the game is already running on another-computer\n";
        QTest::newRow("a game on another computer, not heard from for over five minutes") << anotherComputer << 310 << QString();
    }

    void aLockLeftBehind()
    {
        QFETCH(QByteArray, lock);
        QFETCH(int, untouchedSeconds);
        QFETCH(QString, wantErr);
        QTemporaryDir home, runtime;
        const QString lockPath = home.filePath("data/kiramoku/kiramoku.lock");
        QVERIFY(QDir().mkpath(home.filePath("data/kiramoku")));
        QFile planted(lockPath);
        QVERIFY(planted.open(QIODevice::WriteOnly) && planted.write(lock) == lock.size() && planted.flush()
                && planted.setFileTime(QDateTime::currentDateTime().addSecs(-untouchedSeconds), QFileDevice::FileModificationTime));
        planted.close();

        QProcess game;
        game.setProcessEnvironment(GameEnvironment("QT_QPA_PLATFORM=offscreen XDG_RUNTIME_DIR=" + runtime.path() + " XDG_DATA_HOME="
                                                   + home.filePath("data") + " XDG_CONFIG_HOME=" + home.filePath("config")));
        game.start(KIRAMOKU_GAME, {"--no-music"});
        if (wantErr.isEmpty()) {  // the game takes the lock over and plays on
            QTRY_VERIFY_WITH_TIMEOUT(Contents(lockPath).startsWith(QByteArray::number(game.processId()) + '\n'), FinishMs);
            QCOMPARE(game.state(), QProcess::Running);
            game.kill();
            QVERIFY(game.waitForFinished(FinishMs));
            return;
        }
        QVERIFY(game.waitForFinished(SecondStartMs));
        QCOMPARE(game.exitCode(), 0);
        QCOMPARE(QString::fromUtf8(game.readAllStandardError()), wantErr);
        QCOMPARE(Contents(lockPath), lock);
        QCOMPARE(QDir(home.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot), QStringList{"data"});  // no settings
    }
};

QTEST_GUILESS_MAIN(CommandLineTest)
#include "test_command_line.moc"
