// The board's music and a step's beep on a real sound server (the private
// PulseAudio daemon or PipeWire session of pulse-fixture.sh, its sink recorded
// by parec): restarts, a pause, music off and on, a hung server and crashes.
// Skips (exit status 77) where the fixture could not run its server.
#include "beep.h"
#include "caught.h"
#include "leftbehind.h"
#include "musictest.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QProcess>
#include <QtTest>

#include <csignal>
#include <cstdio>
#include <thread>

#include <pthread.h>
#include <sched.h>

using namespace kiramoku;
using namespace kiramoku::test;

namespace {

constexpr int TickPeriodMs = 5000;  // the status tick, shortened from 22 s
constexpr int PauseBeforeThirdTickMs = 1500;
// The server the fixture runs for this test (pulseaudio or pipewire) and its folder.
const QString Server = qEnvironmentVariable("KIRAMOKU_SOUND_SERVER");
const QString FixtureDir = qEnvironmentVariable("KIRAMOKU_SOUND_SERVER_DIR");
// Limits a player notices: a drop-out, a start that lags the board, a pause
// that lingers, a stream left open.
constexpr double LongestGapMs = 50, FirstSoundWithinMs = 300, PauseSilentWithinMs = 150, StreamGoneWithinMs = 1000;
// A sound server back after a crash hears the tune within a second; each is
// away longer than the game waits between looks for one.
constexpr qint64 ServerBackWithinMs = 1000, ServerAwayMs = 1500;
// Music off fades out to silence (over 20 ms) before the stream goes: in the
// fade's second half, at half the level or less, no step up to and into the
// silence is a click beside the music's own steps. (A stream closed before
// the fade is heard to its end steps from the music's level straight to zero.)
constexpr double FadeEndMs = 10, MusicStepPercentile = 0.999;
// A restart's place on the recording is known, from the third tick's, to within
// the output's buffer and the timer; a wider window only catches the
// machine's own drop-outs. The pause is the last silence this long that sound follows.
constexpr double RestartWindowMs = 500, PauseSilenceMs = 500, FadeMarginMs = 200;
QElapsedTimer Clock;

// parec on the sink's monitor: raw 16-bit stereo, each piece noted with the
// moment it reached us (at most the recorder's latency after it played).
struct Recorder {
    QProcess parec;
    std::vector<qint16> samples;
    std::vector<std::pair<std::size_t, qint64>> arrivals;  // frames so far, ms on Clock

    explicit Recorder(int latencyMs)
    {
        QObject::connect(&parec, &QProcess::readyReadStandardOutput, [this] {
            const QByteArray bytes = parec.readAllStandardOutput();
            samples.insert(samples.end(), reinterpret_cast<const qint16 *>(bytes.constData()),
                           reinterpret_cast<const qint16 *>(bytes.constData()) + bytes.size() / 2);
            arrivals.emplace_back(Frames(), Clock.elapsed());
        });
        QStringList arguments{QStringLiteral("--raw"), QStringLiteral("-d"), QStringLiteral("kiramoku_test.monitor"),
                              QStringLiteral("--format=s16le"), QStringLiteral("--channels=2")};
        parec.start(QStringLiteral("parec"), arguments << (latencyMs ? QStringLiteral("--latency-msec=%1").arg(latencyMs)
                                                                     : QStringLiteral("--rate=44100")));
    }
    ~Recorder() { parec.kill(), parec.waitForFinished(3000); }
    std::size_t Frames() const { return samples.size() / 2; }
    bool Sounds(std::size_t f) const { return samples[2 * f] != 0 || samples[2 * f + 1] != 0; }
    static double Ms(std::size_t frames) { return 1000.0 * double(frames) / Sequencer::SampleRate; }
    static std::size_t FramesOf(double ms) { return std::size_t(std::max(0.0, ms) * Sequencer::SampleRate / 1000); }
    std::optional<std::size_t> FirstSound(std::size_t f) const
    {
        while (f < Frames() && !Sounds(f))
            ++f;
        return f < Frames() ? std::optional(f) : std::nullopt;
    }
    qint64 ArrivedAt(std::size_t frame) const
    {
        return std::find_if(arrivals.begin(), arrivals.end(), [&](auto a) { return a.first > frame; })->second;
    }
    // Every run of digital silence over `minMs` in frames [from, to).
    std::vector<std::pair<std::size_t, std::size_t>> Silences(std::size_t from, std::size_t to, double minMs) const
    {
        std::vector<std::pair<std::size_t, std::size_t>> runs;
        for (std::size_t f = from, g = from, end = std::min(to, Frames()); f < end; f = g = std::max(g, f + 1)) {
            while (g < end && !Sounds(g))
                ++g;
            if (Ms(g - f) > minMs)
                runs.emplace_back(f, g);
        }
        return runs;
    }
    // The step from frame f - 1 to frame f, the larger of the two channels'.
    int Step(std::size_t f) const
    {
        return std::max(std::abs(samples[2 * f] - samples[2 * f - 2]), std::abs(samples[2 * f + 1] - samples[2 * f - 1]));
    }
    // The step in frames [from, to) that `share` of them do not exceed (1.0: the largest).
    int StepPercentile(std::size_t from, std::size_t to, double share) const
    {
        std::vector<int> steps;
        for (std::size_t f = std::max<std::size_t>(from, 1); f < to; ++f)
            steps.push_back(Step(f));
        const auto at = steps.begin() + std::ptrdiff_t(share * double(steps.size() - 1));
        std::nth_element(steps.begin(), at, steps.end());
        return *at;
    }
    // The first sound after the first silence over 10 ms from `from` on (a
    // fade's last samples may come before it).
    std::optional<std::size_t> SoundAfterSilence(std::size_t from) const
    {
        const auto runs = Silences(from, Frames(), 10.0);
        return runs.empty() || runs[0].second >= Frames() ? std::nullopt : std::optional(runs[0].second);
    }
};

int Fixture(const QString &command)
{
    return QProcess::execute(QStringLiteral(KIRAMOKU_SOUND_SERVER_FIXTURE), {command, FixtureDir, Server});
}

// What the server says: `pactl <words>`.
QString Pactl(const char *words)
{
    QProcess pactl;
    pactl.start(QStringLiteral("pactl"), QString::fromLatin1(words).split(u' '));
    pactl.waitForFinished(3000);
    return QString::fromUtf8(pactl.readAllStandardOutput()).trimmed();
}
bool StreamListed()
{
    return !Pactl("list short sink-inputs").isEmpty();
}

// `pactl subscribe`: the server's own word for each stream made on it and ended, a beep's for one.
struct StreamWatch {
    QProcess pactl;
    QByteArray said;
    StreamWatch() { pactl.start(QStringLiteral("pactl"), {QStringLiteral("subscribe")}); }
    ~StreamWatch() { pactl.kill(), pactl.waitForFinished(3000); }
    int Count(const char *event) { return int((said += pactl.readAllStandardOutput()).count(event)); }
};

}  // namespace

class TestLive : public QObject {
    Q_OBJECT

private slots:
    void theTuneNeverDropsOutRestsWhenOffAndSurvivesItsServer_data()
    {
        // clang-format off
        QTest::addColumn<int>("recorderLatencyMs");
        // An ordinary recording client (the server's default latency): the
        // server then works two seconds ahead, and a stream newly opened (or
        // reopened) is heard only when that stretch has played.
        QTest::newRow("recorded at the server's default latency") << 0;
        // A quick one: the first sound shows what the game itself takes.
        QTest::newRow("recorded at 20 ms latency") << 20;
        // clang-format on
    }

    void theTuneNeverDropsOutRestsWhenOffAndSurvivesItsServer()
    {
        QFETCH(int, recorderLatencyMs);
        auto recorder = std::make_unique<Recorder>(recorderLatencyMs);
        QTRY_VERIFY_WITH_TIMEOUT(recorder->Frames() > 0, 15000);  // recording from here on
        MMControl music(OnDriver("pulseaudio"));
        int ticks = 0;
        qint64 pauseAt = 0, thirdTickAt = 0;
        connect(&music, &MMControl::StatusUpdate, [&] {
            RestartMusic(music);
            thirdTickAt = ++ticks == 3 ? Clock.elapsed() : thirdTickAt;
        });
        QTimer::singleShot(3 * TickPeriodMs - PauseBeforeThirdTickMs, Qt::PreciseTimer, &music, [&] {
            music.SetCommand(QStringLiteral("Pause"));
            pauseAt = Clock.elapsed();
        });
        music.SetUpdateInterval(TickPeriodMs);
        const std::size_t startFrame = recorder->Frames();
        const qint64 startAt = Clock.elapsed();
        // Nothing is said while the music starts and plays on.
        QCOMPARE(StandardError([&] { StartMusic(music, BuiltTune()); QTRY_VERIFY_WITH_TIMEOUT(ticks == 3, 4 * TickPeriodMs); }), QString());
        // The desktop's mixer shows the game by its name, and its stream by the game's names, icon and kind.
        const QString clients = Pactl("list clients"), streams = Pactl("list sink-inputs");
        QVERIFY2(clients.contains(QString::fromUtf8("application.name = \"きらもく\"")), qPrintable(clients));
        for (const char *said : {"media.name = \"音楽\"", "application.name = \"きらもく\"", "application.id = \"kiramoku\"", "application.icon_name = \"kiramoku\"", "media.role = \"music\""})
            QVERIFY2(streams.contains(QString::fromUtf8(said)), qPrintable(streams));
        // Its sound is made first in, first out where the system allows it (tried on a thread of the test's own).
        bool allowed = false;
        std::thread([&allowed] { sched_param p{1}; allowed = !pthread_setschedparam(pthread_self(), SCHED_FIFO, &p); }).join();
        const QStringList tasks = QDir(QStringLiteral("/proc/self/task")).entryList(QDir::Dirs | QDir::NoDotAndDotDot);
        QCOMPARE(int(std::count_if(tasks.begin(), tasks.end(), [](const QString &t) { return sched_getscheduler(t.toInt()) == SCHED_FIFO; })), allowed ? 1 : 0);
        QTest::qWait(recorderLatencyMs ? 1000 : 3000);  // the restart reaches the recorder
        const Recorder &r = *recorder;

        // The pause's silence ends with the third tick's restart: the two
        // moments on the recording set against the two commands.
        const std::optional<std::size_t> first = r.FirstSound(startFrame);
        QVERIFY2(first, "nothing reached the sound server");
        const auto pauses = r.Silences(*first, r.Frames(), PauseSilenceMs);
        QVERIFY2(!pauses.empty() && pauses.back().second < r.Frames(), "no pause ended by the next tick was heard");
        const auto [silentFrom, resumedFrom] = pauses.back();
        const double resumedAt = Recorder::Ms(resumedFrom), pauseToTick = double(thirdTickAt - pauseAt);
        const double pauseToSilenceMs = Recorder::Ms(silentFrom) - (resumedAt - pauseToTick);
        const double silentMs = Recorder::Ms(resumedFrom - silentFrom);
        const double startExtraMs = double(thirdTickAt - startAt) - (resumedAt - Recorder::Ms(*first));
        double restartGapMs = 0;
        for (const int ticksBefore : {2, 1}) {
            const double at = resumedAt - ticksBefore * TickPeriodMs;
            const std::size_t to = std::min(Recorder::FramesOf(at + RestartWindowMs), silentFrom - Recorder::FramesOf(FadeMarginMs));
            for (const auto &[from, end] : r.Silences(std::max(*first, Recorder::FramesOf(at - RestartWindowMs)), to, 0))
                restartGapMs = std::max(restartGapMs, Recorder::Ms(end - from));
        }
        std::printf("live %s, recorder latency %d ms (0: default), tick every %d ms: first sound %.1f ms after the "
                    "start sequence (beyond a restart's delay); longest digital silence at the two restarts %.1f ms; "
                    "Pause to silence %.1f ms, silent %.0f ms until the next tick\n",
                    qPrintable(Server), recorderLatencyMs, TickPeriodMs, startExtraMs, restartGapMs, pauseToSilenceMs, silentMs);
        QVERIFY(restartGapMs <= LongestGapMs);
        QVERIFY(pauseToSilenceMs <= PauseSilentWithinMs);
        QVERIFY(silentMs > pauseToTick - PauseSilentWithinMs - FirstSoundWithinMs);
        QVERIFY(silentMs < pauseToTick + FirstSoundWithinMs);
        if (!recorderLatencyMs)
            return;
        QVERIFY(startExtraMs <= FirstSoundWithinMs);

        // Music off: the sound fades out, then the stream goes. On: the tune is back at once.
        music.SetUpdateInterval(0);
        const int tickThen = music.Device().Snapshot().tick;
        QTest::qWait(1000);  // the tune keeps its time on the server: 480 ticks a quarter, a quarter in 0.6875 s
        const int ticked = music.Device().Snapshot().tick - tickThen;
        QVERIFY2(std::abs(ticked - 480 / 0.6875) < 70, qPrintable(QString::number(ticked)));
        QVERIFY(StreamListed());
        const qint64 offAt = Clock.elapsed();
        const std::size_t offFrame = r.Frames();
        music.SetMusicOn(false);
        QTRY_VERIFY_WITH_TIMEOUT(!StreamListed(), 3000);
        const qint64 goneMs = Clock.elapsed() - offAt, onAt = Clock.elapsed();
        QTRY_VERIFY_WITH_TIMEOUT(!r.Silences(offFrame, r.Frames(), 10.0).empty(), 3000);
        const std::size_t quietFrom = r.Silences(offFrame, r.Frames(), 10.0).front().first;
        const int musicStep = r.StepPercentile(resumedFrom, offFrame, MusicStepPercentile);
        const int endStep = r.StepPercentile(quietFrom - Recorder::FramesOf(FadeEndMs), quietFrom + 1, 1.0);
        std::printf("music off: largest step in the last %.0f ms before the silence %d, into it %d; the music's "
                    "%.1fth percentile step %d\n",
                    FadeEndMs, endStep, r.Step(quietFrom), 100 * MusicStepPercentile, musicStep);
        const std::size_t onFrame = r.Frames();
        music.SetMusicOn(true);
        QTRY_VERIFY_WITH_TIMEOUT(r.SoundAfterSilence(onFrame), 3000);
        const qint64 backMs = r.ArrivedAt(*r.SoundAfterSilence(onFrame)) - onAt;

        std::printf("music off: stream gone after %lld ms; music on: sound back after %lld ms\n", goneMs, backMs);
        QVERIFY(double(goneMs) <= StreamGoneWithinMs);
        QVERIFY(double(backMs) <= FirstSoundWithinMs);
        QVERIFY2(endStep < musicStep, "the music off's fade was cut off before it reached silence");

        // The server crashes and a new one starts, twice in one game, with no
        // status tick to restart the tune: the game finds each new server itself.
        for (int crash = 1; crash <= 2; ++crash) {
            QCOMPARE(Fixture(QStringLiteral("crash")), 0);
            recorder.reset();
            QCOMPARE(StandardError([] { QTest::qWait(ServerAwayMs); }),  // the loss told once a run, by the first crash
                     crash == 1 ? "kiramoku: the sound server stopped answering; the music comes back when one answers\n" : "");
            QCOMPARE(Fixture(QStringLiteral("start")), 0);
            const qint64 newServerAt = Clock.elapsed();
            recorder = std::make_unique<Recorder>(recorderLatencyMs);
            // The stream's return is timed by the server's own list: a
            // recorder on a newly started PulseAudio may deliver a second late.
            QTRY_VERIFY_WITH_TIMEOUT(StreamListed(), 3 * ServerBackWithinMs);
            const qint64 streamBackMs = Clock.elapsed() - newServerAt;
            QTRY_VERIFY_WITH_TIMEOUT(recorder->FirstSound(0), 3 * ServerBackWithinMs);
            QVERIFY2(streamBackMs <= ServerBackWithinMs, qPrintable(QStringLiteral("crash %1: back after %2 ms").arg(crash).arg(streamBackMs)));
        }
    }

    void aStepsBeepIsNeverLateAndIsHeardOnANewServer()
    {
        Beeper beeper;
        StreamWatch watch;
        QTRY_VERIFY((StreamListed(), watch.Count("on client") > 0));  // listening
        beeper.Play();
        QTRY_COMPARE(watch.Count("'remove' on sink-input"), 1);
        const int clients = watch.Count("'new' on client");
        beeper.Play();  // on the connection the first step made
        QTRY_COMPARE(watch.Count("'remove' on sink-input"), 2);
        QCOMPARE(watch.Count("'new' on client"), clients);
        // Three steps while the server hangs past StaleAfter: the first is heard when it goes on, the others never.
        QCOMPARE(Fixture(QStringLiteral("freeze")), 0);
        for (int step = 0; step < 3; ++step)
            beeper.Play();
        {  // a game closed meanwhile leaves its beep to the hung server and does not wait
            Beeper closing;
            closing.Play();
            QTest::qWait(50);
        }
        QVERIFY(ThreadsLeftBehind());
        {  // the music, asking the hung server too, gives up waiting for it, says so, and plays once it goes on
            MMControl music(OnDriver("pulseaudio"));
            QCOMPARE(StandardError([&] { StartMusic(music, BuiltTune()); QVERIFY(music.Device().WaitUntilIdle(Patience)); }),
                     "kiramoku: the music waits for a sound server: no sound device answered (tried PulseAudio, then ALSA)\n");
            QCOMPARE(Fixture(QStringLiteral("thaw")), 0);
            QTRY_COMPARE(watch.Count("'remove' on sink-input"), 4);  // and the closed game's
            QTRY_COMPARE(watch.Count("'new' on sink-input"), 5);
        }
        QCOMPARE(Fixture(QStringLiteral("crash")), 0);
        QCOMPARE(Fixture(QStringLiteral("start")), 0);
        Recorder recorder(20);
        QTRY_VERIFY_WITH_TIMEOUT(recorder.Frames() > 0, 15000);
        beeper.Play();
        QTRY_VERIFY(recorder.FirstSound(0));
    }
};

int main(int argc, char **argv)
{
    QApplication app(argc, argv);  // a beep no server takes rings the window system's bell
    QFile skip(FixtureDir + QStringLiteral("/skip"));
    if (skip.open(QIODevice::ReadOnly)) {
        std::printf("SKIP: no private %s server for the live music test: %s\n", qPrintable(Server), skip.readAll().constData());
        return 77;
    }
    QFile name(FixtureDir + QStringLiteral("/server-name"));
    if (name.open(QIODevice::ReadOnly))
        std::printf("live test on a private %s server: %s", qPrintable(Server), name.readAll().constData());
    qputenv("XDG_RUNTIME_DIR", QFile::encodeName(FixtureDir + QStringLiteral("/runtime")));
    qunsetenv("PULSE_SERVER");
    Clock.start();
    TestLive test;
    return QTest::qExec(&test, argc, argv);
}

#include "test_live.moc"
