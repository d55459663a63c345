// The wanted state, guarded by its one lock, and the worker that brings the
// engine to it. The engine is the worker's alone.
#include "sequencer.h"

#include "engine.h"
#include "leftbehind.h"
#include "musiclog.h"

#include <future>
#include <mutex>

namespace kiramoku {

std::vector<std::string> DefaultSoundFonts()
{
    return {"/usr/share/sounds/sf2/TimGM6mb.sf2", "/usr/share/sounds/sf2/default-GM.sf2",
            "/usr/share/sounds/sf3/default-GM.sf3"};
}

namespace {
constexpr int BringSlot = 1;
}

struct Sequencer::Wish {
    bool off = false;                    // music off
    TuneState tune = TuneState::Closed;  // Closed, Ready, Playing or Paused
    std::string path;
    int opens = 0;  // each Open opens the tune anew
    int plays = 0;  // each Play plays, from fromMs when given
    std::optional<std::int64_t> fromMs;
};

struct Sequencer::Shared {
    explicit Shared(SequencerOptions options) { engine.emplace(std::move(options)); }

    std::mutex mutex;
    Wish wish;  // under mutex

    // The worker's own.
    std::optional<Engine> engine;
    Wish done;

    // The commands that lead from `done` to the wish, in the order given.
    void Bring()
    {
        Wish now;
        {
            const std::lock_guard lock(mutex);
            now = wish;
            wish.fromMs.reset();  // a position is played from once
        }
        const bool played = now.plays != done.plays;
        if (now.off) {
            if (!done.off)
                engine->Release();
        } else if (now.tune == TuneState::Closed) {
            if (done.tune != TuneState::Closed)
                engine->Close();
        } else {
            if (now.opens != done.opens)
                engine->Open(now.path);
            if (played)
                engine->Play(now.fromMs);
            if (now.tune == TuneState::Paused && (played || done.tune == TuneState::Playing))
                engine->Pause();
        }
        done = now;
    }
};

Sequencer::Sequencer(SequencerOptions options)
    : shared_(std::make_shared<Shared>(std::move(options))), worker_(ShutdownWait, NoteThreadLeftBehind)
{
    RouteSoundLibraryLogs();
    // While the output should play, the worker looks at it now and then: one
    // that lost its sound server is opened on the next to answer.
    worker_.WhileIdle(Engine::ReopenEvery, [shared = shared_] {
        return shared->engine && shared->engine->ReopenOutput();
    });
}

Sequencer::~Sequencer()
{
    {
        const std::lock_guard lock(shared_->mutex);
        if (shared_->wish.opens == 0)
            return;  // the worker never started
    }
    // Only the close matters now; a music off in hand skips the rest of its fade.
    worker_.Drop();
    shared_->engine->Hurry();
    worker_.Post([shared = shared_] { shared->engine.reset(); });
}

void Sequencer::Change(const std::function<void(Wish &)> &change)
{
    {
        const std::lock_guard lock(shared_->mutex);
        change(shared_->wish);
        if (shared_->wish.opens == 0)
            return;  // nothing opened yet: nothing to do
    }
    worker_.Post([shared = shared_] { shared->Bring(); }, BringSlot);
}

void Sequencer::Open(const std::string &path)
{
    Change([&path](Wish &wish) {
        wish.off = false;
        wish.tune = TuneState::Ready;
        wish.path = path;
        ++wish.opens;
        wish.fromMs.reset();
    });
}

void Sequencer::Play(std::optional<std::int64_t> fromMs)
{
    Change([fromMs](Wish &wish) {
        if (wish.tune == TuneState::Closed)
            return;
        wish.tune = TuneState::Playing;
        ++wish.plays;
        if (fromMs)
            wish.fromMs = fromMs;
    });
}

void Sequencer::Pause()
{
    Change([](Wish &wish) {
        if (wish.tune == TuneState::Playing)
            wish.tune = TuneState::Paused;
    });
}

void Sequencer::Close()
{
    Change([](Wish &wish) { wish.tune = TuneState::Closed; });
}

void Sequencer::Release()
{
    Change([](Wish &wish) {
        wish.off = true;
        wish.tune = TuneState::Closed;
    });
}

bool Sequencer::WaitUntilIdle(std::chrono::milliseconds limit)
{
    return worker_.Settle(limit);
}

Sequencer::Status Sequencer::Snapshot()
{
    {
        const std::lock_guard lock(shared_->mutex);
        if (shared_->wish.opens == 0)
            return {};
    }
    auto answer = std::make_shared<std::promise<Status>>();
    auto status = answer->get_future();
    worker_.Post([shared = shared_, answer] { answer->set_value(shared->engine ? shared->engine->Status() : Status{}); });
    return status.wait_for(SnapshotWait) == std::future_status::ready ? status.get() : Status{};
}

}  // namespace kiramoku
