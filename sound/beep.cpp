#include "beep.h"

#include "audiooutput.h"
#include "leftbehind.h"
#include "report.h"
#include "runtimefolder.h"

#include <QApplication>
#include <QMetaObject>

#include <canberra.h>

#include <optional>

namespace kiramoku {

// The beep thread's own.
struct Beeper::Bell {
    ca_context *context = nullptr;
    std::optional<bool> soundServer;  // whether one can be reached, found out once

    // libcanberra's answers when its server is gone or not yet there. A
    // context whose server was killed stays broken for good, even once a new
    // one answers: only a new context reaches that one.
    static bool ServerLost(int result)
    {
        return result == CA_ERROR_STATE || result == CA_ERROR_DISCONNECTED || result == CA_ERROR_IO
               || result == CA_ERROR_DESTROYED || result == CA_ERROR_NOTAVAILABLE;
    }

    // One try, on a context made first when there is none; one that lost its
    // server is let go, for the next try to make a new one.
    int Try()
    {
        if (!context) {
            if (const int made = ca_context_create(&context); made != CA_SUCCESS)
                return made;
        }
        const int result = ca_context_play(context, 0, CA_PROP_EVENT_ID, "bell", CA_PROP_EVENT_DESCRIPTION, "piece steps", nullptr);
        if (ServerLost(result))
            Close();
        return result;
    }

    void Ring(std::chrono::steady_clock::time_point askedAt)
    {
        // Heard long after its step (a server that hung and woke up), a beep is noise.
        if (std::chrono::steady_clock::now() - askedAt > StaleAfter)
            return;
        if (!soundServer) {
            RouteSoundLibraryLogs();  // no card, no server: nothing said on the terminal
            // With the runtime folder unusable, each try at the sound server
            // would complain on the terminal: said once, and the window
            // system's bell rings instead.
            soundServer = RuntimeFolderUsable();
            static OnceALine line;
            if (!*soundServer)
                line.Say(QStringLiteral("no beep sound: the runtime folder XDG_RUNTIME_DIR=%1 is not usable").arg(qEnvironmentVariable("XDG_RUNTIME_DIR")));
        }
        // A context kept from earlier steps that lost its server to a restart
        // gets one more try on a new one: the first step after a new server
        // answers is heard.
        const bool keptFromEarlier = context != nullptr;
        int result = *soundServer ? Try() : CA_ERROR_NOTAVAILABLE;
        if (keptFromEarlier && ServerLost(result))
            result = Try();
        QCoreApplication *app = QCoreApplication::instance();
        if (result != CA_SUCCESS && app)
            QMetaObject::invokeMethod(
                app, [] { QApplication::beep(); }, Qt::QueuedConnection);
    }

    void Close()
    {
        if (context)
            ca_context_destroy(context);
        context = nullptr;
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
