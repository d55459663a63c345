// The board's music on a real sound server: a private PulseAudio daemon,
// its sink recorded by parec at the server's default latency as an ordinary
// desktop client records. The tune must never drop out at the status tick's
// restart, start at once, and a "Pause" must be heard at once.
//
// Skips (exit status 77) only where PulseAudio cannot run: not installed,
// a desktop whose sound server is pipewire-pulse, or a daemon that will not start.
#include "livesound.h"
#include "musictest.h"

#include <QtTest>

#include <cstdio>

using namespace kiramoku;
using namespace kiramoku::test;

namespace {

constexpr int SkipStatus = 77;
constexpr int TickPeriodMs = 6000;  // the status tick, shortened from 22 s

// Limits a player notices: a drop-out of the tune, a start that lags the
// board, a pause that lingers.
constexpr double LongestGapMs = 50;
constexpr double FirstSoundWithinMs = 300;
constexpr double PauseSilentWithinMs = 100;

PrivateSoundServer *server = nullptr;

} // namespace

class TestLive : public QObject {
    Q_OBJECT

private slots:
    void theTuneNeverDropsOutAtARestartAndPausesAtOnce_data()
    {
        QTest::addColumn<int>("recorderLatencyMs");
        QTest::addColumn<bool>("startCounts");
        // An ordinary recording client: the server then works two seconds
        // ahead, and a stream that is newly opened (or reopened) is heard
        // only when that stretch has played, whatever the program does.
        QTest::newRow("recorded at the server's default latency") << 0 << false;
        // A quick recording client: the server works 20 ms ahead, so the
        // first sound shows what the game itself takes to start.
        QTest::newRow("recorded at 20 ms latency") << 20 << true;
    }

    void theTuneNeverDropsOutAtARestartAndPausesAtOnce()
    {
        QFETCH(int, recorderLatencyMs);
        QFETCH(bool, startCounts);
        QVERIFY(server->StartRecording(recorderLatencyMs));
        LiveRun run;
        run.Play(BuiltTune(), TickPeriodMs);
        const std::optional<Recording> recording = server->StopRecording(LiveRun::TailMs);
        QVERIFY(recording);
        const LiveFigures figures = LiveFigures::From(*recording, run, TickPeriodMs);
        std::printf("live PulseAudio, recorder latency %s, tick every %d ms, recorded %.1f s: first sound %.1f ms "
                    "after the start sequence (beyond a restart's delay); longest digital silence at the two "
                    "restarts %.1f ms, anywhere while playing %.1f ms; Pause to silence %.1f ms; silent %.0f ms until the next tick; "
                    "CPU %.2f %% of one core\n",
                    recorderLatencyMs ? qPrintable(QStringLiteral("%1 ms").arg(recorderLatencyMs)) : "default",
                    TickPeriodMs, recording->Seconds(recording->Frames()), figures.startExtraMs,
                    figures.longestRestartGapMs, figures.longestPlayingGapMs, figures.pauseToSilenceMs, figures.pauseSilenceMs,
                    100.0 * run.cpuShare);
        std::printf("silences over 10 ms (ms after the first sound + length):%s\n", qPrintable(figures.silences));
        std::fflush(stdout);
        QVERIFY2(figures.heard, "nothing reached the sound server");
        QVERIFY2(figures.soundAfterPause, "no pause followed by the next tick's restart was heard");
        QVERIFY(figures.longestRestartGapMs <= LongestGapMs);
        QVERIFY(figures.pauseToSilenceMs <= PauseSilentWithinMs);
        // Silent from the pause until the tick, give or take the fade and the server's steps.
        const double pauseToTick = double(run.thirdTickAtMs - run.pauseAtMs);
        QVERIFY(figures.pauseSilenceMs > pauseToTick - PauseSilentWithinMs - FirstSoundWithinMs);
        QVERIFY(figures.pauseSilenceMs < pauseToTick + FirstSoundWithinMs);
        if (startCounts)
            QVERIFY(figures.startExtraMs <= FirstSoundWithinMs);
    }
};

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    PrivateSoundServer sound;
    if (!sound.Ready()) {
        std::printf("SKIP: no private PulseAudio server for the live music test: %s\n", qPrintable(sound.Why()));
        return SkipStatus;
    }
    server = &sound;
    TestLive test;
    return QTest::qExec(&test, argc, argv);
}

#include "test_live.moc"
