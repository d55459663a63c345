// The live output on ALSA's "null" device, which takes sound as fast as it comes and plays none: the
// synthesizer renders on the driver's own thread while the commands arrive, as on a sound card.
#include "musictest.h"

#include <QtTest>

using namespace kiramoku;
using namespace kiramoku::test;

// Polls (the null device hurries the tune through) until the state is `state`.
#define REACHES(control, expected) QTRY_VERIFY_WITH_TIMEOUT((control).Device().Snapshot().state == (expected), 10000)

class TestDriver : public QObject {
    Q_OBJECT

private slots:
    void theTicksRestartTheTuneOnARunningDriver()
    {
        auto output = std::make_shared<LiveAudioOutput>(std::vector<std::string>{"alsa"}, "null");
        MMControl music(SequencerOptions{DefaultSoundFonts(), output});
        music.SetUpdateInterval(0);
        StartMusic(music, BuiltTune());
        REACHES(music, TuneState::Finished);

        // Restarts, pauses and resumes while the driver's thread renders: each
        // restart makes and deletes a player under the running driver, which
        // must never render the synthesizer meanwhile, or this crashes.
        for (int tick = 0; tick < 20; ++tick) {
            RestartMusic(music);
            if (tick % 4 == 1) {
                music.SetCommand(QStringLiteral("Pause"));
                QVERIFY(music.Device().WaitUntilIdle(Patience));
                QVERIFY(music.Device().Snapshot().state == TuneState::Paused || music.Device().Snapshot().state == TuneState::Finished);
                music.SetCommand(QStringLiteral("Play"));
            }
        }
        REACHES(music, TuneState::Finished);
        QCOMPARE(music.Device().Snapshot().opens, 21);
        music.SetCommand(QStringLiteral("close"));
        REACHES(music, TuneState::Closed);
    }
};

QTEST_GUILESS_MAIN(TestDriver)
#include "test_driver.moc"
