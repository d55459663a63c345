#include "beep.h"

#include <QApplication>
#include <QMetaObject>

#include <canberra.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

#include "musiclog.h"

namespace kiramoku::screens {

namespace {
// The sound server lives in the session's runtime folder. When that folder
// is unusable, every attempt to reach the server would complain on the
// terminal ("Failed to create secure directory"), once per beep: the game
// then says so once and rings only the window system's bell.
bool SoundServerReachable()
{
    const char *runtime = std::getenv("XDG_RUNTIME_DIR");
    if (!runtime || !*runtime) {
        return true;  // the sound library finds its own place
    }
    struct stat folder {};
    if (stat(runtime, &folder) == 0 && S_ISDIR(folder.st_mode) && folder.st_uid == geteuid()
        && access(runtime, W_OK | X_OK) == 0) {
        return true;
    }
    static std::atomic<bool> reported{false};
    if (!reported.exchange(true)) {
        std::fprintf(stderr, "kiramoku: no beep sound: the runtime folder XDG_RUNTIME_DIR=%s is not usable\n",
                     runtime);
    }
    return false;
}

void RingWindowSystemBell()
{
    if (QCoreApplication *app = QCoreApplication::instance()) {
        QMetaObject::invokeMethod(app, [] { QApplication::beep(); }, Qt::QueuedConnection);
    }
}

// The sound theme's bell; where no sound server answers, the window system's bell.
void RingBell(ca_context *&context)
{
    if (!context && ca_context_create(&context) != CA_SUCCESS) {
        context = nullptr;
    }
    if (context
        && ca_context_play(context, 0, CA_PROP_EVENT_ID, "bell", CA_PROP_EVENT_DESCRIPTION, "piece steps",
                           nullptr)
               == CA_SUCCESS) {
        return;
    }
    RingWindowSystemBell();
}
} // namespace

Beeper::Beeper() : worker_([this] { Run(); }) {}

Beeper::~Beeper()
{
    {
        std::lock_guard lock(mutex_);
        stopping_ = true;
    }
    wake_.notify_one();
    worker_.join();
}

void Beeper::Play()
{
    {
        std::lock_guard lock(mutex_);
        ++pending_;
    }
    wake_.notify_one();
}

void Beeper::Run()
{
    // The sound system's own complaints (no card, no server) stay off the terminal.
    RouteSoundLibraryLogs();
    const bool soundServer = SoundServerReachable();
    ca_context *context = nullptr;
    std::unique_lock lock(mutex_);
    for (;;) {
        wake_.wait(lock, [this] { return stopping_ || pending_ > 0; });
        if (stopping_) {
            break;
        }
        --pending_;
        lock.unlock();
        if (soundServer) {
            RingBell(context);
        } else {
            RingWindowSystemBell();
        }
        lock.lock();
    }
    if (context) {
        ca_context_destroy(context);
    }
}

} // namespace kiramoku::screens
