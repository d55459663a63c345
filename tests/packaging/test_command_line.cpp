// The game started from a terminal, as someone new to it would: asking for
// help or the version, mistyping an option, or over ssh with no desktop at
// all. Every run here has no window system (no DISPLAY, no WAYLAND_DISPLAY,
// no QT_QPA_PLATFORM), so none of them may need one or open a window.
#include <QProcess>
#include <QtTest>

namespace {
constexpr int FinishMs = 20000;
} // namespace

class CommandLineTest : public QObject {
    Q_OBJECT

private slots:
    void theGameAnswersFromTheTerminal_data()
    {
        QTest::addColumn<QString>("arguments");  // split at spaces
        QTest::addColumn<QString>("display");
        QTest::addColumn<int>("exitCode");
        QTest::addColumn<QString>("firstOut");  // the first line on stdout, or empty
        QTest::addColumn<QString>("firstErr");  // the first line on stderr, or empty
        QTest::addColumn<bool>("usageShown");
        const QString none, version = "kiramoku 1.00", usage = "Usage: " KIRAMOKU_GAME " [options]",
                            noDesktop = "kiramoku: the game needs a graphical desktop (an X11 or Wayland session) and found none";
        QTest::newRow("the version") << "--version" << none << 0 << version << none << false;
        QTest::newRow("the version by its short name") << "-v" << none << 0 << version << none << false;
        QTest::newRow("the help") << "--help" << none << 0 << usage << none << true;
        QTest::newRow("the help by its short name") << "-h" << none << 0 << usage << none << true;
        QTest::newRow("the music option is known") << "--no-music --version" << none << 0 << version << none << false;
        QTest::newRow("an unknown option")
            << "--bogus" << none << 2 << none << "kiramoku: Unknown option 'bogus'." << true;
        QTest::newRow("an argument the game does not take")
            << "board.txt" << none << 2 << none << "kiramoku: Unexpected argument 'board.txt'." << true;
        QTest::newRow("no display at all") << "" << none << 1 << none << noDesktop << false;
        QTest::newRow("the music option without a display") << "--no-music" << none << 1 << none << noDesktop << false;
        // An X11 display that is named but not there, such as a stale DISPLAY
        // in an ssh session: Qt itself finds no window system.
        QTest::newRow("a display that is not there") << "" << ":987" << 1 << none << noDesktop << false;
    }

    void theGameAnswersFromTheTerminal()
    {
        QFETCH(QString, arguments);
        QFETCH(QString, display);
        QFETCH(int, exitCode);
        QFETCH(QString, firstOut);
        QFETCH(QString, firstErr);
        QFETCH(bool, usageShown);

        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        for (const char *name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"})
            environment.remove(QString::fromLatin1(name));
        if (!display.isEmpty())
            environment.insert(QStringLiteral("DISPLAY"), display);
        QProcess game;
        game.setProcessEnvironment(environment);
        game.start(QStringLiteral(KIRAMOKU_GAME), arguments.split(QLatin1Char(' '), Qt::SkipEmptyParts));
        QVERIFY(game.waitForFinished(FinishMs));  // a hung game is killed as `game` goes
        QCOMPARE(game.exitStatus(), QProcess::NormalExit);  // not Qt's abort without a display
        QCOMPARE(game.exitCode(), exitCode);
        const QString said = QString::fromUtf8(game.readAllStandardOutput());
        const QString complained = QString::fromUtf8(game.readAllStandardError());
        const QStringList out = said.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
        const QStringList err = complained.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
        QCOMPARE(out.value(0), firstOut);
        QCOMPARE(err.value(0), firstErr);
        // The help and the usage list every option; the other answers are one line.
        const QString &usage = exitCode == 0 ? said : complained;
        if (usageShown) {
            for (const char *option : {"-h, --help", "-v, --version", "--no-music"})
                QVERIFY2(usage.contains(QLatin1String(option)), option);
        } else {
            QCOMPARE(out.size() + err.size(), 1);
        }
    }
};

QTEST_GUILESS_MAIN(CommandLineTest)
#include "test_command_line.moc"
