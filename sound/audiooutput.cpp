#include "audiooutput.h"

#include "runtimefolder.h"

#include <QLoggingCategory>

#include <alsa/asoundlib.h>
#include <fluidsynth.h>
#include <glib.h>
#include <pthread.h>
#include <pulse/pulseaudio.h>
#include <sched.h>

#include <algorithm>
#include <cstdarg>
#include <cstdint>
#include <cstdio>
#include <mutex>
#include <utility>

namespace kiramoku {

// Off unless asked for: QT_LOGGING_RULES="kiramoku.music.debug=true".
Q_LOGGING_CATEGORY(lcMusic, "kiramoku.music", QtInfoMsg)

namespace {

constexpr std::size_t FrameBytes = 2 * sizeof(float);
// Asked to write at most this share of the buffer at a time: two requests a
// buffer keep it full with few wake-ups.
constexpr int RequestsPerBuffer = 2;

void AlsaLog(const char *file, int line, const char *function, int err, const char *format, ...)
{
    char text[512];
    va_list args;
    va_start(args, format);
    std::vsnprintf(text, sizeof text, format ? format : "", args);
    va_end(args);
    qCDebug(lcMusic, "alsa %s:%d (%s) %d: %s", file ? file : "", line, function ? function : "", err, text);
}

}  // namespace

// The tune's stream on the desktop's sound server. It asks for no timing
// updates: the board needs no clock from the server, and each update wakes
// the library's thread for nothing.
class PulseStream {
public:
    // A server that takes the connection and never answers (stopped, or
    // swapping) is given up on after this long.
    static constexpr std::chrono::milliseconds ConnectWait{2000};
    // Asked for on the thread that renders, as FluidSynth's own drivers ask
    // by default; refused without the right to it, which is fine.
    static constexpr int RealtimePriority = 60;

    explicit PulseStream(LiveAudioOutput &output)
        : output_(output) {}
    ~PulseStream() { Close(); }

    // Plays on the session's server, BufferFrames ahead of the speaker;
    // false and `why` when none answers within ConnectWait.
    bool Open(std::string &why)
    {
        loop_ = pa_threaded_mainloop_new();
        pa_proplist *about = pa_proplist_new();
        pa_proplist_sets(about, PA_PROP_APPLICATION_NAME, "きらもく");
        pa_proplist_sets(about, PA_PROP_APPLICATION_ID, "kiramoku");
        pa_proplist_sets(about, PA_PROP_APPLICATION_ICON_NAME, "kiramoku");
        pa_proplist_sets(about, PA_PROP_MEDIA_ROLE, "music");
        context_ = pa_context_new_with_proplist(pa_threaded_mainloop_get_api(loop_), "きらもく", about);
        const auto contextChanged = [](pa_context *context, void *self) {
            const pa_context_state_t state = pa_context_get_state(context);
            static_cast<PulseStream *>(self)->Changed(state == PA_CONTEXT_FAILED || state == PA_CONTEXT_TERMINATED);
        };
        pa_context_set_state_callback(context_, contextChanged, this);
        // Never starts a server of its own: the desktop's is the one to play on.
        bool open = pa_context_connect(context_, nullptr, PA_CONTEXT_NOAUTOSPAWN, nullptr) >= 0;
        pa_threaded_mainloop_lock(loop_);
        open = open && pa_threaded_mainloop_start(loop_) >= 0;
        const auto giveUp = [](pa_mainloop_api *, pa_time_event *, const struct timeval *, void *self) { static_cast<PulseStream *>(self)->Changed(false, true); };
        pa_time_event *deadline = open ? pa_context_rttime_new(context_, pa_rtclock_now() + std::chrono::microseconds(ConnectWait).count(), giveUp, this) : nullptr;
        open = open && WaitFor([](const PulseStream &me) { return pa_context_get_state(me.context_) == PA_CONTEXT_READY; });
        if (open) {
            const pa_sample_spec sound{PA_SAMPLE_FLOAT32NE, AudioOutput::SampleRate, 2};
            stream_ = pa_stream_new_with_proplist(context_, "音楽", &sound, nullptr, about);
            const auto bytes = static_cast<std::uint32_t>(LiveAudioOutput::BufferFrames * FrameBytes);
            const pa_buffer_attr buffer{static_cast<std::uint32_t>(-1), bytes, static_cast<std::uint32_t>(-1),
                                        bytes / RequestsPerBuffer, static_cast<std::uint32_t>(-1)};
            const auto streamChanged = [](pa_stream *stream, void *self) {
                const pa_stream_state_t state = pa_stream_get_state(stream);
                static_cast<PulseStream *>(self)->Changed(state == PA_STREAM_FAILED || state == PA_STREAM_TERMINATED);
            };
            pa_stream_set_state_callback(stream_, streamChanged, this);
            pa_stream_set_write_callback(stream_, Requested, this);
            open = pa_stream_connect_playback(stream_, nullptr, &buffer, PA_STREAM_ADJUST_LATENCY, nullptr, nullptr) >= 0
                   && WaitFor([](const PulseStream &me) { return pa_stream_get_state(me.stream_) == PA_STREAM_READY; });
        }
        if (deadline)
            pa_threaded_mainloop_get_api(loop_)->time_free(deadline);
        if (!open)
            why = gaveUp_ ? "the sound server does not answer" : pa_strerror(pa_context_errno(context_));
        pa_threaded_mainloop_unlock(loop_);
        pa_proplist_free(about);
        if (!open)
            Close();
        return open;
    }

    // True once the server has gone away (killed, restarted, stream refused).
    bool Lost() const { return lost_; }

private:
    // The server went away (`lost`), or did not answer in time (`gaveUp`).
    void Changed(bool lost, bool gaveUp = false)
    {
        lost_ = lost_ || lost;
        gaveUp_ = gaveUp_ || gaveUp;
        pa_threaded_mainloop_signal(loop_, 0);
    }

    // The server's request for more, rendered straight into its memory: the
    // synthesizer renders each channel apart, the server takes them interleaved.
    static void Requested(pa_stream *stream, std::size_t bytes, void *self)
    {
        auto *me = static_cast<PulseStream *>(self);
        if (!std::exchange(me->realtimeAsked_, true)) {
            const sched_param priority{RealtimePriority};
            pthread_setschedparam(pthread_self(), SCHED_FIFO, &priority);
        }
        me->output_.lastRenderNs_ = LiveAudioOutput::Now();
        while (bytes >= FrameBytes) {
            void *memory = nullptr;
            std::size_t given = bytes;
            if (pa_stream_begin_write(stream, &memory, &given) < 0 || !memory)
                return;
            const std::size_t frames = std::min(given, bytes) / FrameBytes;
            if (frames == 0)
                return (void)pa_stream_cancel_write(stream);
            auto *sound = static_cast<float *>(memory);
            for (std::size_t done = 0; done < frames;) {
                const std::size_t part = std::min(frames - done, std::size(me->left_));
                me->output_.source_->Render(std::span(me->left_).first(part), std::span(me->right_).first(part));
                for (std::size_t i = 0; i < part; ++i, ++done) {
                    sound[2 * done] = me->left_[i];
                    sound[2 * done + 1] = me->right_[i];
                }
            }
            if (pa_stream_write(stream, memory, frames * FrameBytes, nullptr, 0, PA_SEEK_RELATIVE) < 0)
                return;
            bytes -= frames * FrameBytes;
        }
    }

    bool WaitFor(bool (*ready)(const PulseStream &))  // with the loop locked
    {
        while (!ready(*this)) {
            if (lost_ || gaveUp_)
                return false;
            pa_threaded_mainloop_wait(loop_);
        }
        return true;
    }

    void Close()
    {
        if (!loop_)
            return;
        pa_threaded_mainloop_lock(loop_);
        if (stream_) {
            pa_stream_set_write_callback(stream_, nullptr, nullptr);
            pa_stream_set_state_callback(stream_, nullptr, nullptr);
            pa_stream_disconnect(stream_);
            pa_stream_unref(stream_);
            stream_ = nullptr;
        }
        pa_context_set_state_callback(context_, nullptr, nullptr);
        pa_context_disconnect(context_);
        pa_context_unref(context_);
        pa_threaded_mainloop_unlock(loop_);
        // Ends the library's thread, which renders: once it returns no request
        // reaches the render any more. It never waits on the server.
        pa_threaded_mainloop_stop(loop_);
        pa_threaded_mainloop_free(loop_);
        loop_ = nullptr;
    }

    LiveAudioOutput &output_;
    float left_[LiveAudioOutput::BufferFrames]{}, right_[LiveAudioOutput::BufferFrames]{};  // the output's thread only
    bool realtimeAsked_ = false;
    pa_threaded_mainloop *loop_ = nullptr;
    pa_context *context_ = nullptr;
    pa_stream *stream_ = nullptr;
    bool gaveUp_ = false;
    std::atomic<bool> lost_{false};
};

void RouteSoundLibraryLogs()
{
    static std::once_flag once;
    std::call_once(once, [] {
        const auto synthLog = [](int level, const char *message, void *) { qCDebug(lcMusic, "fluidsynth (%d): %s", level, message ? message : ""); };
        for (int level = FLUID_PANIC; level < LAST_LOG_LEVEL; ++level)
            fluid_set_log_function(level, synthLog, nullptr);
        snd_lib_error_set_handler(AlsaLog);
        // FluidSynth hands a SoundFont it cannot read to libinstpatch, whose
        // assertions ("** CRITICAL **") go through GLib's log without a domain.
        const auto levels = GLogLevelFlags(G_LOG_LEVEL_MASK | G_LOG_FLAG_FATAL | G_LOG_FLAG_RECURSION);
        g_log_set_handler(
            nullptr, levels, [](const gchar *domain, GLogLevelFlags level, const gchar *message, gpointer) { qCDebug(lcMusic, "glib %s (%d): %s", domain ? domain : "-", int(level), message ? message : ""); }, nullptr);
    });
}

LiveAudioOutput::LiveAudioOutput(std::vector<std::string> drivers, std::string alsaDevice)
    : drivers_(std::move(drivers)), alsaDevice_(std::move(alsaDevice)) {}

LiveAudioOutput::~LiveAudioOutput()
{
    Stop();
}

// The driver's call for more sound: stereo, one buffer a channel, zeroed.
int LiveAudioOutput::Render(void *data, int frames, int, float *[], int outputs, float *out[])
{
    auto *output = static_cast<LiveAudioOutput *>(data);
    output->lastRenderNs_ = Now();
    if (outputs >= 2 && frames > 0)
        output->source_->Render(std::span(out[0], std::size_t(frames)), std::span(out[1], std::size_t(frames)));
    return FLUID_OK;
}

bool LiveAudioOutput::Alive() const
{
    return (!pulse_ && !driver_) || (!(pulse_ && pulse_->Lost()) && std::chrono::nanoseconds(Now() - lastRenderNs_) < LostAfter);
}

bool LiveAudioOutput::Start(fluid_settings_t *settings, SoundSource &source, std::string &why)
{
    if (driver_ || pulse_)
        return true;
    source_ = &source;
    lastRenderNs_ = Now();
    for (const std::string &name : drivers_) {
        if (name == "pulseaudio" && RuntimeFolderUsable()) {
            pulse_ = std::make_unique<PulseStream>(*this);
            std::string failed;
            if (pulse_->Open(failed))
                return true;
            qCDebug(lcMusic, "PulseAudio: %s", failed.c_str());
            pulse_.reset();
        } else if (name == "alsa" && fluid_settings_setstr(settings, "audio.driver", "alsa") == FLUID_OK) {
            fluid_settings_setint(settings, "audio.period-size", BufferFrames / AlsaPeriods);
            fluid_settings_setint(settings, "audio.periods", AlsaPeriods);
            if (!alsaDevice_.empty())
                fluid_settings_setstr(settings, "audio.alsa.device", alsaDevice_.c_str());
            driver_ = new_fluid_audio_driver2(settings, Render, this);
            if (driver_)
                return true;
        }
    }
    why = "no sound device answered (tried PulseAudio, then ALSA)";
    return false;
}

void LiveAudioOutput::Stop()
{
    pulse_.reset();                      // ends the stream's thread, never waiting on the server
    delete_fluid_audio_driver(driver_);  // joins the driver's audio thread; none is fine
    driver_ = nullptr;
}

bool OfflineAudioOutput::Start(fluid_settings_t *, SoundSource &source, std::string &)
{
    const std::lock_guard lock(mutex_);
    starts_ += source_ ? 0 : 1;
    source_ = &source;
    return true;
}

void OfflineAudioOutput::Stop()
{
    const std::lock_guard lock(mutex_);
    source_ = nullptr;
}

void OfflineAudioOutput::Render(std::span<float> left, std::span<float> right)
{
    const std::lock_guard lock(mutex_);
    if (SoundSource *source = source_) {
        source->Render(left.first(std::min(left.size(), right.size())), right.first(std::min(left.size(), right.size())));
        return;
    }
    std::fill(left.begin(), left.end(), 0.0f);
    std::fill(right.begin(), right.end(), 0.0f);
}

}  // namespace kiramoku
