// The live output on a real audio driver: ALSA's "null" device, which takes
// sound as fast as it comes and plays none. The synthesizer renders on the
// driver's own thread while the commands arrive, as on a sound card.
#include "musictest.h"

#include <QtTest>

#include <thread>

using namespace kiramoku;
using namespace kiramoku::test;

namespace {

// Waits (polling, within Patience) until the sequencer's state is `state`.
bool Reaches(MMControl &control, TuneState state)
{
    const auto until = std::chrono::steady_clock::now() + Patience;
    while (std::chrono::steady_clock::now() < until) {
        if (control.Device().Snapshot().state == state)
            return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return false;
}

} // namespace

class TestDriver : public QObject {
    Q_OBJECT

private slots:
    void theTicksRestartTheTuneOnARunningDriver()
    {
        auto output = std::make_shared<LiveAudioOutput>(std::vector<std::string>{"alsa"}, "null");
        MMControl music(SequencerOptions{DefaultSoundFonts(), output});
        music.SetUpdateInterval(0);
        StartMusic(music, BuiltTune());
        QVERIFY(Reaches(music, TuneState::Finished));  // the null device hurries it through

        // Restarts, pauses and resumes while the driver's thread renders: each
        // restart makes and deletes a player under the running driver, which
        // must never render the synthesizer meanwhile, or this crashes.
        for (int tick = 0; tick < 20; ++tick) {
            RestartMusic(music);
            if (tick % 4 == 1) {
                music.SetCommand(QStringLiteral("Pause"));
                QVERIFY(music.Device().WaitUntilIdle(Patience));
                const Sequencer::Status paused = music.Device().Snapshot();
                QVERIFY(paused.state == TuneState::Paused || paused.state == TuneState::Finished);
                music.SetCommand(QStringLiteral("Play"));
            }
        }
        QVERIFY(Reaches(music, TuneState::Finished));
        QCOMPARE(music.Device().Snapshot().opens, 21);
        music.SetCommand(QStringLiteral("close"));
        QVERIFY(Reaches(music, TuneState::Closed));
    }
};

QTEST_GUILESS_MAIN(TestDriver)
#include "test_driver.moc"
