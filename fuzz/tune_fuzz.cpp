// The hostile tune fuzzer. Each input is a tune file, taken the way the board
// takes its tune: written to disk, then opened, played a moment, paused,
// played on from a position and closed through the music control, with the
// sound rendered offline (no sound card). The tune check sees the raw bytes
// too, and what it answers is checked for sense.
//
// One control lives for the whole run, so the SoundFont is loaded once and an
// input costs about as much as the board's status tick. Everything is
// bounded: the player runs through a tune once, and only a fixed number of
// blocks of sound is rendered per input.
//
// A finding is an abort (a sanitizer report, a control that stops answering,
// a check answer that makes no sense) and libFuzzer saves the input.
#include "mmcontrol.h"
#include "tunecheck.h"

#include <QCoreApplication>
#include <QString>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <span>
#include <string>
#include <vector>

using namespace kiramoku;

namespace {

// Longer than any command takes, shorter than libFuzzer's -timeout=10: a
// control that stops answering is reported as such, with its input.
constexpr std::chrono::seconds Patience{8};
// A moment of the tune: two of the sound card's buffers, about 93 ms.
constexpr std::size_t MomentFrames = 2 * LiveAudioOutput::BufferFrames;

[[noreturn]] void Fail(const char *what)
{
    std::fprintf(stderr, "kiramoku_tune_fuzz: %s\n", what);
    std::fflush(stderr);
    std::abort();
}

void Expect(bool holds, const char *what)
{
    if (!holds)
        Fail(what);
}

// The tune check's answer, whatever the bytes: a refusal says why and keeps
// nothing; an acceptance describes a tune the player can count through.
void CheckTheCheck(std::span<const std::uint8_t> bytes, const TuneCheck &check)
{
    if (!check.accepted) {
        Expect(!check.reason.empty(), "a refusal without a reason");
        Expect(check.tempos.empty(), "a refusal that keeps tempo changes");
        return;
    }
    Expect(check.reason.empty(), "an acceptance with a reason for refusal");
    Expect(bytes.size() <= MaxTuneBytes, "an accepted file larger than the limit");
    Expect(bytes.size() >= 14 && std::equal(bytes.begin(), bytes.begin() + 4, "MThd"), "an accepted file without MThd");
    Expect(check.format == 0 || check.format == 1, "an accepted format other than 0 or 1");
    Expect(check.tracks >= 1 && check.tracks <= MaxTuneTracks, "an accepted track count out of range");
    Expect(check.format == 1 || check.tracks == 1, "an accepted format 0 file with several tracks");
    Expect(check.division >= 1 && check.division <= 0x7FFF, "an accepted division out of range");
    Expect(check.notes >= 0, "a negative note count");
    Expect(check.endTick >= 0 && check.endTick <= MaxTuneTicks, "an accepted tune that ends out of range");
    for (std::size_t i = 0; i < check.tempos.size(); ++i) {
        const TempoChange &change = check.tempos[i];
        Expect(change.tick >= 0 && change.tick <= check.endTick, "a tempo change outside the tune");
        Expect(change.microsPerQuarter >= 1 && change.microsPerQuarter <= 0xFFFFFF, "a tempo out of range");
        Expect(std::int64_t{1000} * check.division <= MaxTuneTicksPerMs * change.microsPerQuarter,
               "an accepted tempo too fast for the player to count");
        Expect(i == 0 || check.tempos[i - 1].tick < change.tick, "tempo changes out of order or doubled");
    }
    const double duration = check.DurationMs();
    Expect(std::isfinite(duration) && duration >= 0.0, "a tune length that is not a number of milliseconds");
    Expect(check.TickAt(duration) == check.endTick, "the tune's length does not lead back to its end");
    Expect(check.TickAt(duration * 2.0 + 1.0) == check.endTick, "a time past the end lands inside the tune");
    Expect(check.TickAt(-1.0) == 0, "a time before the start lands inside the tune");
    double before = 0.0;
    for (const std::int64_t tick : {std::int64_t{0}, check.endTick / 3, check.endTick / 2, check.endTick}) {
        const double ms = check.MillisecondsAt(tick);
        Expect(std::isfinite(ms) && ms >= before && ms <= duration, "tune time that runs backwards");
        before = ms;
        const std::int64_t back = check.TickAt(ms);
        Expect(back >= tick - 1 && back <= tick + 1, "a tick and its time do not lead back to each other");
    }
}

// A position to play on from, taken from the input so that a saved input
// plays the same way again: anywhere from the start to past the end.
qint32 PositionFrom(std::span<const std::uint8_t> bytes, const TuneCheck &check)
{
    std::uint32_t hash = 2166136261u;  // FNV-1a
    for (const std::uint8_t b : bytes)
        hash = (hash ^ b) * 16777619u;
    const double reach = std::min(check.DurationMs() * 1.25 + 1.0, 2147483647.0);
    return static_cast<qint32>(hash % static_cast<std::uint32_t>(reach));
}

struct Rig {
    int argc = 1;
    char name[19] = "kiramoku_tune_fuzz";
    char *argv[2] = {name, nullptr};
    QCoreApplication app{argc, argv};
    std::shared_ptr<OfflineAudioOutput> output = std::make_shared<OfflineAudioOutput>();
    MMControl control{SequencerOptions{DefaultSoundFonts(), output}};
    std::filesystem::path folder;
    QString tune;
    std::vector<float> left = std::vector<float>(MomentFrames), right = std::vector<float>(MomentFrames);

    Rig()
    {
        control.SetUpdateInterval(0);  // the fuzzer gives the commands itself
        std::string pattern = (std::filesystem::temp_directory_path() / "kiramoku-fuzz-XXXXXX").string();
        if (!mkdtemp(pattern.data()))
            Fail("cannot make a folder for the tune file");
        folder = pattern;
        tune = QString::fromStdString((folder / "tune.mid").string());
        // The board's settings, once: they stay as set.
        control.SetNotify(false);
        control.SetWait(true);
        control.SetShareable(false);
        control.SetDeviceType(QStringLiteral("Sequencer"));
        control.SetFileName(tune);
    }
    ~Rig()
    {
        std::error_code error;
        std::filesystem::remove_all(folder, error);
    }

    void Settle()
    {
        if (!control.Device().WaitUntilIdle(Patience))
            Fail("the music control stopped answering");
    }

    // Renders `frames` of sound after the commands given so far took effect.
    void Render(std::size_t frames)
    {
        Settle();
        std::span<float> l(left.data(), frames), r(right.data(), frames);
        output->Render(l, r);
        for (std::size_t i = 0; i < frames; ++i)
            Expect(std::isfinite(l[i]) && std::isfinite(r[i]), "the synthesizer made sound that is not a number");
    }
};

std::unique_ptr<Rig> rig;

void TearDown()
{
    rig.reset();  // the control first (its thread, synthesizer, SoundFont), then the application
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    rig = std::make_unique<Rig>();
    std::atexit(TearDown);
    // The SoundFont now, so the first input costs no more than the others:
    // a one-note tune opened and closed.
    {
        const unsigned char oneNote[] = {'M', 'T', 'h', 'd', 0, 0, 0, 6, 0, 0, 0, 1, 1, 0xE0,
                                         'M', 'T', 'r', 'k', 0, 0, 0, 13, 0, 0x90, 0x45, 0x60,
                                         0x83, 0x60, 0x80, 0x45, 0, 0, 0xFF, 0x2F, 0};
        std::ofstream file(rig->folder / "tune.mid", std::ios::binary | std::ios::trunc);
        file.write(reinterpret_cast<const char *>(oneNote), sizeof oneNote);
    }
    rig->control.SetCommand(QStringLiteral("Open"));
    rig->Settle();  // carried out before the close, which would otherwise make it moot
    rig->control.SetCommand(QStringLiteral("Close"));
    rig->Settle();
    const Sequencer::Status ready = rig->control.Device().Snapshot();
    if (!ready.synthReady)
        Fail("no SoundFont loaded: the music cannot be fuzzed");
    if (ready.opens != 1)
        Fail("a good one-note tune did not open");
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const std::span<const std::uint8_t> bytes(data, size);
    const TuneCheck check = CheckTune(bytes);
    CheckTheCheck(bytes, check);

    {
        // A new file moved over the last: inputs of one size written in the
        // same clock step of the file system would otherwise look unchanged
        // to the control, which reads a tune file again only when it changed.
        std::ofstream file(rig->folder / "tune.new", std::ios::binary | std::ios::trunc);
        file.write(reinterpret_cast<const char *>(data), static_cast<std::streamsize>(size));
        file.close();
        std::error_code moved;
        std::filesystem::rename(rig->folder / "tune.new", rig->folder / "tune.mid", moved);
        if (!file || moved)
            Fail("cannot write the tune file");
    }

    Rig &r = *rig;
    MMControl &control = r.control;
    const int opensBefore = control.Device().Snapshot().opens;
    // The output stays open for the control's life once a tune has played.
    const bool outputBefore = r.output->Running();

    // The board's start: open, from the top, play.
    control.SetCommand(QStringLiteral("Open"));
    control.SetFrom(0);
    control.SetCommand(QStringLiteral("Play"));
    r.Render(MomentFrames);
    const Sequencer::Status playing = control.Device().Snapshot();
    Expect((playing.opens > opensBefore) == check.accepted,
           "the control opened a tune the check refused, or not one it accepted");
    if (check.accepted) {
        Expect(playing.endTick == check.endTick, "the control's tune length differs from the check's");
        Expect(playing.state == TuneState::Playing || playing.state == TuneState::Finished,
               "an accepted tune is neither playing nor finished after Play");
        Expect(r.output->Running(), "an accepted tune plays without the sound device");
    } else {
        Expect(playing.state == TuneState::Closed, "a refused tune is open");
        Expect(r.output->Running() == outputBefore, "a refused tune started or stopped the sound device");
    }

    // A pause, then on from a position somewhere in (or past) the tune.
    control.SetCommand(QStringLiteral("Pause"));
    r.Render(MomentFrames / 4);
    control.SetFrom(PositionFrom(bytes, check));
    control.SetCommand(QStringLiteral("Play"));
    r.Render(MomentFrames);
    const Sequencer::Status after = control.Device().Snapshot();
    Expect(after.tick >= 0, "the player's position went negative");

    // Closed: no tune; the output, once started, waits for the next one.
    const bool wasRunning = r.output->Running();
    control.SetCommand(QStringLiteral("Close"));
    r.Settle();
    Expect(control.Device().Snapshot().state == TuneState::Closed, "a tune stays open after Close");
    Expect(r.output->Running() == wasRunning, "Close started or stopped the sound output");
    return 0;
}
