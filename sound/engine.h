#pragma once
// Everything FluidSynth: the synthesizer with its SoundFont, the player of
// the open tune, and the sound output rendering them. Used on the
// sequencer's thread only; Status may be asked from any thread.
//
// Every call into the player holds the sound's lock (see SynthSound), so the
// output's thread never sees a player half started, stopped or moved.
#include "sequencer.h"
#include "synthsound.h"
#include "tunefile.h"

#include <fluidsynth/types.h>

namespace kiramoku {

class Engine {
public:
    explicit Engine(SequencerOptions options)
        : options_(std::move(options)) {}
    ~Engine() { Release(false); }
    Engine(const Engine &) = delete;
    Engine &operator=(const Engine &) = delete;

    void Open(const std::string &path);
    void Play(std::optional<std::int64_t> fromMs);
    void Pause();
    void Close();
    // Music off: the tune fades out (when `fade`), then the output closes
    // and the synthesizer and its SoundFont go. The next Open makes them anew.
    void Release(bool fade = true);

    Sequencer::Status Status();

    // While a tune has played since the music was last released, the output
    // should play: called every ReopenEvery, this opens it again if its sound
    // server went away or none has answered yet, and answers whether to go on.
    bool ReopenOutput();
    static constexpr std::chrono::milliseconds ReopenEvery{750};

    // How long Release waits at most for the fade to be played to its last
    // sample before closing the output: the output's buffer before the fade
    // is heard, the fade, then twice the buffer of silence (about 300 ms),
    // with room for a busy machine; well within Sequencer::ShutdownWait.
    static constexpr std::chrono::milliseconds FadeWait{400};
    // The game is ending: a Release in hand no longer waits for its fade. Any thread.
    void Hurry() { sound_.Hurry(); }

private:
    TuneState State() const;  // caller holds the sound's lock
    bool EnsureSynth();
    void LoadPlayer();
    void LoadPlayerLocked();  // caller holds the sound's lock
    void DeletePlayer();
    void StartOutput();

    static constexpr int ResetAllControllers = 121;  // the MIDI controller number

    SequencerOptions options_;
    SynthSound sound_;
    fluid_settings_t *settings_ = nullptr;
    fluid_synth_t *synth_ = nullptr;
    bool synthFailed_ = false;
    fluid_player_t *player_ = nullptr;
    TuneFile tune_;
    bool paused_ = false;
    bool played_ = false;
    bool outputOn_ = false;
    bool outputLost_ = false;
    bool outputWanted_ = false;
    int opens_ = 0;
};

}  // namespace kiramoku
