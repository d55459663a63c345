// The music benchmark's driver, run by bench/music-run under public tools.
//
//   kiramoku_music_bench play SECONDS [TUNE] [--live]
//       The board's music as the board drives it (start sequence, then a
//       close/open/play on every status tick) for SECONDS, on a stand-in for
//       the sound card that renders in real time and throws the sound away
//       (or on the real sound card with --live). Run it under /usr/bin/time
//       for the CPU share and the peak resident memory.
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
#include "leftbehind.h"
#include "mmcontrol.h"
#include "musicsequence.h"

#include <fluidsynth.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTimer>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <thread>
#include <vector>

using namespace kiramoku;

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

int Play(int seconds, const QString &tune, bool live)
{
    SequencerOptions options;
    if (!live)
        options.output = std::make_shared<PacedAudioOutput>();
    MMControl music(options);
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
    QCoreApplication::exec();
    std::printf("output: %s\n", live ? "sound card" : "real-time stand-in for a sound card");
    std::printf("tune state after the start sequence: %s\n",
                status.state == TuneState::Playing ? "playing" : "not playing");
    std::printf("start sequence on the caller's thread: %.3f ms\n", static_cast<double>(longestCall) / 1e6);
    std::printf("music playing %.1f ms after the start sequence returned (SoundFont loaded meanwhile)\n",
                static_cast<double>(startedAfter) / 1e6);
    std::printf("restarts by the status tick: %d\n", restarts);
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
    put(1, 2);   // PCM
    put(2, 2);   // stereo
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
                settled ? "" : " (gave up)", played ? "playing" : released ? "released" : "neither playing nor released");
    std::printf("the same presses again, then the close: %.1f ms; a thread left behind: %s\n", closeMs,
                ThreadsLeftBehind() ? "yes" : "no");
    return 0;
}

} // namespace

int main(int argc, char **argv)
{
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
    std::fprintf(stderr, "usage: kiramoku_music_bench play SECONDS [TUNE] [--live] | idle SECONDS | gap OUT.wav [TUNE]"
                         " | burst PRESSES SPAN_MS [TUNE] [--live]\n");
    return 2;
}
