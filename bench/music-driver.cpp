// The music benchmark's driver, run by bench/music-run under public tools.
//
//   kiramoku_music_bench play SECONDS [TUNE] [--live]
//       The board's music as the board drives it (start sequence, then a
//       close/open/play on every status tick) for SECONDS, on a stand-in for
//       the sound card that renders in real time and throws the sound away
//       (or on the real sound card with --live). Run it under /usr/bin/time
//       for the CPU share and the peak resident memory. Ends with one line
//       for each thread: its name, its scheduling policy and its CPU share
//       of one core from the moment the music plays to the end.
//   kiramoku_music_bench idle SECONDS
//       The same process with the music control never opened: the baseline.
//   kiramoku_music_bench gap OUT.wav [TUNE]
//       Offline: the start sequence, exactly one status period of sound,
//       the tick's close/open/play, two seconds more; writes it as a WAV and
//       prints the silence around the restart.
//   kiramoku_music_bench burst PRESSES SPAN_MS [TUNE] [--live]
//       The tune playing, M pressed PRESSES times evenly over SPAN_MS: how
//       long after the last press the music is as that press asked; then as
//       many presses again and the board's close at once: how long it holds.
//   kiramoku_music_bench silences FILE.raw MIN_MS
//       A recording (parec --raw: s16le, two channels, 44100 Hz): the
//       stretches of digital silence (both channels exactly zero) of MIN_MS
//       or more between its first and its last sound, and the longest.
//   kiramoku_music_bench off SECONDS [TUNE] [--live]
//       The music played for SECONDS, then turned off as M does; after
//       OffSettle prints the process's resident memory (VmRSS and its parts)
//       and holds HoldForLook for a look from outside (pmap -x).
//   kiramoku_music_bench unopened SECONDS
//       The same with the music never opened: the baseline.
#include "leftbehind.h"
#include "mmcontrol.h"
#include "musicsequence.h"
#include "oneheap.h"
#include "resident.h"

#include <fluidsynth.h>

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QTimer>

#include <sched.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <map>
#include <thread>
#include <vector>

using namespace kiramoku;
using namespace kiramoku::bench;

namespace {

// Renders the sound in real time on its own thread, as a sound card's
// driver would, and throws it away.
class PacedAudioOutput : public AudioOutput {
public:
    ~PacedAudioOutput() override { Stop(); }

    bool Start(fluid_settings_t *, SoundSource &source, std::string &) override
    {
        if (thread_.joinable())
            return true;
        running_ = true;
        thread_ = std::thread([this, &source] {
            // As the live output hands ALSA's driver its sound.
            constexpr int Period = LiveAudioOutput::BufferFrames / LiveAudioOutput::AlsaPeriods;
            std::vector<float> left(Period), right(Period);
            const auto step = std::chrono::nanoseconds(1'000'000'000LL * Period / Sequencer::SampleRate);
            auto due = std::chrono::steady_clock::now();
            while (running_) {
                source.Render(left, right);
                due += step;
                std::this_thread::sleep_until(due);
            }
        });
        return true;
    }

    void Stop() override
    {
        running_ = false;
        if (thread_.joinable())
            thread_.join();
    }

private:
    std::atomic<bool> running_{false};
    std::thread thread_;
};

// A look at one thread of this process, as the kernel tells it.
struct ThreadLook {
    QByteArray name;
    int policy = SCHED_OTHER;
    int priority = 0;  // the real-time priority; 0 under the ordinary policies
    qint64 cpuNs = 0;  // on a CPU since the thread started, user and system
};

// Fields of /proc/PID/task/TID/stat, counted from 1 as proc(5) does; the
// name in parentheses (field 2) may hold spaces, so fields are counted from
// the one after it.
constexpr int StatFieldAfterName = 3;
constexpr int StatFieldRtPriority = 40;
constexpr int StatFieldPolicy = 41;

// Every thread now alive. The CPU time is schedstat's, every nanosecond on
// a CPU: stat's utime and stime count the clock's 10 ms ticks a thread
// happened to be running at, coarse for a thread at half a percent.
std::map<int, ThreadLook> LookAtThreads()
{
    std::map<int, ThreadLook> threads;
    const QDir tasks(QStringLiteral("/proc/self/task"));
    for (const QString &tid : tasks.entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        const QString folder = tasks.filePath(tid);
        const QByteArray stat = ReadProc(folder + QStringLiteral("/stat"));
        const QList<QByteArray> fields = stat.mid(stat.lastIndexOf(')') + 2).split(' ');
        ThreadLook look;
        look.name = ReadProc(folder + QStringLiteral("/comm")).trimmed();
        look.priority = fields.value(StatFieldRtPriority - StatFieldAfterName).toInt();
        look.policy = fields.value(StatFieldPolicy - StatFieldAfterName).toInt();
        look.cpuNs = ReadProc(folder + QStringLiteral("/schedstat")).split(' ').value(0).toLongLong();
        threads[tid.toInt()] = look;
    }
    return threads;
}

QByteArray PolicyName(const ThreadLook &look)
{
    switch (look.policy) {
    case SCHED_OTHER:
        return "SCHED_OTHER";
    case SCHED_FIFO:
        return "SCHED_FIFO priority " + QByteArray::number(look.priority) + " (real-time)";
    case SCHED_RR:
        return "SCHED_RR priority " + QByteArray::number(look.priority) + " (real-time)";
    default:
        return "policy " + QByteArray::number(look.policy);
    }
}

// Each thread's share of one core between the two looks; a thread started
// between them counts from nothing.
void PrintThreads(const std::map<int, ThreadLook> &before, const std::map<int, ThreadLook> &after, double seconds)
{
    double total = 0;
    for (const auto &[tid, look] : after) {
        const auto earlier = before.find(tid);
        const qint64 ns = look.cpuNs - (earlier == before.end() ? 0 : earlier->second.cpuNs);
        const double share = 100.0 * static_cast<double>(ns) / 1e9 / seconds;
        total += share;
        std::printf("thread %s%s: %s, CPU %.2f %% of one core\n", look.name.constData(),
                    tid == getpid() ? " (main)" : "", PolicyName(look).constData(), share);
    }
    std::printf("threads together: CPU %.2f %% of one core over %.1f s of playing\n", total, seconds);
}

// The board's start sequence, timed on the caller's thread.
qint64 StartSequence(MMControl &music, const QString &tune)
{
    QElapsedTimer clock;
    clock.start();
    StartMusic(music, tune);
    return clock.nsecsElapsed();
}

qint64 Restart(MMControl &music)
{
    QElapsedTimer clock;
    clock.start();
    RestartMusic(music);
    return clock.nsecsElapsed();
}

SequencerOptions Options(bool live)
{
    SequencerOptions options;
    if (!live)
        options.output = std::make_shared<PacedAudioOutput>();
    return options;
}

int Play(int seconds, const QString &tune, bool live)
{
    MMControl music(Options(live));
    qint64 longestCall = 0;
    int restarts = 0;
    QObject::connect(&music, &MMControl::StatusUpdate, [&] {
        longestCall = std::max(longestCall, Restart(music));
        ++restarts;
    });
    longestCall = StartSequence(music, tune);

    QElapsedTimer ready;
    ready.start();
    music.Device().WaitUntilIdle(std::chrono::seconds(10));
    const qint64 startedAfter = ready.nsecsElapsed();
    const Sequencer::Status status = music.Device().Snapshot();

    QTimer::singleShot(seconds * 1000, qApp, &QCoreApplication::quit);
    const auto threadsBefore = LookAtThreads();
    QElapsedTimer playing;
    playing.start();
    QCoreApplication::exec();
    const auto threadsAfter = LookAtThreads();
    const double playedSeconds = static_cast<double>(playing.nsecsElapsed()) / 1e9;
    std::printf("output: %s\n", live ? "sound card" : "real-time stand-in for a sound card");
    std::printf("tune state after the start sequence: %s\n",
                status.state == TuneState::Playing ? "playing" : "not playing");
    std::printf("start sequence on the caller's thread: %.3f ms\n", static_cast<double>(longestCall) / 1e6);
    std::printf("music playing %.1f ms after the start sequence returned (SoundFont loaded meanwhile)\n",
                static_cast<double>(startedAfter) / 1e6);
    std::printf("restarts by the status tick: %d\n", restarts);
    PrintThreads(threadsBefore, threadsAfter, playedSeconds);
    return 0;
}

int Idle(int seconds)
{
    MMControl music;
    QTimer::singleShot(seconds * 1000, qApp, &QCoreApplication::quit);
    return QCoreApplication::exec();
}

void WriteWav(const std::string &path, const std::vector<float> &left, const std::vector<float> &right)
{
    std::ofstream out(path, std::ios::binary);
    auto put = [&out](std::uint32_t value, int bytes) {
        for (int i = 0; i < bytes; ++i)
            out.put(static_cast<char>((value >> (8 * i)) & 0xFF));
    };
    const auto frames = static_cast<std::uint32_t>(left.size());
    out.write("RIFF", 4);
    put(36 + frames * 4, 4);
    out.write("WAVEfmt ", 8);
    put(16, 4);
    put(1, 2);  // PCM
    put(2, 2);  // stereo
    put(Sequencer::SampleRate, 4);
    put(Sequencer::SampleRate * 4, 4);
    put(4, 2);
    put(16, 2);
    out.write("data", 4);
    put(frames * 4, 4);
    for (std::uint32_t i = 0; i < frames; ++i) {
        for (float sample : {left[i], right[i]}) {
            const long value = std::lround(std::clamp(sample, -1.0f, 1.0f) * 32767.0f);
            put(static_cast<std::uint32_t>(static_cast<std::uint16_t>(static_cast<std::int16_t>(value))), 2);
        }
    }
}

int Gap(const std::string &wav, const QString &tune)
{
    auto output = std::make_shared<OfflineAudioOutput>();
    MMControl music(SequencerOptions{DefaultSoundFonts(), output});
    music.SetUpdateInterval(0);  // the tick is given by hand, at exactly its time
    StartSequence(music, tune);
    music.Device().WaitUntilIdle(std::chrono::seconds(10));

    const std::size_t period = static_cast<std::size_t>(MMControl::DefaultUpdateInterval) * Sequencer::SampleRate / 1000;
    const std::size_t after = 2 * Sequencer::SampleRate;
    std::vector<float> left(period + after), right(period + after);
    output->Render(std::span(left).first(period), std::span(right).first(period));
    Restart(music);
    music.Device().WaitUntilIdle(std::chrono::seconds(10));
    output->Render(std::span(left).subspan(period), std::span(right).subspan(period));
    WriteWav(wav, left, right);

    constexpr float Silence = 0.001f;  // -60 dB below full scale
    auto loud = [&](std::size_t i) { return std::max(std::abs(left[i]), std::abs(right[i])) >= Silence; };
    std::size_t lastBefore = period;
    while (lastBefore > 0 && !loud(lastBefore - 1))
        --lastBefore;
    std::size_t firstAfter = period;
    while (firstAfter < left.size() && !loud(firstAfter))
        ++firstAfter;
    const double ms = 1000.0 / Sequencer::SampleRate;
    std::printf("restart at %.3f s into the file\n", static_cast<double>(period) / Sequencer::SampleRate);
    std::printf("silence before the restart: %.1f ms\n", static_cast<double>(period - lastBefore) * ms);
    std::printf("silence after the restart: %.1f ms\n", static_cast<double>(firstAfter - period) * ms);
    std::printf("loop gap (below -60 dBFS): %.1f ms\n", static_cast<double>(firstAfter - lastBefore) * ms);
    return 0;
}

// M pressed `presses` times, evenly over `span`, as a player's fingers would.
void PressM(MMControl &music, int presses, std::chrono::microseconds span)
{
    const auto gap = span / std::max(presses - 1, 1);
    for (int press = 0; press < presses; ++press) {
        if (press > 0)
            std::this_thread::sleep_for(gap);
        music.SetMusicOn(!music.MusicOn());
    }
}

int Burst(int presses, std::chrono::milliseconds span, const QString &tune, bool live)
{
    SequencerOptions options;
    if (!live)
        options.output = std::make_shared<PacedAudioOutput>();
    auto music = std::make_unique<MMControl>(options);
    music->SetUpdateInterval(0);
    StartSequence(*music, tune);
    music->Device().WaitUntilIdle(std::chrono::seconds(10));
    std::this_thread::sleep_for(std::chrono::seconds(1));  // the tune heard a while, its output running

    PressM(*music, presses, span);
    QElapsedTimer clock;
    clock.start();
    const bool settled = music->Device().WaitUntilIdle(std::chrono::minutes(1));
    const double settledMs = static_cast<double>(clock.nsecsElapsed()) / 1e6;
    const Sequencer::Status status = music->Device().Snapshot();
    const bool played = status.state == TuneState::Playing && status.outputOn;
    const bool released = status.state == TuneState::Closed && !status.outputOn && !status.synthReady;

    PressM(*music, presses, span);
    clock.restart();
    music.reset();
    const double closeMs = static_cast<double>(clock.nsecsElapsed()) / 1e6;
    std::printf("output: %s\n", live ? "sound card" : "real-time stand-in for a sound card");
    std::printf("%d presses of M over %lld ms, the last asking for music %s\n", presses,
                static_cast<long long>(span.count()), presses % 2 ? "off" : "on");
    std::printf("nothing left to do %.1f ms after the last press%s; the music %s\n", settledMs,
                settled ? "" : " (gave up)", played ? "playing" : released ? "released"
                                                                           : "neither playing nor released");
    std::printf("the same presses again, then the close: %.1f ms; a thread left behind: %s\n", closeMs,
                ThreadsLeftBehind() ? "yes" : "no");
    return 0;
}

// A stretch of digital silence in a recording, in frames.
struct Stretch {
    std::int64_t start = 0;
    std::int64_t frames = 0;
};

// A recording read through: its sound's first and last frame (-1: no
// sound) and the stretches of at least `minFrames` silent frames between.
struct Recording {
    std::int64_t frames = 0;
    std::int64_t firstSound = -1;
    std::int64_t lastSound = -1;
    std::vector<Stretch> stretches;
};

Recording ScanRecording(std::istream &in, std::int64_t minFrames)
{
    constexpr int Channels = 2;
    constexpr std::size_t ChunkFrames = 65536;
    std::vector<std::int16_t> chunk(ChunkFrames * Channels);
    Recording recording;
    std::int64_t silentSince = -1;
    while (in.read(reinterpret_cast<char *>(chunk.data()), static_cast<std::streamsize>(chunk.size() * sizeof(std::int16_t)))
           || in.gcount() > 0) {
        const auto frames = static_cast<std::size_t>(in.gcount()) / (Channels * sizeof(std::int16_t));
        for (std::size_t i = 0; i < frames; ++i, ++recording.frames) {
            const std::int64_t frame = recording.frames;
            if (chunk[Channels * i] == 0 && chunk[Channels * i + 1] == 0) {
                silentSince = silentSince < 0 ? frame : silentSince;
                continue;
            }
            // Silence before the first sound and after the last is no drop-out.
            if (recording.firstSound >= 0 && silentSince >= 0 && frame - silentSince >= minFrames)
                recording.stretches.push_back({silentSince, frame - silentSince});
            recording.firstSound = recording.firstSound < 0 ? frame : recording.firstSound;
            recording.lastSound = frame;
            silentSince = -1;
        }
    }
    return recording;
}

int Silences(const std::string &path, double minMs)
{
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        std::fprintf(stderr, "kiramoku_music_bench: cannot read %s\n", path.c_str());
        return 1;
    }
    const auto minFrames = static_cast<std::int64_t>(std::ceil(minMs * Sequencer::SampleRate / 1000.0));
    const Recording recording = ScanRecording(in, minFrames);
    auto seconds = [](std::int64_t frames) { return static_cast<double>(frames) / Sequencer::SampleRate; };
    if (recording.firstSound < 0) {
        std::printf("recorded %.1f s; no sound in it\n", seconds(recording.frames));
        return 1;
    }
    std::printf("recorded %.1f s; sound from %.3f s to %.3f s\n", seconds(recording.frames),
                seconds(recording.firstSound), seconds(recording.lastSound));
    std::int64_t longest = 0;
    for (const Stretch &stretch : recording.stretches)
        longest = std::max(longest, stretch.frames);
    std::printf("digital silences of %g ms or more between them: %zu, the longest %.1f ms\n", minMs,
                recording.stretches.size(), 1000 * seconds(longest));
    constexpr std::size_t Listed = 12;  // where they came, for a look at what else ran then
    for (std::size_t i = 0; i < std::min(Listed, recording.stretches.size()); ++i)
        std::printf("  at %.3f s: %.1f ms\n", seconds(recording.stretches[i].start),
                    1000 * seconds(recording.stretches[i].frames));
    if (recording.stretches.size() > Listed)
        std::printf("  and %zu more\n", recording.stretches.size() - Listed);
    return 0;
}

// How long the process stays after printing, for pmap -x to look at it.
constexpr std::chrono::seconds HoldForLook{3};

int MusicOff(int seconds, const QString &tune, bool live)
{
    MMControl music(Options(live));
    QObject::connect(&music, &MMControl::StatusUpdate, [&music] { RestartMusic(music); });
    StartMusic(music, tune);
    QTimer::singleShot(std::chrono::seconds(seconds), &music, [&music] { music.SetMusicOn(false); });
    QTimer::singleShot(std::chrono::seconds(seconds) + OffSettle, qApp, &QCoreApplication::quit);
    QCoreApplication::exec();
    PrintResident("music turned off");
    std::this_thread::sleep_for(HoldForLook);
    return 0;
}

int Unopened(int seconds)
{
    MMControl music;
    QTimer::singleShot(std::chrono::seconds(seconds) + OffSettle, qApp, &QCoreApplication::quit);
    QCoreApplication::exec();
    PrintResident("music never opened");
    std::this_thread::sleep_for(HoldForLook);
    return 0;
}

}  // namespace

int main(int argc, char **argv)
{
    UseOneHeap();  // as the game does
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    const QString mode = args.value(1);
    const QString tune = args.size() > 3 && !args.value(3).startsWith(QLatin1String("--")) ? args.value(3)
                                                                                           : FindTuneFile();
    if (mode == QLatin1String("play") && args.size() >= 3)
        return Play(args.value(2).toInt(), tune, args.contains(QLatin1String("--live")));
    if (mode == QLatin1String("idle") && args.size() >= 3)
        return Idle(args.value(2).toInt());
    if (mode == QLatin1String("gap") && args.size() >= 3)
        return Gap(args.value(2).toStdString(), tune);
    if (mode == QLatin1String("burst") && args.size() >= 4) {
        const QString burstTune = args.size() > 4 && !args.value(4).startsWith(QLatin1String("--")) ? args.value(4) : FindTuneFile();
        return Burst(args.value(2).toInt(), std::chrono::milliseconds(args.value(3).toInt()), burstTune,
                     args.contains(QLatin1String("--live")));
    }
    if (mode == QLatin1String("silences") && args.size() >= 4)
        return Silences(args.value(2).toStdString(), args.value(3).toDouble());
    if (mode == QLatin1String("off") && args.size() >= 3)
        return MusicOff(args.value(2).toInt(), tune, args.contains(QLatin1String("--live")));
    if (mode == QLatin1String("unopened") && args.size() >= 3)
        return Unopened(args.value(2).toInt());
    std::fprintf(stderr, "usage: kiramoku_music_bench play SECONDS [TUNE] [--live] | idle SECONDS | gap OUT.wav [TUNE]\n"
                         "       | burst PRESSES SPAN_MS [TUNE] [--live] | silences FILE.raw MIN_MS\n"
                         "       | off SECONDS [TUNE] [--live] | unopened SECONDS\n");
    return 2;
}
