#pragma once
// The MIDI sequencer behind the board's music control: a FluidSynth
// synthesizer with a General MIDI SoundFont, playing one tune at a time.
//
// Every command returns at once. The work happens in order on the
// sequencer's own thread, started by the first Open: it loads the SoundFont
// there (once for the sequencer's life), so neither a window nor a click ever
// waits for it, and commands given meanwhile take effect, in order, when it
// is ready. The sound output starts with the first tune played and runs,
// silent between tunes, until the music is released or the sequencer ends:
// closing, opening and playing a tune again happens inside the synthesizer.
// An output whose sound server went away is reopened at the next Play.
// Failures are silent: a missing SoundFont, a missing or damaged tune, no
// sound device leave the commands without effect, and at most one line per
// run says why (ReportNoMusic).
#include "audiooutput.h"

#include <chrono>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace kiramoku {

// The SoundFonts tried in order: the small TimGM6mb (quick to load), then
// whatever General MIDI SoundFont the system names as its default.
std::vector<std::string> DefaultSoundFonts();

struct SequencerOptions {
    std::vector<std::string> soundFonts = DefaultSoundFonts();
    std::shared_ptr<AudioOutput> output = std::make_shared<LiveAudioOutput>();
};

// What the sequencer is doing with its tune.
enum class TuneState {
    Closed,    // no tune open
    Ready,     // open, not started
    Playing,
    Paused,    // stopped by Pause, keeps its position
    Finished,  // played to its end and stopped there
};

class Sequencer {
public:
    static constexpr int SampleRate = 44100;  // frames a second, live and offline

    explicit Sequencer(SequencerOptions options = {});
    // Ends the sound output, the tune and the thread; commands still waiting
    // are dropped. Waits at most ShutdownWait for the one in hand; a thread
    // still held then by a sound server that hangs is left behind (see
    // leftbehind.h) and the process ends without it.
    ~Sequencer();
    Sequencer(const Sequencer &) = delete;
    Sequencer &operator=(const Sequencer &) = delete;

    static constexpr std::chrono::milliseconds ShutdownWait{500};

    // Reads and checks the tune file and opens it at its start; a tune already
    // open is closed first. A Release still waiting is dropped.
    void Open(const std::string &path);
    // Plays on from the current position to the end of the tune and stops
    // there; from `fromMs` milliseconds into the tune when given. A finished
    // tune plays again only from a position given.
    void Play(std::optional<std::int64_t> fromMs = std::nullopt);
    // Stops playing and keeps the position; the sound fades out within 20 ms.
    void Pause();
    // Stops the tune, its last notes dying away as they would on a key's
    // release, and forgets it. The sound output keeps running.
    void Close();
    // Music off: the tune fades out within 20 ms, then the sound output
    // closes and the synthesizer and its SoundFont go, within a second.
    // Every command still waiting is dropped; the one in hand is finished.
    void Release();

    // For tests and measurements, from any thread.
    struct Status {
        TuneState state = TuneState::Closed;
        bool synthReady = false;     // SoundFont loaded
        bool outputOn = false;       // the sound output is open
        int tick = 0;                // the player's position in the tune
        std::int64_t endTick = 0;    // the open tune's length in ticks
        double tuneMs = 0.0;         // the open tune's length in milliseconds
        int opens = 0;               // tunes opened so far
    };
    // Waits until every command given so far has been carried out; false if
    // that takes longer than `limit`.
    bool WaitUntilIdle(std::chrono::milliseconds limit);
    Status Snapshot();

private:
    struct Shared;
    enum class Command { Open, Play, Pause, Close, Release };
    void Submit(Command command, std::string path = {}, std::optional<std::int64_t> fromMs = std::nullopt);

    std::shared_ptr<Shared> shared_;  // shared with the thread, which may outlive us
};

} // namespace kiramoku
