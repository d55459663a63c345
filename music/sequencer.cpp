#include "sequencer.h"

#include "musiclog.h"
#include "tunecheck.h"

#include <fluidsynth.h>

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <deque>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <thread>

namespace kiramoku {

std::vector<std::string> DefaultSoundFonts()
{
    return {"/usr/share/sounds/sf2/TimGM6mb.sf2", "/usr/share/sounds/sf2/default-GM.sf2",
            "/usr/share/sounds/sf3/default-GM.sf3"};
}

namespace {

// Reads a tune file, refusing anything but a regular file of a sensible size
// before reading it: a directory, a device that never ends, a fifo that would
// block. The read itself is bounded too, in case the file grows meanwhile.
std::optional<std::vector<std::uint8_t>> ReadTuneFile(const std::string &path, std::string &why)
{
    std::error_code error;
    const std::filesystem::path file(path);
    if (path.empty() || !std::filesystem::exists(file, error)) {
        why = "the tune file " + path + " is missing";
        return std::nullopt;
    }
    if (!std::filesystem::is_regular_file(file, error)) {
        why = "the tune file " + path + " is not a regular file";
        return std::nullopt;
    }
    const auto size = std::filesystem::file_size(file, error);
    if (error || size > MaxTuneBytes) {
        why = "the tune file " + path + " is too large";
        return std::nullopt;
    }
    std::ifstream in(file, std::ios::binary);
    std::vector<std::uint8_t> bytes(MaxTuneBytes + 1);
    in.read(reinterpret_cast<char *>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    if (in.bad() || (in.fail() && !in.eof())) {
        why = "the tune file " + path + " cannot be read";
        return std::nullopt;
    }
    bytes.resize(static_cast<std::size_t>(in.gcount()));
    return bytes;
}

// The synthesizer as the output hears it. Rendering walks the synthesizer's
// list of players' timers, which making or deleting a player changes with no
// lock of the synthesizer's own: so both hold this sound's lock, and a
// player comes and goes while the output keeps running.
class SynthSound : public SoundSource {
public:
    static constexpr int FadeFrames = Sequencer::SampleRate / 50;  // 20 ms: quick, yet no click

    void Attach(fluid_synth_t *synth)
    {
        const std::lock_guard lock(mutex_);
        synth_ = synth;
    }
    std::mutex &Lock() { return mutex_; }

    // Hushed, the sound fades out over FadeFrames and then stays silent, to
    // the last sample, until it is let sound again (it fades back in).
    void Hush(bool on) { hushed_ = on; }
    bool Hushed() const { return hushed_; }

    void Render(std::span<float> left, std::span<float> right) override
    {
        const std::lock_guard lock(mutex_);
        if (!synth_) {
            std::fill(left.begin(), left.end(), 0.0f);
            std::fill(right.begin(), right.end(), 0.0f);
            return;
        }
        // The synthesizer renders at most this many frames a call.
        constexpr std::size_t Block = 4096;
        for (std::size_t done = 0; done < left.size(); done += Block) {
            const int count = static_cast<int>(std::min(Block, left.size() - done));
            fluid_synth_write_float(synth_, count, left.data() + done, 0, 1, right.data() + done, 0, 1);
        }
        ApplyFade(left, right);
    }

private:
    void ApplyFade(std::span<float> left, std::span<float> right)
    {
        const float target = hushed_ ? 0.0f : 1.0f;
        if (gain_ == target && target == 1.0f)
            return;
        constexpr float Step = 1.0f / FadeFrames;
        for (std::size_t i = 0; i < left.size(); ++i) {
            gain_ = target > gain_ ? std::min(target, gain_ + Step) : std::max(target, gain_ - Step);
            left[i] *= gain_;
            right[i] *= gain_;
            if (gain_ == 0.0f) {  // exact silence from here on, not the hall's last whisper
                left[i] = 0.0f;
                right[i] = 0.0f;
            }
        }
    }

    std::mutex mutex_;
    fluid_synth_t *synth_ = nullptr;
    std::atomic<bool> hushed_{false};
    float gain_ = 1.0f;  // the output's thread only
};

// Everything FluidSynth: used on the sequencer's thread only (and, under the
// shared lock, by Snapshot).
class Engine {
public:
    Engine(SequencerOptions options) : options_(std::move(options)) {}
    ~Engine() { Shutdown(); }

    void Open(const std::string &path)
    {
        if (!EnsureSynth())
            return;
        Close();
        std::string why;
        auto bytes = ReadTuneFile(path, why);
        if (!bytes)
            return ReportNoMusic(why);
        TuneCheck check = CheckTune(*bytes);
        if (!check.accepted)
            return ReportNoMusic("the tune file " + path + " is not a tune we can play: " + check.reason);
        tune_ = std::move(*bytes);
        check_ = std::move(check);
        ++opens_;
        LoadPlayer();
    }

    void Play(std::optional<std::int64_t> fromMs)
    {
        if (!player_)
            return;
        if (fromMs && *fromMs >= 0) {
            const auto tick = static_cast<int>(check_.TickAt(static_cast<double>(*fromMs)));
            if (State() == TuneState::Finished)
                LoadPlayer();  // a player that reached its end cannot start again: load the tune anew
            fluid_player_seek(player_, tick);
        } else if (State() == TuneState::Finished) {
            return;  // at its end: nothing left to play
        }
        if (sound_.Hushed()) {
            // What rang on, unheard, since the pause goes; the tune fades back in.
            fluid_synth_all_sounds_off(synth_, -1);
            sound_.Hush(false);
        }
        fluid_player_play(player_);
        paused_ = false;
        played_ = true;
        // The output starts with the first tune played and runs from then on.
        std::string why;
        if (!options_.output->Start(settings_, sound_, why))
            ReportNoMusic(why);
    }

    void Pause()
    {
        if (State() == TuneState::Playing) {
            fluid_player_stop(player_);  // keeps the position for the next Play
            fluid_synth_all_notes_off(synth_, -1);
            sound_.Hush(true);
            paused_ = true;
        }
    }

    // Stops the tune: its notes end as a player lifting the keys would end
    // them, dying away while the output keeps running.
    void Close()
    {
        if (player_) {
            DeletePlayer();
            fluid_synth_all_notes_off(synth_, -1);
            // No controller of this tune (a bend, a pedal, an expression)
            // carries over into the next.
            for (int channel = 0; channel < fluid_synth_count_midi_channels(synth_); ++channel)
                fluid_synth_cc(synth_, channel, ResetAllControllers, 0);
        }
        tune_.clear();
        tune_.shrink_to_fit();
        check_ = {};
    }

    Sequencer::Status Status() const
    {
        Sequencer::Status status;
        status.state = State();
        status.synthReady = synth_ != nullptr;
        status.tick = player_ ? fluid_player_get_current_tick(player_) : 0;
        status.endTick = check_.endTick;
        status.tuneMs = check_.accepted ? check_.DurationMs() : 0.0;
        status.opens = opens_;
        return status;
    }

private:
    TuneState State() const
    {
        if (!player_)
            return TuneState::Closed;
        // The player keeps saying "playing" for a while after the last track's
        // end (to let the last notes ring), and says "done" both after a stop
        // and at the end: so the end is told by the position, and a stop by
        // our own note of it.
        if (fluid_player_get_current_tick(player_) >= check_.endTick && played_)
            return TuneState::Finished;
        if (fluid_player_get_status(player_) == FLUID_PLAYER_PLAYING)
            return TuneState::Playing;
        if (paused_)
            return TuneState::Paused;
        return played_ ? TuneState::Finished : TuneState::Ready;
    }

    // The synthesizer and its SoundFont, made on first use and kept.
    bool EnsureSynth()
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
        fluid_settings_setnum(settings_, "synth.sample-rate", Sequencer::SampleRate);
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
    void LoadPlayer()
    {
        DeletePlayer();
        {
            const std::lock_guard lock(sound_.Lock());
            player_ = new_fluid_player(synth_);
            if (!player_)
                return;
            // Once through: a player told to loop retries a tune it cannot read for ever.
            fluid_player_set_loop(player_, 1);
            if (fluid_player_add_mem(player_, tune_.data(), tune_.size()) != FLUID_OK) {
                delete_fluid_player(player_);
                player_ = nullptr;
            }
        }
        paused_ = false;
        played_ = false;
    }

    void DeletePlayer()
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

    // The board is gone: the output first (it renders the synthesizer), then
    // the tune, the synthesizer and its SoundFont.
    void Shutdown()
    {
        options_.output->Stop();
        Close();
        sound_.Attach(nullptr);
        if (synth_)
            delete_fluid_synth(synth_);  // unloads the SoundFont with it
        synth_ = nullptr;
        if (settings_)
            delete_fluid_settings(settings_);
        settings_ = nullptr;
    }

    static constexpr int ResetAllControllers = 121;  // the MIDI controller number

    SequencerOptions options_;
    SynthSound sound_;
    fluid_settings_t *settings_ = nullptr;
    fluid_synth_t *synth_ = nullptr;
    bool synthFailed_ = false;
    fluid_player_t *player_ = nullptr;
    std::vector<std::uint8_t> tune_;
    TuneCheck check_;
    bool paused_ = false;
    bool played_ = false;
    int opens_ = 0;
};

} // namespace

struct Sequencer::Shared {
    explicit Shared(SequencerOptions options) { engine.emplace(std::move(options)); }

    struct Job {
        Command command;
        std::string path;
        std::optional<std::int64_t> fromMs;
    };

    std::mutex queueMutex;
    std::condition_variable wake;     // a job or the end for the thread
    std::condition_variable settled;  // the queue ran dry, or the thread ended
    std::deque<Job> jobs;
    bool busy = false;
    bool quit = false;
    bool ended = false;
    bool started = false;
    std::thread thread;

    std::mutex engineMutex;           // held while a job runs
    std::optional<Engine> engine;     // gone once the thread has ended

    static void Run(std::shared_ptr<Shared> self)
    {
        for (;;) {
            std::unique_lock lock(self->queueMutex);
            self->wake.wait(lock, [&] { return !self->jobs.empty() || self->quit; });
            if (self->jobs.empty())
                break;
            Job job = std::move(self->jobs.front());
            self->jobs.pop_front();
            self->busy = true;
            lock.unlock();
            {
                const std::lock_guard engineLock(self->engineMutex);
                switch (job.command) {
                case Command::Open: self->engine->Open(job.path); break;
                case Command::Play: self->engine->Play(job.fromMs); break;
                case Command::Pause: self->engine->Pause(); break;
                case Command::Close: self->engine->Close(); break;
                }
            }
            lock.lock();
            self->busy = false;
            if (self->jobs.empty())
                self->settled.notify_all();
        }
        {
            const std::lock_guard engineLock(self->engineMutex);
            self->engine.reset();  // device, player, synthesizer, SoundFont, in that order
        }
        const std::lock_guard lock(self->queueMutex);
        self->ended = true;
        self->settled.notify_all();
    }
};

Sequencer::Sequencer(SequencerOptions options)
    : shared_(std::make_shared<Shared>(std::move(options)))
{
    RouteSoundLibraryLogs();
}

Sequencer::~Sequencer()
{
    std::unique_lock lock(shared_->queueMutex);
    if (!shared_->started)
        return;
    shared_->jobs.push_back({Command::Close, {}, std::nullopt});
    shared_->quit = true;
    shared_->wake.notify_all();
    if (shared_->settled.wait_for(lock, ShutdownWait, [&] { return shared_->ended; })) {
        lock.unlock();
        shared_->thread.join();
    } else {
        shared_->thread.detach();  // it holds its own share of the state
    }
}

void Sequencer::Submit(Command command, std::string path, std::optional<std::int64_t> fromMs)
{
    const std::lock_guard lock(shared_->queueMutex);
    if (!shared_->started) {
        // Until the first Open nothing is open: every other command is a no-op.
        if (command != Command::Open)
            return;
        shared_->started = true;
        shared_->thread = std::thread(&Shared::Run, shared_);
    }
    shared_->jobs.push_back({command, std::move(path), fromMs});
    shared_->wake.notify_all();
}

void Sequencer::Open(const std::string &path)
{
    Submit(Command::Open, path);
}

void Sequencer::Play(std::optional<std::int64_t> fromMs)
{
    Submit(Command::Play, {}, fromMs);
}

void Sequencer::Pause()
{
    Submit(Command::Pause);
}

void Sequencer::Close()
{
    Submit(Command::Close);
}

bool Sequencer::WaitUntilIdle(std::chrono::milliseconds limit)
{
    std::unique_lock lock(shared_->queueMutex);
    return shared_->settled.wait_for(lock, limit, [&] {
        return shared_->ended || (shared_->jobs.empty() && !shared_->busy);
    });
}

Sequencer::Status Sequencer::Snapshot()
{
    const std::lock_guard lock(shared_->engineMutex);
    return shared_->engine ? shared_->engine->Status() : Status{};
}

} // namespace kiramoku
