#include "engine.h"

#include "musiclog.h"
#include "report.h"
#include "tunefile.h"

#include <fluidsynth.h>
#include <malloc.h>

#include <cstdio>
#include <filesystem>

namespace kiramoku {

void Engine::Open(const std::string &path)
{
    Close();
    // The tune is read and checked before the SoundFont is loaded: a
    // missing or refused tune costs nothing.
    std::string why;
    if (!tune_.Load(path, why))
        return ReportNoMusic(why);
    if (!EnsureSynth())
        return;
    ++opens_;
    LoadPlayer();
}

void Engine::Play(std::optional<std::int64_t> fromMs)
{
    if (!player_)
        return;
    {
        const std::lock_guard lock(sound_.Lock());
        const bool finished = State() == TuneState::Finished;
        if (!fromMs && finished)
            return;  // at its end: nothing left to play
        if (fromMs && *fromMs >= 0) {
            const auto tick = static_cast<int>(tune_.Check().TickAt(static_cast<double>(*fromMs)));
            if (finished) {
                // A player that reached its end cannot start again: load the tune anew.
                fluid_player_stop(player_);
                delete_fluid_player(player_);
                player_ = nullptr;
                LoadPlayerLocked();
                if (!player_)
                    return;
            }
            fluid_player_seek(player_, tick);
        }
        fluid_player_play(player_);
    }
    if (sound_.Hushed()) {
        // What rang on, unheard, since the pause goes; the tune fades back in.
        fluid_synth_all_sounds_off(synth_, -1);
        sound_.Hush(false);
    }
    paused_ = false;
    played_ = true;
    StartOutput();
}

// The output starts with the first tune played and runs from then on. One
// that lost its sound server (killed, restarted) is closed, and a new one
// opened on whatever server answers now, at once or at a later attempt.
void Engine::StartOutput()
{
    outputWanted_ = true;
    if (outputOn_ && !options_.output->Alive()) {
        options_.output->Stop();
        outputOn_ = false;
        if (!outputLost_) {
            static OnceALine line;
            line.Say(QStringLiteral("the sound server stopped answering; the music comes back when one answers"));
        }
        outputLost_ = true;
    }
    if (outputOn_)
        return;
    std::string why;
    if (options_.output->Start(settings_, sound_, why)) {
        outputOn_ = true;
        outputLost_ = false;
    } else if (!outputLost_) {
        // Not a failure for good: a sound server started after the game
        // (or on its way back) is found at a later attempt.
        ReportMusicWaits(why);
    }
}

bool Engine::ReopenOutput()
{
    if (outputWanted_ && (!outputOn_ || !options_.output->Alive()))
        StartOutput();
    return outputWanted_;
}

// The synthesizer's own calls (notes off, controllers) are serialised by
// its own mutex and made outside the sound's lock, which the render must
// find free as often as possible.
void Engine::Pause()
{
    {
        const std::lock_guard lock(sound_.Lock());
        if (State() != TuneState::Playing)
            return;
        // Hushed first: the stopped player's next step silences every
        // channel at once, which the fade must cover.
        sound_.Hush(true);
        fluid_player_stop(player_);  // keeps the position for the next Play
    }
    fluid_synth_all_notes_off(synth_, -1);
    paused_ = true;
}

// Stops the tune: its notes end as a player lifting the keys would end
// them, dying away while the output keeps running.
void Engine::Close()
{
    if (player_) {
        DeletePlayer();
        fluid_synth_all_notes_off(synth_, -1);
        // No controller of this tune (a bend, a pedal, an expression)
        // carries over into the next.
        for (int channel = 0; channel < fluid_synth_count_midi_channels(synth_); ++channel)
            fluid_synth_cc(synth_, channel, ResetAllControllers, 0);
    }
}

void Engine::Release(bool fade)
{
    if (fade && outputOn_) {
        // Closing the output drops what it holds unplayed: it must hold
        // nothing but silence by then, or the fade is cut off in a click.
        sound_.Hush(true);
        sound_.WaitFadedOut(2 * static_cast<std::int64_t>(options_.output->BufferedFrames()), FadeWait);
    }
    // The output first (it renders the synthesizer), then the tune, the
    // synthesizer and its SoundFont.
    options_.output->Stop();
    outputOn_ = false;
    outputLost_ = false;
    outputWanted_ = false;
    Close();
    {
        const std::lock_guard lock(sound_.Lock());
        sound_.Attach(nullptr);
    }
    if (synth_)
        delete_fluid_synth(synth_);  // unloads the SoundFont with it
    synth_ = nullptr;
    if (settings_)
        delete_fluid_settings(settings_);
    settings_ = nullptr;
    synthFailed_ = false;
    sound_.Hush(false);
    malloc_trim(0);  // the SoundFont's megabytes go back to the system now
}

Sequencer::Status Engine::Status()
{
    Sequencer::Status status;
    const std::lock_guard lock(sound_.Lock());
    status.state = State();
    status.synthReady = synth_ != nullptr;
    status.outputOn = outputOn_;
    status.tick = player_ ? fluid_player_get_current_tick(player_) : 0;
    status.endTick = player_ ? tune_.Check().endTick : 0;
    status.tuneMs = player_ ? tune_.Check().DurationMs() : 0.0;
    status.opens = opens_;
    status.reads = tune_.Reads();
    return status;
}

TuneState Engine::State() const
{
    if (!player_)
        return TuneState::Closed;
    // The player keeps saying "playing" for a while after the last track's
    // end (to let the last notes ring), and says "done" both after a stop
    // and at the end: so the end is told by the position, and a stop by
    // our own note of it.
    if (fluid_player_get_current_tick(player_) >= tune_.Check().endTick && played_)
        return TuneState::Finished;
    if (fluid_player_get_status(player_) == FLUID_PLAYER_PLAYING)
        return TuneState::Playing;
    if (paused_)
        return TuneState::Paused;
    return played_ ? TuneState::Finished : TuneState::Ready;
}

// The synthesizer and its SoundFont, made on first use and kept until released.
bool Engine::EnsureSynth()
{
    if (synth_)
        return true;
    if (synthFailed_)
        return false;
    synthFailed_ = true;
    settings_ = new_fluid_settings();
    if (!settings_) {
        ReportNoMusic("the synthesizer cannot start");
        return false;
    }
    // The player's clock is the rendered sound itself, so offline rendering
    // and a sound card keep the same time.
    fluid_settings_setstr(settings_, "player.timing-source", "sample");
    // The player must not reset the synthesizer at the tune's end: that
    // would cut the last notes' decay short just before the restart.
    fluid_settings_setint(settings_, "player.reset-synth", 0);
    fluid_settings_setint(settings_, "synth.lock-memory", 0);
    fluid_settings_setint(settings_, "synth.dynamic-sample-loading", 0);
    fluid_settings_setnum(settings_, "synth.sample-rate", SynthSound::SampleRate);
    fluid_settings_setint(settings_, "synth.polyphony", 64);
    fluid_settings_setint(settings_, "synth.chorus.active", 0);
    fluid_settings_setnum(settings_, "synth.gain", 0.5);
    synth_ = new_fluid_synth(settings_);
    if (!synth_) {
        ReportNoMusic("the synthesizer cannot start");
        return false;
    }
    std::string damaged;
    for (const std::string &path : options_.soundFonts) {
        std::error_code error;
        if (!std::filesystem::is_regular_file(path, error))
            continue;
        if (fluid_synth_sfload(synth_, path.c_str(), 1) != FLUID_FAILED) {
            synthFailed_ = false;
            const std::lock_guard lock(sound_.Lock());
            sound_.Attach(synth_);
            return true;
        }
        if (damaged.empty())
            damaged = path;
    }
    if (!damaged.empty()) {
        ReportNoMusic("the SoundFont " + damaged + " is damaged");
    } else {
        std::string looked;
        for (const std::string &path : options_.soundFonts)
            looked += (looked.empty() ? "" : ", ") + path;
        ReportNoMusic("no General MIDI SoundFont (looked for " + looked + ")");
    }
    delete_fluid_synth(synth_);
    synth_ = nullptr;
    return false;
}

// A new player holding the open tune, at its start.
void Engine::LoadPlayer()
{
    DeletePlayer();
    const std::lock_guard lock(sound_.Lock());
    LoadPlayerLocked();
}

void Engine::LoadPlayerLocked()
{
    // The player registers its timer with the synthesizer, which the render
    // walks: hence the lock. The render skips a buffer rather than wait.
    player_ = new_fluid_player(synth_);
    paused_ = false;
    played_ = false;
    if (!player_)
        return;
    // Once through: a player told to loop retries a tune it cannot read for ever.
    fluid_player_set_loop(player_, 1);
    if (fluid_player_add_mem(player_, tune_.Bytes().data(), tune_.Bytes().size()) != FLUID_OK) {
        delete_fluid_player(player_);
        player_ = nullptr;
    }
}

void Engine::DeletePlayer()
{
    if (player_) {
        const std::lock_guard lock(sound_.Lock());
        fluid_player_stop(player_);
        delete_fluid_player(player_);
        player_ = nullptr;
    }
    paused_ = false;
    played_ = false;
}

}  // namespace kiramoku
