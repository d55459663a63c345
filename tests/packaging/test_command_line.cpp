// The game started from a terminal, as someone new to it would: asking for
// help or the version, mistyping an option, or over ssh with no desktop at
// all. The table's runs reach no window system (no WAYLAND_DISPLAY, and no
// DISPLAY or QT_QPA_PLATFORM but one that leads nowhere), so none of them may
// need one or open a window; only the last test opens one, on its own Xvfb.
#include <QProcess>
#include <QtTest>

namespace {
constexpr int FinishMs = 20000;

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
        server.start("Xvfb", {"-displayfd", "1"});
        QVERIFY2(server.waitForReadyRead(FinishMs), "Xvfb (scripts/install-deps test)");
        QTemporaryDir runtime;  // no bus socket in it; it marks what this run starts
        const QString marker = "XDG_RUNTIME_DIR=" + runtime.path();
        game.setProcessEnvironment(GameEnvironment("DISPLAY=:" + server.readAll().trimmed() + ' ' + marker));
        game.start(KIRAMOKU_GAME, {});
        windowShown.setProcessEnvironment(game.processEnvironment());
        windowShown.start("xdotool", {"search", "--sync", "--onlyvisible", "--pid", QString::number(game.processId())});
        QVERIFY(windowShown.waitForFinished(FinishMs) && windowShown.exitCode() == 0);
        game.terminate();
        QVERIFY(game.waitForFinished(FinishMs));
        QCOMPARE(BusesRunningWith(marker), QStringList());
    }
};

QTEST_GUILESS_MAIN(CommandLineTest)
#include "test_command_line.moc"
