// The sequencer's thread and its queue of commands. The thread owns the
// Engine; the queue's lock guards only the queue, the engine's lock only the
// engine (a job runs under it, and so does a look from a test), and the
// sound's own lock, inside the engine, guards the player against the output.
#include "sequencer.h"

#include "engine.h"
#include "leftbehind.h"
#include "musiclog.h"

#include <condition_variable>
#include <deque>
#include <mutex>
#include <thread>

namespace kiramoku {

std::vector<std::string> DefaultSoundFonts()
{
    return {"/usr/share/sounds/sf2/TimGM6mb.sf2", "/usr/share/sounds/sf2/default-GM.sf2",
            "/usr/share/sounds/sf3/default-GM.sf3"};
}

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

    std::mutex engineMutex;        // held while a job runs
    std::optional<Engine> engine;  // gone once the thread has ended

    // Carries out a job; answers whether the output is to be watched afterwards.
    bool Carry(const Job &job)
    {
        const std::lock_guard engineLock(engineMutex);
        switch (job.command) {
        case Command::Open: engine->Open(job.path); break;
        case Command::Play: engine->Play(job.fromMs); break;
        case Command::Pause: engine->Pause(); break;
        case Command::Close: engine->Close(); break;
        case Command::Release: engine->Release(); break;
        }
        return engine->OutputWanted();
    }

    bool Reopen()
    {
        const std::lock_guard engineLock(engineMutex);
        engine->ReopenOutput();
        return engine->OutputWanted();
    }

    static void Run(std::shared_ptr<Shared> self)
    {
        bool watching = false;
        for (;;) {
            std::unique_lock lock(self->queueMutex);
            const auto due = [&] { return !self->jobs.empty() || self->quit; };
            // While the output should play, the thread looks at it now and
            // then: one that lost its sound server is opened on the next to
            // answer. Otherwise it sleeps until a command.
            if (watching && !self->wake.wait_for(lock, Engine::ReopenEvery, due)) {
                lock.unlock();
                watching = self->Reopen();
                continue;
            }
            self->wake.wait(lock, due);
            if (self->jobs.empty())
                break;
            Job job = std::move(self->jobs.front());
            self->jobs.pop_front();
            self->busy = true;
            lock.unlock();
            watching = self->Carry(job);
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
    // Only the close matters now: commands still waiting (a burst of M
    // presses) would only hold the exit, and leave the thread behind as if
    // the sound server did not answer.
    shared_->jobs.clear();
    shared_->engine->Hurry();  // a music off in hand closes its stream without waiting for the fade
    shared_->jobs.push_back({Command::Close, {}, std::nullopt});
    shared_->quit = true;
    shared_->wake.notify_all();
    if (shared_->settled.wait_for(lock, ShutdownWait, [&] { return shared_->ended; })) {
        lock.unlock();
        shared_->thread.join();
    } else {
        shared_->thread.detach();  // it holds its own share of the state
        NoteThreadLeftBehind();
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
    // Music off makes whatever still waits moot: turned on again, the
    // control asks anew for the tune it wants. And a music off still waiting
    // when the control opens its tune again is moot too: the open replaces
    // the tune anyway. However fast M is pressed, the last press waits for
    // the command in hand, not for every state asked for in between.
    if (command == Command::Release)
        shared_->jobs.clear();
    else if (command == Command::Open && !shared_->jobs.empty() && shared_->jobs.back().command == Command::Release)
        shared_->jobs.pop_back();
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

void Sequencer::Release()
{
    Submit(Command::Release);
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
