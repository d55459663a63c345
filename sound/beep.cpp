#include "beep.h"

#include <QApplication>
#include <QMetaObject>

#include <canberra.h>

#include <optional>

#include "leftbehind.h"
#include "musiclog.h"
#include "report.h"
#include "runtimefolder.h"

namespace kiramoku {

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
    static OnceALine line;
    line.Say(QStringLiteral("no beep sound: the runtime folder XDG_RUNTIME_DIR=%1 is not usable")
                 .arg(qEnvironmentVariable("XDG_RUNTIME_DIR")));
    return false;
}

void RingWindowSystemBell()
{
    if (QCoreApplication *app = QCoreApplication::instance()) {
        QMetaObject::invokeMethod(
            app, [] { QApplication::beep(); }, Qt::QueuedConnection);
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
}  // namespace

// The beep thread's own: libcanberra's context, made on the first beep.
struct Beeper::Bell {
    ca_context *context = nullptr;
    std::optional<bool> soundServer;  // whether one can be reached, found out once

    void Ring(std::chrono::steady_clock::time_point askedAt)
    {
        // A step's beep heard long after the step is noise: a sound server
        // that hung and woke up drops what was asked meanwhile.
        if (std::chrono::steady_clock::now() - askedAt > StaleAfter) {
            return;
        }
        if (!soundServer) {
            // The sound system's own complaints (no card, no server) stay off the terminal.
            RouteSoundLibraryLogs();
            soundServer = SoundServerReachable();
        }
        if (*soundServer) {
            RingBell(context);
        } else {
            RingWindowSystemBell();
        }
    }

    void Close()
    {
        if (context) {
            ca_context_destroy(context);
            context = nullptr;
        }
    }
};

Beeper::Beeper()
    : bell_(std::make_shared<Bell>()), worker_(EndWait, NoteThreadLeftBehind) {}

Beeper::~Beeper()
{
    worker_.Drop();
    worker_.Post([bell = bell_] { bell->Close(); });
}

void Beeper::Play()
{
    worker_.Post([bell = bell_, askedAt = std::chrono::steady_clock::now()] { bell->Ring(askedAt); });
}

}  // namespace kiramoku
