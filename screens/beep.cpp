#include "beep.h"

#include <QApplication>
#include <QMetaObject>

#include <canberra.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <deque>

#include "audiooutput.h"
#include "leftbehind.h"
#include "musiclog.h"

namespace kiramoku::screens {

namespace {
// The sound server lives in the session's runtime folder. When that folder
// is unusable, every attempt to reach the server would complain on the
// terminal ("Failed to create secure directory"), once per beep: the game
// then says so once and rings only the window system's bell.
bool SoundServerReachable()
{
    if (RuntimeFolderUsable()) {
        return true;
    }
    static std::atomic<bool> reported{false};
    if (!reported.exchange(true)) {
        std::fprintf(stderr, "kiramoku: no beep sound: the runtime folder XDG_RUNTIME_DIR=%s is not usable\n",
                     std::getenv("XDG_RUNTIME_DIR"));
    }
    return false;
}

void RingWindowSystemBell()
{
    if (QCoreApplication *app = QCoreApplication::instance()) {
        QMetaObject::invokeMethod(app, [] { QApplication::beep(); }, Qt::QueuedConnection);
    }
}

// What libcanberra answers when its sound server is gone or not yet there.
// A context whose server was killed stays broken for good ("Invalid state"),
// even once a new server answers: only a new context reaches that one.
bool ServerLost(int result)
{
    switch (result) {
    case CA_ERROR_STATE:
    case CA_ERROR_DISCONNECTED:
    case CA_ERROR_IO:
    case CA_ERROR_DESTROYED:
    case CA_ERROR_NOTAVAILABLE:
        return true;
    default:
        return false;
    }
}

// One try at the sound theme's bell, making the context first when there is
// none; a context that lost its server is let go, so that the next try makes
// a new one.
int PlayBell(ca_context *&context)
{
    if (!context) {
        if (const int made = ca_context_create(&context); made != CA_SUCCESS) {
            context = nullptr;
            return made;
        }
    }
    const int result = ca_context_play(context, 0, CA_PROP_EVENT_ID, "bell", CA_PROP_EVENT_DESCRIPTION,
                                       "piece steps", nullptr);
    if (ServerLost(result)) {
        ca_context_destroy(context);
        context = nullptr;
    }
    return result;
}

// The sound theme's bell; where no sound server answers, the window system's
// bell. A context kept from earlier steps may have lost its server to a
// restart since: the step then tries once more on a new context, so the first
// step after a new server answers is heard. At most one new context per step.
void RingBell(ca_context *&context)
{
    const bool keptFromEarlier = context != nullptr;
    int result = PlayBell(context);
    if (keptFromEarlier && ServerLost(result)) {
        result = PlayBell(context);
    }
    if (result != CA_SUCCESS) {
        RingWindowSystemBell();
    }
}
} // namespace

// The beep thread's share: it outlives the Beeper when a hung sound server
// holds the thread.
struct Beeper::Shared {
    std::mutex mutex;
    std::condition_variable wake;
    std::condition_variable ended;
    std::deque<std::chrono::steady_clock::time_point> asked;  // when each beep was asked for
    bool stopping = false;
    bool done = false;

    static void Run(const std::shared_ptr<Shared> &self)
    {
        // The sound system's own complaints (no card, no server) stay off the terminal.
        RouteSoundLibraryLogs();
        const bool soundServer = SoundServerReachable();
        ca_context *context = nullptr;
        std::unique_lock lock(self->mutex);
        for (;;) {
            self->wake.wait(lock, [&] { return self->stopping || !self->asked.empty(); });
            if (self->stopping) {
                break;
            }
            const auto askedAt = self->asked.front();
            self->asked.pop_front();
            // A step's beep heard long after the step is noise: a sound
            // server that hung and woke up drops what was asked meanwhile.
            if (std::chrono::steady_clock::now() - askedAt > StaleAfter) {
                continue;
            }
            lock.unlock();
            if (soundServer) {
                RingBell(context);
            } else {
                RingWindowSystemBell();
            }
            lock.lock();
        }
        lock.unlock();
        if (context) {
            ca_context_destroy(context);
        }
        const std::lock_guard end(self->mutex);
        self->done = true;
        self->ended.notify_all();
    }
};

Beeper::Beeper() : shared_(std::make_shared<Shared>())
{
    std::thread(&Shared::Run, shared_).swap(worker_);
}

Beeper::~Beeper()
{
    std::unique_lock lock(shared_->mutex);
    shared_->stopping = true;
    shared_->wake.notify_one();
    if (shared_->ended.wait_for(lock, EndWait, [this] { return shared_->done; })) {
        lock.unlock();
        worker_.join();
    } else {
        worker_.detach();  // held by a sound server that hangs; it keeps its share
        NoteThreadLeftBehind();
    }
}

void Beeper::Play()
{
    {
        std::lock_guard lock(shared_->mutex);
        shared_->asked.push_back(std::chrono::steady_clock::now());
    }
    shared_->wake.notify_one();
}

} // namespace kiramoku::screens
