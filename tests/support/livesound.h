#pragma once
// The board's music on a real sound server, heard as a desktop hears it: a
// private PulseAudio daemon (its own runtime directory, a null sink, no
// D-Bus, no sound card) whose sink is recorded from its monitor by parec at
// the server's default latency, as an ordinary recording client does. Used
// by the music's live test and by the music benchmark.
//
// The recording has a clock of its own, offset from the program's by the
// server's buffering; so every figure is a difference between two moments of
// the recording, matched against the difference between the two commands
// that caused them.
#include "mmcontrol.h"
#include "musicsequence.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QString>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QThread>
#include <QTimer>

#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <cstdint>
#include <optional>
#include <vector>

namespace kiramoku::test {

// A run of frames in which every sample of both channels is exactly zero.
struct SilentRun {
    std::size_t from = 0, to = 0;  // frames [from, to)
    double Ms(int rate) const { return 1000.0 * double(to - from) / rate; }
};

struct Recording {
    int rate = 44100;
    std::vector<std::int16_t> samples;  // interleaved stereo

    std::size_t Frames() const { return samples.size() / 2; }
    bool Sounds(std::size_t frame) const { return samples[2 * frame] != 0 || samples[2 * frame + 1] != 0; }
    double Seconds(std::size_t frames) const { return double(frames) / rate; }

    std::optional<std::size_t> FirstSound() const
    {
        for (std::size_t i = 0; i < Frames(); ++i)
            if (Sounds(i))
                return i;
        return std::nullopt;
    }
    // Every stretch of digital silence longer than `minMs` in frames [from, to).
    std::vector<SilentRun> Silences(std::size_t from, std::size_t to, double minMs) const
    {
        std::vector<SilentRun> runs;
        to = std::min(to, Frames());
        for (std::size_t i = from; i < to;) {
            if (Sounds(i)) {
                ++i;
                continue;
            }
            std::size_t j = i;
            while (j < to && !Sounds(j))
                ++j;
            const SilentRun run{i, j};
            if (run.Ms(rate) > minMs)
                runs.push_back(run);
            i = j;
        }
        return runs;
    }

    // A WAV file as parec writes it: 16-bit PCM, two channels.
    static std::optional<Recording> Read(const QString &path)
    {
        QFile file(path);
        if (!file.open(QIODevice::ReadOnly))
            return std::nullopt;
        const QByteArray bytes = file.readAll();
        auto word = [&bytes](qsizetype at, int size) {
            std::uint32_t value = 0;
            for (int i = size - 1; i >= 0; --i)
                value = (value << 8) | std::uint8_t(bytes[at + i]);
            return value;
        };
        if (bytes.size() < 12 || !bytes.startsWith("RIFF") || bytes.mid(8, 4) != "WAVE")
            return std::nullopt;
        Recording recording;
        for (qsizetype at = 12; at + 8 <= bytes.size();) {
            const QByteArray id = bytes.mid(at, 4);
            const qsizetype size = word(at + 4, 4);
            if (id == "fmt ") {
                if (word(at + 10, 2) != 2 || word(at + 22, 2) != 16)
                    return std::nullopt;
                recording.rate = int(word(at + 12, 4));
            } else if (id == "data") {
                // A recording stopped abruptly may leave the length unwritten: take what is there.
                const qsizetype end = size == 0 || at + 8 + size > bytes.size() ? bytes.size() : at + 8 + size;
                const qsizetype count = (end - at - 8) / 4 * 2;
                recording.samples.resize(std::size_t(count));
                std::memcpy(recording.samples.data(), bytes.constData() + at + 8, std::size_t(count) * 2);
                return recording;
            }
            at += 8 + size + (size & 1);
        }
        return std::nullopt;
    }
};

class PrivateSoundServer {
public:
    static constexpr const char *Sink = "kiramoku_test";

    // Starts the daemon; Ready() says whether it answers, Why() why not.
    PrivateSoundServer()
    {
        if (!QStandardPaths::findExecutable(QStringLiteral("pipewire-pulse")).isEmpty()
            || QFile::exists(QStringLiteral("/usr/bin/pipewire-pulse"))) {
            why_ = QStringLiteral("this desktop's sound server is PipeWire's (pipewire-pulse); "
                                  "the test does not install or start PulseAudio beside it");
            return;
        }
        for (const char *tool : {"pulseaudio", "pactl", "parec"}) {
            if (QStandardPaths::findExecutable(QString::fromLatin1(tool)).isEmpty()) {
                why_ = QStringLiteral("%1 is missing (scripts/install-deps test installs pulseaudio "
                                      "and pulseaudio-utils)").arg(QString::fromLatin1(tool));
                return;
            }
        }
        if (!runtime_.isValid()) {
            why_ = QStringLiteral("no temporary directory for the sound server");
            return;
        }
        // This process's own sound clients (the synthesizer's PulseAudio
        // driver) find the private server, and only it.
        qputenv("XDG_RUNTIME_DIR", QFile::encodeName(runtime_.path()));
        qputenv("PULSE_SERVER", "unix:" + QFile::encodeName(runtime_.path()) + "/pulse/native");
        qputenv("PULSE_RUNTIME_PATH", QFile::encodeName(runtime_.path()) + "/pulse");
        env_ = QProcessEnvironment::systemEnvironment();

        daemon_.setProcessEnvironment(env_);
        daemon_.setProcessChannelMode(QProcess::MergedChannels);
        QStringList command{
            QStringLiteral("pulseaudio"), QStringLiteral("-n"), QStringLiteral("--daemonize=no"),
            QStringLiteral("--exit-idle-time=-1"), QStringLiteral("--use-pid-file=no"), QStringLiteral("--disallow-exit"),
            // Its sink's thread at real-time priority, as a desktop's server has it (through rtkit).
            QStringLiteral("--realtime=yes"), QStringLiteral("--high-priority=yes"),
            QStringLiteral("-L"), QStringLiteral("module-null-sink sink_name=%1 rate=44100").arg(QLatin1String(Sink)),
            QStringLiteral("-L"), QStringLiteral("module-native-protocol-unix")};
        daemon_.start(command.takeFirst(), command);
        if (!daemon_.waitForStarted(5000)) {
            why_ = QStringLiteral("pulseaudio does not start: ") + daemon_.errorString();
            return;
        }
        QElapsedTimer waited;
        waited.start();
        while (!Pactl({QStringLiteral("info")})) {
            if (daemon_.state() == QProcess::NotRunning || waited.elapsed() > 10000) {
                why_ = QStringLiteral("PulseAudio cannot start here: ")
                       + QString::fromLocal8Bit(daemon_.readAll()).trimmed().right(400);
                return;
            }
            QThread::msleep(50);
        }
        Pactl({QStringLiteral("set-default-sink"), QLatin1String(Sink)});
        RaiseToRealTime();
        ready_ = true;
    }

    ~PrivateSoundServer()
    {
        for (QProcess *process : {&recorder_, &daemon_}) {
            if (process->state() != QProcess::NotRunning) {
                process->terminate();
                if (!process->waitForFinished(3000))
                    process->kill();
                process->waitForFinished(3000);
            }
        }
    }

    bool Ready() const { return ready_; }
    QString Why() const { return why_; }

    // Records the sink's monitor, at the server's default latency when
    // `latencyMs` is 0; returns once sound is being written, so nothing
    // played afterwards is missed.
    bool StartRecording(int latencyMs = 0)
    {
        wav_ = runtime_.filePath(QStringLiteral("monitor.wav"));
        QFile::remove(wav_);
        QStringList arguments{QStringLiteral("-d"), QLatin1String(Sink) + QStringLiteral(".monitor"),
                              QStringLiteral("--file-format=wav"), QStringLiteral("--rate=44100"),
                              QStringLiteral("--channels=2"), QStringLiteral("--format=s16le")};
        if (latencyMs > 0)
            arguments << QStringLiteral("--latency-msec=%1").arg(latencyMs);
        recorder_.setProcessEnvironment(env_);
        recorder_.start(QStringLiteral("parec"), arguments << wav_);
        if (!recorder_.waitForStarted(5000))
            return false;
        QElapsedTimer waited;
        waited.start();
        while (QFileInfo(wav_).size() < RecordingUnderWay) {
            if (recorder_.state() == QProcess::NotRunning || waited.elapsed() > 15000)
                return false;
            QThread::msleep(20);
        }
        return true;
    }

    // Waits `tailMs` for the server's buffers to reach the recorder, stops
    // it, and reads what it wrote.
    std::optional<Recording> StopRecording(int tailMs)
    {
        Wait(tailMs);
        recorder_.terminate();  // parec finishes its file on SIGTERM
        recorder_.waitForFinished(5000);
        return Recording::Read(wav_);
    }

    // Runs the event loop for `ms` (ticks and timers keep firing).
    static void Wait(int ms)
    {
        QEventLoop loop;
        QTimer::singleShot(ms, Qt::PreciseTimer, &loop, &QEventLoop::quit);
        loop.exec();
    }

private:
    // Every thread of the server at real-time priority where this user may
    // set it (the server keeps its main thread ordinary by itself): a machine
    // busy building (the tests' own builds) would otherwise starve the main
    // thread, which carries every client's sound to the sink, and the
    // recording would show drop-outs of the machine, not of the game.
    void RaiseToRealTime()
    {
        if (geteuid() != 0 || QStandardPaths::findExecutable(QStringLiteral("chrt")).isEmpty())
            return;
        QProcess chrt;
        chrt.start(QStringLiteral("chrt"), {QStringLiteral("--all-tasks"), QStringLiteral("--rr"), QStringLiteral("--pid"),
                                            QStringLiteral("10"), QString::number(daemon_.processId())});
        chrt.waitForFinished(3000);
    }

    static constexpr qint64 RecordingUnderWay = 8192;  // bytes: past the header, sound arriving

    bool Pactl(const QStringList &arguments)
    {
        QProcess pactl;
        pactl.setProcessEnvironment(env_);
        pactl.start(QStringLiteral("pactl"), arguments);
        return pactl.waitForFinished(3000) && pactl.exitStatus() == QProcess::NormalExit && pactl.exitCode() == 0;
    }

    QTemporaryDir runtime_;
    QProcessEnvironment env_;
    QProcess daemon_;
    QProcess recorder_;
    QString wav_;
    bool ready_ = false;
    QString why_;
};

// The board's music as the board drives it, on the live PulseAudio output,
// with the status tick every `periodMs`: the start sequence, two restarts
// while the tune plays, a "Pause" PauseBeforeThirdTickMs before the third
// tick, and the third tick's restart.
struct LiveRun {
    static constexpr int PauseBeforeThirdTickMs = 1500;
    static constexpr int TailMs = 4000;  // after the third tick, sound arriving at the recorder

    // On the program's clock, from the start sequence.
    qint64 pauseAtMs = 0, thirdTickAtMs = 0;
    int ticks = 0;
    double cpuShare = 0;  // of one core, the whole process, start to pause

    void Play(const QString &tune, int periodMs)
    {
        auto output = std::make_shared<LiveAudioOutput>(std::vector<std::string>{"pulseaudio"});
        MMControl music(SequencerOptions{DefaultSoundFonts(), output});
        QElapsedTimer clock;
        QObject::connect(&music, &MMControl::StatusUpdate, [&] {
            RestartMusic(music);
            if (++ticks == 3)
                thirdTickAtMs = clock.elapsed();
        });
        QTimer pause;
        pause.setSingleShot(true);
        pause.setTimerType(Qt::PreciseTimer);
        const double cpuBefore = CpuSeconds();
        QObject::connect(&pause, &QTimer::timeout, [&] {
            music.SetCommand(QStringLiteral("Pause"));
            pauseAtMs = clock.elapsed();
            cpuShare = (CpuSeconds() - cpuBefore) / (double(pauseAtMs) / 1000.0);
        });
        music.SetUpdateInterval(periodMs);  // the ticks count from here
        clock.start();
        StartMusic(music, tune);
        pause.start(3 * periodMs - PauseBeforeThirdTickMs);
        QEventLoop untilThirdTick;
        QObject::connect(&music, &MMControl::StatusUpdate, &untilThirdTick, [&] {
            if (ticks >= 3)
                untilThirdTick.quit();
        });
        untilThirdTick.exec();
        music.SetUpdateInterval(0);
        PrivateSoundServer::Wait(TailMs / 2);
    }

    static double CpuSeconds()
    {
        rusage usage{};
        getrusage(RUSAGE_SELF, &usage);
        auto seconds = [](const timeval &t) { return double(t.tv_sec) + double(t.tv_usec) / 1e6; };
        return seconds(usage.ru_utime) + seconds(usage.ru_stime);
    }
};

// What the recording of a LiveRun shows.
struct LiveFigures {
    bool heard = false;
    double startExtraMs = 0;         // first sound after the start sequence, beyond a restart's delay
    double longestRestartGapMs = 0;  // digital silence within RestartWindowMs of the two restarts while playing
    double longestPlayingGapMs = 0;  // digital silence anywhere from the first sound to the pause
    double pauseToSilenceMs = 0;     // "Pause" to digital silence
    bool soundAfterPause = false;    // the third tick brought the tune back
    double pauseSilenceMs = 0;
    QString silences;                // every silence over 10 ms: "at (ms after the first sound) + length"

    // The pause is the last stretch of silence longer than PauseSilenceMs
    // that sound follows; the third tick's restart ends it.
    static constexpr double PauseSilenceMs = 500;
    // Where on the recording a restart falls is known from the third tick's
    // to within the output's buffer and the server's steps; this is ample.
    static constexpr double RestartWindowMs = 1500;

    static LiveFigures From(const Recording &recording, const LiveRun &run, int periodMs)
    {
        LiveFigures figures;
        const std::optional<std::size_t> first = recording.FirstSound();
        if (!first)
            return figures;
        figures.heard = true;
        const std::size_t end = recording.Frames();
        for (const SilentRun &r : recording.Silences(*first, end, 10.0))
            figures.silences += QStringLiteral(" %1+%2").arg(recording.Seconds(r.from - *first) * 1000.0, 0, 'f', 0)
                                    .arg(r.Ms(recording.rate), 0, 'f', 0);
        const auto runs = recording.Silences(*first, end, PauseSilenceMs);
        const SilentRun *pause = nullptr;
        for (const SilentRun &r : runs)
            if (r.to < end)
                pause = &r;
        if (!pause)
            return figures;
        figures.soundAfterPause = true;
        figures.pauseSilenceMs = pause->Ms(recording.rate);
        const double resumedAt = recording.Seconds(pause->to) * 1000.0;
        const double silentAt = recording.Seconds(pause->from) * 1000.0;
        const double firstAt = recording.Seconds(*first) * 1000.0;
        // The third tick's restart and the pause went through the same running
        // output: their distance on the recording against the program's.
        figures.pauseToSilenceMs = silentAt - (resumedAt - double(run.thirdTickAtMs - run.pauseAtMs));
        figures.startExtraMs = double(run.thirdTickAtMs) - (resumedAt - firstAt);

        // Everything between the first sound and the pause's fade.
        const std::size_t playedUntil = pause->from - std::min(pause->from, FramesOf(recording, FadeMarginMs));
        auto longest = [&](std::size_t from, std::size_t to) {
            double ms = 0;
            for (const SilentRun &gap : recording.Silences(std::max(from, *first), std::min(to, playedUntil), 0.0))
                ms = std::max(ms, gap.Ms(recording.rate));
            return ms;
        };
        figures.longestPlayingGapMs = longest(*first, playedUntil);
        for (int tick = 1; tick <= 2; ++tick) {
            const double atMs = resumedAt - double((3 - tick) * periodMs);
            const std::size_t at = FramesOf(recording, std::max(0.0, atMs - RestartWindowMs));
            figures.longestRestartGapMs = std::max(figures.longestRestartGapMs,
                                                   longest(at, at + FramesOf(recording, 2 * RestartWindowMs)));
        }
        return figures;
    }

private:
    static constexpr double FadeMarginMs = 200;
    static std::size_t FramesOf(const Recording &recording, double ms)
    {
        return std::size_t(ms * recording.rate / 1000.0);
    }
};

} // namespace kiramoku::test
