// With no sound at all, the game's terminal stays clean: nothing from the
// synthesizer or the sound system, and one line of ours naming the cause.
#include "musictest.h"

#include <QRegularExpression>
#include <QTemporaryFile>
#include <QtTest>

#include <cstdio>
#include <unistd.h>

using namespace kiramoku;
using namespace kiramoku::test;

class TestQuiet : public QObject {
    Q_OBJECT

private slots:
    void noSoundDeviceMeansOneLineAndNoLibraryChatter()
    {
        // Our one line comes as a warning; any other warning fails the test.
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression(QStringLiteral("^kiramoku: no music: no sound device")));
        QTest::failOnWarning(QRegularExpression(QStringLiteral(".")));

        // The process's own standard error, caught in a file.
        QTemporaryFile caught;
        QVERIFY(caught.open());
        std::fflush(stderr);
        const int saved = dup(STDERR_FILENO);
        QVERIFY(saved >= 0);
        QVERIFY(dup2(caught.handle(), STDERR_FILENO) >= 0);
        {
            // ALSA told to use a device that exists nowhere: it fails on every
            // machine, and ALSA and FluidSynth would both complain aloud.
            auto output = std::make_shared<LiveAudioOutput>(std::vector<std::string>{"alsa"},
                                                            "kiramoku_no_such_device");
            MMControl music(SequencerOptions{DefaultSoundFonts(), output});
            music.SetUpdateInterval(0);
            StartMusic(music, BuiltTune());
            for (int tick = 0; tick < 3; ++tick) {
                RestartMusic(music);
            }
            music.SetFileName(QStringLiteral("/nonexistent/kira.mid"));  // a second cause: still no second line
            RestartMusic(music);
            QVERIFY(music.Device().WaitUntilIdle(Patience));
            QCOMPARE(music.Device().Snapshot().state, TuneState::Closed);
        }
        std::fputs("canary\n", stderr);  // proves the catching works
        std::fflush(stderr);
        dup2(saved, STDERR_FILENO);
        close(saved);

        caught.seek(0);
        const QString text = QString::fromLocal8Bit(caught.readAll());
        QCOMPARE(text, QStringLiteral("canary\n"));
    }
};

QTEST_GUILESS_MAIN(TestQuiet)
#include "test_quiet.moc"
