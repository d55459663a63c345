#pragma once
// The MIDI sequencer behind the board's music control: FluidSynth with a
// General MIDI SoundFont, one tune at a time. Every command returns at once,
// changing the wanted state; one worker thread brings the music to the
// newest wish, loading the SoundFont there. Failures say one line a run.
#include "audiooutput.h"
#include "tunecheck.h"
#include "worker.h"

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace kiramoku {

// Tried in order: the small TimGM6mb (quick to load), then the system's default.
inline std::vector<std::string> DefaultSoundFonts()
{
    return {"/usr/share/sounds/sf2/TimGM6mb.sf2", "/usr/share/sounds/sf2/default-GM.sf2", "/usr/share/sounds/sf3/default-GM.sf3"};
}

struct SequencerOptions {
    std::vector<std::string> soundFonts = DefaultSoundFonts();
    std::shared_ptr<AudioOutput> output = std::make_shared<LiveAudioOutput>();
};

enum class TuneState {
    Closed,  // no tune open
    Ready,   // open, not started
    Playing,
    Paused,    // stopped by Pause, keeps its position
    Finished,  // played to its end and stopped there
};

// The tune file, read and checked once a run, and again only when a stat
// finds it changed (another file, size or times): a restart reads nothing.
struct TuneFile {
    // False, and `why` in a few words, when there is no tune we can play at `path`.
    bool Load(const std::string &path, std::string &why);
    std::string path;
    std::vector<std::int64_t> stamp;
    std::vector<std::uint8_t> bytes;
    TuneCheck check;
    int reads = 0;  // files read so far
};

class Sequencer {
public:
    static constexpr int SampleRate = AudioOutput::SampleRate;
    // The end leaves a worker held longer (a frozen sound server) behind.
    static constexpr std::chrono::milliseconds ShutdownWait{500};
    // While a tune has played since music off, the worker looks this often
    // for a lost output's new sound server, or a first one.
    static constexpr std::chrono::milliseconds ReopenEvery{750};

    explicit Sequencer(SequencerOptions options = {});
    ~Sequencer();

    void Open(const std::string &path)  // at its start, closing the one open
    {
        Change([&path](Wish &wish) { wish = {false, TuneState::Ready, path, wish.opens + 1, wish.plays, {}}; });
    }
    // Plays on, or from `fromMs` into the tune; a finished tune only from a position.
    void Play(std::optional<std::int64_t> fromMs = std::nullopt);
    void Pause()  // keeps the position
    {
        Change([](Wish &wish) { wish.tune = wish.tune == TuneState::Playing ? TuneState::Paused : wish.tune; });
    }
    void Close()  // forgets the tune; the output keeps running
    {
        Change([](Wish &wish) { wish.tune = TuneState::Closed; });
    }
    void Release()  // music off: fade, then no output, synthesizer or SoundFont
    {
        Change([](Wish &wish) { wish = {true, TuneState::Closed, wish.path, wish.opens, wish.plays, {}}; });
    }

    struct Status {  // for tests and measurements
        TuneState state = TuneState::Closed;
        bool synthReady = false;   // SoundFont loaded
        bool outputOn = false;     // the sound output is open
        int tick = 0;              // the player's position in the tune
        std::int64_t endTick = 0;  // the open tune's length in ticks
        double tuneMs = 0.0;       // the open tune's length in milliseconds
        int opens = 0;             // tunes opened so far
        int reads = 0;             // tune files read so far
    };
    // True once the music is as last wished, waiting at most `limit`.
    bool WaitUntilIdle(std::chrono::milliseconds limit) { return worker_.Settle(limit); }
    // Asked of the worker after the wishes before; empty after SnapshotWait.
    Status Snapshot();
    static constexpr std::chrono::seconds SnapshotWait{10};

private:
    struct Wish {
        bool off = false;                    // music off
        TuneState tune = TuneState::Closed;  // Closed, Ready, Playing or Paused
        std::string path;
        int opens = 0;  // each Open opens the tune anew
        int plays = 0;  // each Play plays, from fromMs when given
        std::optional<std::int64_t> fromMs;
    };
    class Engine;
    void Change(const std::function<void(Wish &)> &change);

    std::shared_ptr<Engine> engine_;  // shared with the worker, which may outlive us
    Worker worker_;                   // last: it ends first
};

}  // namespace kiramoku
