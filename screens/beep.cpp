#include "beep.h"

#include <QApplication>
#include <QMetaObject>

#include <canberra.h>

#include "musiclog.h"

namespace kiramoku::screens {

namespace {
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
    if (QCoreApplication *app = QCoreApplication::instance()) {
        QMetaObject::invokeMethod(app, [] { QApplication::beep(); }, Qt::QueuedConnection);
    }
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
    ca_context *context = nullptr;
    std::unique_lock lock(mutex_);
    for (;;) {
        wake_.wait(lock, [this] { return stopping_ || pending_ > 0; });
        if (stopping_) {
            break;
        }
        --pending_;
        lock.unlock();
        RingBell(context);
        lock.lock();
    }
    if (context) {
        ca_context_destroy(context);
    }
}

} // namespace kiramoku::screens
