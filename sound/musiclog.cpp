#include "musiclog.h"

#include <alsa/asoundlib.h>
#include <fluidsynth.h>
#include <glib.h>

#include <cstdarg>
#include <cstdio>
#include <mutex>

namespace kiramoku {

Q_LOGGING_CATEGORY(lcMusic, "kiramoku.music", QtInfoMsg)

namespace {

void SynthLog(int level, const char *message, void *)
{
    qCDebug(lcMusic, "fluidsynth (%d): %s", level, message ? message : "");
}

void AlsaLog(const char *file, int line, const char *function, int err, const char *format, ...)
{
    char text[512];
    va_list args;
    va_start(args, format);
    std::vsnprintf(text, sizeof text, format ? format : "", args);
    va_end(args);
    qCDebug(lcMusic, "alsa %s:%d (%s) %d: %s", file ? file : "", line, function ? function : "", err, text);
}

// FluidSynth hands a SoundFont it cannot read to libinstpatch, whose
// assertions ("** CRITICAL **") go through GLib's log without a domain.
void GLibLog(const gchar *domain, GLogLevelFlags level, const gchar *message, gpointer)
{
    qCDebug(lcMusic, "glib %s (%d): %s", domain ? domain : "-", int(level), message ? message : "");
}

}  // namespace

void RouteSoundLibraryLogs()
{
    static std::once_flag once;
    std::call_once(once, [] {
        for (int level = FLUID_PANIC; level < LAST_LOG_LEVEL; ++level)
            fluid_set_log_function(level, SynthLog, nullptr);
        snd_lib_error_set_handler(AlsaLog);
        const auto levels = GLogLevelFlags(G_LOG_LEVEL_MASK | G_LOG_FLAG_FATAL | G_LOG_FLAG_RECURSION);
        g_log_set_handler(nullptr, levels, GLibLog, nullptr);
    });
}

}  // namespace kiramoku
