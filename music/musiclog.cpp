#include "musiclog.h"

#include <alsa/asoundlib.h>
#include <fluidsynth.h>

#include <atomic>
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

} // namespace

void RouteSoundLibraryLogs()
{
    static std::once_flag once;
    std::call_once(once, [] {
        for (int level = FLUID_PANIC; level < LAST_LOG_LEVEL; ++level)
            fluid_set_log_function(level, SynthLog, nullptr);
        snd_lib_error_set_handler(AlsaLog);
    });
}

void ReportNoMusic(const std::string &cause)
{
    static std::atomic<bool> reported{false};
    if (!reported.exchange(true))
        qCWarning(lcMusic, "kiramoku: no music: %s", cause.c_str());
}

} // namespace kiramoku
