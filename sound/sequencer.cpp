// The wanted state under its one lock, and the worker's own engine that
// brings FluidSynth to it: synthesizer, SoundFont, player and output.
#include "sequencer.h"

#include "leftbehind.h"
#include "report.h"

#include <fluidsynth.h>
#include <malloc.h>
#include <sys/stat.h>

#include <condition_variable>
#include <filesystem>
#include <fstream>
#include <future>
#include <mutex>
#include <thread>

namespace kiramoku {

namespace {

constexpr int BringSlot = 1;
constexpr int ResetAllControllers = 121;  // the MIDI controller number
constexpr int Polyphony = 64;
constexpr double Gain = 0.5;
constexpr std::size_t SynthBlock = 4096;  // the most frames the synthesizer renders a call
// The longest music off waits for its fade to be heard (buffer, fade, twice
// the buffer of silence: about 300 ms), well within Sequencer::ShutdownWait.
constexpr std::chrono::milliseconds FadeWait{400};

void ReportNoMusic(const std::string &cause)  // for good; once a run
{
    static OnceALine line;
    line.Say(QString::fromStdString("no music: " + cause));
}

// The synthesizer as the output hears it, and the music's one lock: the
// player is not synchronised with the render that drives it, so every call
// into the player holds `mutex`; a render that cannot have it within
// LockWait plays silence rather than keep the sound card waiting.
class SynthSound : public SoundSource {
public:
    static constexpr int FadeFrames = Sequencer::SampleRate / 50;  // 20 ms: quick, yet no click
    // A tune loaded at the status tick holds the lock a moment, well within a buffer.
    static constexpr std::chrono::milliseconds LockWait{20};
    static constexpr std::chrono::milliseconds LockRetry{1};

    std::mutex mutex;
    fluid_synth_t *synth = nullptr;   // under mutex
    std::atomic<bool> hushed{false};  // fades out over FadeFrames, then silent; lifted, fades in

    // Until faded out and more than `drained` frames of silence rendered
    // since (closing the output then cuts off silence only); at most `limit`.
    void WaitFadedOut(std::int64_t drained, std::chrono::milliseconds limit)
    {
        std::unique_lock lock(fadeMutex_);
        fadeChanged_.wait_for(lock, limit, [&] { return hurried_ || (fadedOut_ && silentFrames_ > drained); });
    }
    void Hurry()
    {
        {
            const std::lock_guard lock(fadeMutex_);
            hurried_ = true;
        }
        fadeChanged_.notify_all();
    }

    void Render(std::span<float> left, std::span<float> right) override
    {
        RenderSynth(left, right);
        {
            const std::lock_guard lock(fadeMutex_);
            const bool silentBefore = fadedOut_;
            fadedOut_ = gain_ == 0.0f;
            silentFrames_ = silentBefore && fadedOut_ ? silentFrames_ + static_cast<std::int64_t>(left.size()) : 0;
        }
        if (hushed)
            fadeChanged_.notify_all();
    }

private:
    void RenderSynth(std::span<float> left, std::span<float> right)
    {
        // Tried every LockRetry: the thread checker cannot follow a timed lock.
        std::unique_lock lock(mutex, std::try_to_lock);
        for (const auto until = std::chrono::steady_clock::now() + LockWait;
             !lock.owns_lock() && std::chrono::steady_clock::now() < until;) {
            std::this_thread::sleep_for(LockRetry);
            lock.try_lock();
        }
        if (!lock.owns_lock() || !synth) {
            std::fill(left.begin(), left.end(), 0.0f);
            std::fill(right.begin(), right.end(), 0.0f);
            return;
        }
        for (std::size_t done = 0; done < left.size(); done += SynthBlock) {
            const int count = static_cast<int>(std::min(SynthBlock, left.size() - done));
            fluid_synth_write_float(synth, count, left.data() + done, 0, 1, right.data() + done, 0, 1);
        }
        const float target = hushed ? 0.0f : 1.0f;
        if (gain_ == target && target == 1.0f)
            return;
        constexpr float Step = 1.0f / FadeFrames;
        for (std::size_t i = 0; i < left.size(); ++i) {
            gain_ = target > gain_ ? std::min(target, gain_ + Step) : std::max(target, gain_ - Step);
            left[i] *= gain_;
            right[i] *= gain_;  // at 0, exact silence, not the hall's last whisper
        }
    }

    float gain_ = 1.0f;  // the output's thread only
    std::mutex fadeMutex_;
    std::condition_variable fadeChanged_;
    std::int64_t silentFrames_ = 0;  // under fadeMutex_, with the two below
    bool fadedOut_ = false;
    bool hurried_ = false;
};

}  // namespace

// Brings the music to the wish; the worker's alone but for the wish.
class Sequencer::Engine {
public:
    explicit Engine(SequencerOptions options)
        : options_(std::move(options)) {}

    std::mutex mutex;
    Wish wish;  // under mutex

    // The commands that lead from the last wish carried out to this one, in order.
    void Bring()
    {
        Wish now;
        {
            const std::lock_guard lock(mutex);
            now = wish;
            wish.fromMs.reset();  // a position is played from once
        }
        const bool played = now.plays != done_.plays;
        if (now.off) {
            if (!done_.off)
                Release();
        } else if (now.tune == TuneState::Closed) {
            if (done_.tune != TuneState::Closed)
                Close();
        } else {
            if (now.opens != done_.opens)
                Open(now.path);
            if (played)
                Play(now.fromMs);
            if (now.tune == TuneState::Paused && (played || done_.tune == TuneState::Playing))
                Pause();
        }
        done_ = now;
    }

    void Open(const std::string &path)
    {
        Close();
        // Checked before the SoundFont is loaded: a refused tune costs nothing.
        std::string why;
        if (!tune_.Load(path, why))
            return ReportNoMusic(why);
        if (!EnsureSynth())
            return;
        ++opens_;
        const std::lock_guard lock(sound_.mutex);
        LoadPlayer();
    }

    void Play(std::optional<std::int64_t> fromMs)
    {
        if (!player_)
            return;
        {
            const std::lock_guard lock(sound_.mutex);
            const bool finished = State() == TuneState::Finished;
            if (!fromMs && finished)
                return;  // at its end: nothing left to play
            if (fromMs && *fromMs >= 0) {
                const auto tick = static_cast<int>(tune_.check.TickAt(static_cast<double>(*fromMs)));
                if (finished) {
                    // A player that reached its end cannot start again: load the tune anew.
                    delete_fluid_player(player_);
                    LoadPlayer();
                    if (!player_)
                        return;
                }
                fluid_player_seek(player_, tick);
            }
            fluid_player_play(player_);
        }
        if (sound_.hushed) {
            // What rang on, unheard, since the pause goes; the tune fades back in.
            fluid_synth_all_sounds_off(synth_, -1);
            sound_.hushed = false;
        }
        paused_ = false;
        played_ = true;
        StartOutput();
    }

    // The synthesizer's own calls lock it themselves: outside the sound's lock.
    void Pause()
    {
        {
            const std::lock_guard lock(sound_.mutex);
            if (State() != TuneState::Playing)
                return;
            // Hushed first: the fade covers the stopped player's sudden silence.
            sound_.hushed = true;
            fluid_player_stop(player_);  // keeps the position for the next Play
        }
        fluid_synth_all_notes_off(synth_, -1);
        paused_ = true;
    }

    // The notes die away as on a key's release, and no controller (a bend, a
    // pedal) carries over into the next tune.
    void Close()
    {
        if (!player_)
            return;
        {
            const std::lock_guard lock(sound_.mutex);
            delete_fluid_player(player_);
            player_ = nullptr;
        }
        fluid_synth_all_notes_off(synth_, -1);
        for (int channel = 0; channel < fluid_synth_count_midi_channels(synth_); ++channel)
            fluid_synth_cc(synth_, channel, ResetAllControllers, 0);
    }

    // Music off: the fade (when `fade`), then no output, synthesizer or SoundFont.
    void Release(bool fade = true)
    {
        if (fade && outputOn_) {
            // Closing the output drops what it holds: silence only, or a click.
            sound_.hushed = true;
            sound_.WaitFadedOut(2 * static_cast<std::int64_t>(options_.output->BufferedFrames()), FadeWait);
        }
        // The output first: it renders the synthesizer.
        options_.output->Stop();
        outputOn_ = outputLost_ = outputWanted_ = false;
        Close();
        {
            const std::lock_guard lock(sound_.mutex);
            sound_.synth = nullptr;
        }
        delete_fluid_synth(synth_);  // with its SoundFont; none is fine
        delete_fluid_settings(settings_);
        synth_ = nullptr;
        settings_ = nullptr;
        synthFailed_ = false;
        sound_.hushed = false;
        malloc_trim(0);  // the SoundFont's megabytes go back to the system now
    }

    Sequencer::Status Status()
    {
        const std::lock_guard lock(sound_.mutex);
        const TuneCheck &tune = tune_.check;
        return {State(), synth_ != nullptr, outputOn_, player_ ? fluid_player_get_current_tick(player_) : 0,
                player_ ? tune.endTick : 0, player_ ? tune.DurationMs() : 0.0, opens_, tune_.reads};
    }

    // Every ReopenEvery while idle; false once no output is wanted.
    bool ReopenOutput()
    {
        if (outputWanted_ && (!outputOn_ || !options_.output->Alive()))
            StartOutput();
        return outputWanted_;
    }

    void Hurry() { sound_.Hurry(); }  // the game is ending: a fade in hand no longer waits; any thread

private:
    TuneState State() const  // under the sound's lock
    {
        if (!player_)
            return TuneState::Closed;
        // The player says "playing" while the last notes ring, and "done"
        // after a stop and at the end alike: the position tells the end.
        if (fluid_player_get_current_tick(player_) >= tune_.check.endTick && played_)
            return TuneState::Finished;
        if (fluid_player_get_status(player_) == FLUID_PLAYER_PLAYING)
            return TuneState::Playing;
        if (paused_)
            return TuneState::Paused;
        return played_ ? TuneState::Finished : TuneState::Ready;
    }

    // The output starts with the first tune played and stays; one that lost
    // its server is closed, and a new one opened on whichever answers.
    void StartOutput()
    {
        outputWanted_ = true;
        if (outputOn_ && !options_.output->Alive()) {
            options_.output->Stop();
            outputOn_ = false;
            outputLost_ = true;
            static OnceALine lost;
            lost.Say(QStringLiteral("the sound server stopped answering; the music comes back when one answers"));
        }
        if (outputOn_)
            return;
        std::string why;
        if (options_.output->Start(settings_, sound_, why)) {
            outputOn_ = true;
            outputLost_ = false;
        } else if (!outputLost_) {
            // Not for good: a server started later is found at a later try.
            static OnceALine waits;
            waits.Say(QString::fromStdString("the music waits for a sound server: " + why));
        }
    }

    // The synthesizer and its SoundFont, made on first use and kept until released.
    bool EnsureSynth()
    {
        if (synth_ || synthFailed_)
            return synth_;
        synthFailed_ = true;
        settings_ = new_fluid_settings();
        // The player's clock is the rendered sound; a reset at the tune's end
        // would cut the last notes short before the restart.
        fluid_settings_setstr(settings_, "player.timing-source", "sample");
        for (const auto &[name, value] : {std::pair{"player.reset-synth", 0}, {"synth.lock-memory", 0}, {"synth.dynamic-sample-loading", 0}, {"synth.polyphony", Polyphony}, {"synth.chorus.active", 0}})
            fluid_settings_setint(settings_, name, value);
        fluid_settings_setnum(settings_, "synth.sample-rate", Sequencer::SampleRate);
        fluid_settings_setnum(settings_, "synth.gain", Gain);
        synth_ = settings_ ? new_fluid_synth(settings_) : nullptr;
        if (!synth_) {
            ReportNoMusic("the synthesizer cannot start");
            return false;
        }
        std::string damaged, looked;
        for (const std::string &path : options_.soundFonts) {
            looked += (looked.empty() ? "" : ", ") + path;
            std::error_code error;
            if (!std::filesystem::is_regular_file(path, error))
                continue;
            if (fluid_synth_sfload(synth_, path.c_str(), 1) != FLUID_FAILED) {
                synthFailed_ = false;
                const std::lock_guard lock(sound_.mutex);
                sound_.synth = synth_;
                return true;
            }
            if (damaged.empty())
                damaged = path;
        }
        ReportNoMusic(damaged.empty() ? "no General MIDI SoundFont (looked for " + looked + ")"
                                      : "the SoundFont " + damaged + " is damaged");
        delete_fluid_synth(synth_);
        synth_ = nullptr;
        return false;
    }

    // A new player at the tune's start; under the sound's lock.
    void LoadPlayer()
    {
        player_ = new_fluid_player(synth_);
        paused_ = played_ = false;
        if (!player_)
            return;
        // Once: a looping player retries a tune it cannot read for ever.
        fluid_player_set_loop(player_, 1);
        if (fluid_player_add_mem(player_, tune_.bytes.data(), tune_.bytes.size()) != FLUID_OK) {
            delete_fluid_player(player_);
            player_ = nullptr;
        }
    }

    Wish done_;
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

// Anything but a regular file of a sensible size is refused before it is
// read: a directory, a device that never ends, a fifo that would block. The
// read itself is bounded too, in case the file grows meanwhile; a file
// changed during the read has new times, so the next Load reads it again.
bool TuneFile::Load(const std::string &from, std::string &why)
{
    struct stat info {};
    const std::string file = "the tune file " + from;
    const char *refused = from.empty() || ::stat(from.c_str(), &info) != 0 ? " is missing"
                          : !S_ISREG(info.st_mode)                         ? " is not a regular file"
                          : std::uint64_t(info.st_size) > MaxTuneBytes     ? " is too large"
                                                                           : nullptr;
    if (refused) {
        why = file + refused;
        return false;
    }
    const std::vector<std::int64_t> now{std::int64_t(info.st_dev), std::int64_t(info.st_ino), info.st_size, info.st_mtim.tv_sec,
                                        info.st_mtim.tv_nsec, info.st_ctim.tv_sec, info.st_ctim.tv_nsec};
    if (from != path || now != stamp) {
        std::ifstream in(from, std::ios::binary);
        std::vector<std::uint8_t> read(MaxTuneBytes + 1);
        in.read(reinterpret_cast<char *>(read.data()), static_cast<std::streamsize>(read.size()));
        if (in.bad() || (in.fail() && !in.eof())) {
            why = file + " cannot be read";
            return false;
        }
        ++reads;
        read.resize(static_cast<std::size_t>(in.gcount()));
        read.shrink_to_fit();
        check = CheckTune(read);
        bytes = std::move(read);
        path = from;
        stamp = now;
    }
    if (!check.accepted)
        why = file + " is not a tune we can play: " + check.reason;
    return check.accepted;
}

Sequencer::Sequencer(SequencerOptions options)
    : engine_(std::make_shared<Engine>(std::move(options))), worker_(ShutdownWait, NoteThreadLeftBehind)
{
    RouteSoundLibraryLogs();
    worker_.WhileIdle(ReopenEvery, [engine = engine_] { return engine->ReopenOutput(); });
}

Sequencer::~Sequencer()
{
    if (const std::lock_guard lock(engine_->mutex); engine_->wish.opens == 0)
        return;  // the worker never started
    // Only the close matters now, without the rest of a fade.
    worker_.Drop();
    engine_->Hurry();
    worker_.Post([engine = engine_] { engine->Release(false); });
}

void Sequencer::Change(const std::function<void(Wish &)> &change)
{
    {
        const std::lock_guard lock(engine_->mutex);
        change(engine_->wish);
        if (engine_->wish.opens == 0)
            return;  // nothing opened yet: nothing to do
    }
    worker_.Post([engine = engine_] { engine->Bring(); }, BringSlot);
}

void Sequencer::Play(std::optional<std::int64_t> fromMs)
{
    Change([fromMs](Wish &wish) {
        if (wish.tune != TuneState::Closed)
            wish = {wish.off, TuneState::Playing, wish.path, wish.opens, wish.plays + 1, fromMs ? fromMs : wish.fromMs};
    });
}

Sequencer::Status Sequencer::Snapshot()
{
    if (const std::lock_guard lock(engine_->mutex); engine_->wish.opens == 0)
        return {};
    auto answer = std::make_shared<std::promise<Status>>();
    auto status = answer->get_future();
    worker_.Post([engine = engine_, answer] { answer->set_value(engine->Status()); });
    return status.wait_for(SnapshotWait) == std::future_status::ready ? status.get() : Status{};
}

}  // namespace kiramoku
