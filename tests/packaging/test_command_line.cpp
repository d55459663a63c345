// The game started from a terminal, as someone new to it would: asking for
// help or the version, mistyping an option, or over ssh with no desktop at
// all. Every run here has no window system (no DISPLAY, no WAYLAND_DISPLAY,
// no QT_QPA_PLATFORM), so none of them may need one or open a window.
#include <QProcess>
#include <QtTest>

namespace {

constexpr int FinishMs = 20000;

struct Run {
    int exitCode = -1;
    QString out;
    QString err;
};

Run RunGame(const QStringList &arguments, const QString &display)
{
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    for (const char *name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"})
        environment.remove(QString::fromLatin1(name));
    if (!display.isEmpty())
        environment.insert(QStringLiteral("DISPLAY"), display);
    QProcess game;
    game.setProcessEnvironment(environment);
    game.start(QStringLiteral(KIRAMOKU_GAME), arguments);
    if (!game.waitForFinished(FinishMs)) {
        game.kill();
        game.waitForFinished();
        return {};
    }
    if (game.exitStatus() != QProcess::NormalExit)
        return {};  // a crash, such as Qt's abort without a display
    return {game.exitCode(), QString::fromUtf8(game.readAllStandardOutput()),
            QString::fromUtf8(game.readAllStandardError())};
}

QStringList Lines(const QString &text)
{
    return text.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
}

} // namespace

class CommandLineTest : public QObject {
    Q_OBJECT

private slots:
    void theGameAnswersFromTheTerminal_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<QString>("display");
        QTest::addColumn<int>("exitCode");
        QTest::addColumn<QString>("firstOut");  // the first line on stdout, or empty
        QTest::addColumn<QString>("firstErr");  // the first line on stderr, or empty
        QTest::addColumn<bool>("usageShown");

        const QString noDesktop =
            QStringLiteral("kiramoku: the game needs a graphical desktop (an X11 or Wayland session) and found none");
        QTest::newRow("the version") << QStringList{QStringLiteral("--version")} << QString() << 0
                                     << QStringLiteral("kiramoku 1.00") << QString() << false;
        QTest::newRow("the version by its short name") << QStringList{QStringLiteral("-v")} << QString() << 0
                                                       << QStringLiteral("kiramoku 1.00") << QString() << false;
        QTest::newRow("the help") << QStringList{QStringLiteral("--help")} << QString() << 0
                                  << QStringLiteral("Usage: " KIRAMOKU_GAME " [options]") << QString() << true;
        QTest::newRow("the help by its short name") << QStringList{QStringLiteral("-h")} << QString() << 0
                                                    << QStringLiteral("Usage: " KIRAMOKU_GAME " [options]")
                                                    << QString() << true;
        QTest::newRow("the music option is known")
            << QStringList{QStringLiteral("--no-music"), QStringLiteral("--version")} << QString() << 0
            << QStringLiteral("kiramoku 1.00") << QString() << false;
        QTest::newRow("an unknown option") << QStringList{QStringLiteral("--bogus")} << QString() << 2 << QString()
                                           << QStringLiteral("kiramoku: Unknown option 'bogus'.") << true;
        QTest::newRow("an argument the game does not take")
            << QStringList{QStringLiteral("board.txt")} << QString() << 2 << QString()
            << QStringLiteral("kiramoku: Unexpected argument 'board.txt'.") << true;
        QTest::newRow("no display at all") << QStringList() << QString() << 1 << QString() << noDesktop << false;
        QTest::newRow("the music option without a display")
            << QStringList{QStringLiteral("--no-music")} << QString() << 1 << QString() << noDesktop << false;
        // An X11 display that is named but not there, such as a stale DISPLAY
        // in an ssh session: Qt itself finds no window system.
        QTest::newRow("a display that is not there") << QStringList() << QStringLiteral(":987") << 1 << QString()
                                                     << noDesktop << false;
    }

    void theGameAnswersFromTheTerminal()
    {
        QFETCH(QStringList, arguments);
        QFETCH(QString, display);
        QFETCH(int, exitCode);
        QFETCH(QString, firstOut);
        QFETCH(QString, firstErr);
        QFETCH(bool, usageShown);

        const Run run = RunGame(arguments, display);
        QCOMPARE(run.exitCode, exitCode);
        const QStringList out = Lines(run.out);
        const QStringList err = Lines(run.err);
        QCOMPARE(out.value(0), firstOut);
        QCOMPARE(err.value(0), firstErr);
        // The help and the usage list every option; the other answers are one line.
        const QString &usage = exitCode == 0 ? run.out : run.err;
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
