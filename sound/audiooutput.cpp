#include "audiooutput.h"

#include "musiclog.h"
#include "runtimefolder.h"

#include <fluidsynth.h>
#include <pthread.h>
#include <pulse/pulseaudio.h>
#include <sched.h>

#include <algorithm>
#include <cstdint>

namespace kiramoku {

namespace {

constexpr std::size_t FrameBytes = 2 * sizeof(float);
// Asked to write at most this share of the buffer at a time: two requests a
// buffer keep it full with few wake-ups.
constexpr int RequestsPerBuffer = 2;

bool Failed(pa_context_state_t state)
{
    return state == PA_CONTEXT_FAILED || state == PA_CONTEXT_TERMINATED;
}

bool Failed(pa_stream_state_t state)
{
    return state == PA_STREAM_FAILED || state == PA_STREAM_TERMINATED;
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

    explicit PulseStream(LiveAudioOutput &output)
        : output_(output) {}
    ~PulseStream() { Close(); }
    PulseStream(const PulseStream &) = delete;
    PulseStream &operator=(const PulseStream &) = delete;

    // Plays on the session's server, about `bufferFrames` ahead of the
    // speaker; false and `why` when none answers within ConnectWait.
    bool Open(int rate, int bufferFrames, int realtimePriority, std::string &why)
    {
        realtimePriority_ = realtimePriority;
        loop_ = pa_threaded_mainloop_new();
        pa_proplist *about = pa_proplist_new();
        pa_proplist_sets(about, PA_PROP_APPLICATION_NAME, "きらもく");
        pa_proplist_sets(about, PA_PROP_APPLICATION_ID, "kiramoku");
        pa_proplist_sets(about, PA_PROP_APPLICATION_ICON_NAME, "kiramoku");
        pa_proplist_sets(about, PA_PROP_MEDIA_ROLE, "music");
        context_ = pa_context_new_with_proplist(pa_threaded_mainloop_get_api(loop_), "きらもく", about);
        pa_context_set_state_callback(context_, ContextChanged, this);
        // Never starts a server of its own: the desktop's is the one to play on.
        bool open = pa_context_connect(context_, nullptr, PA_CONTEXT_NOAUTOSPAWN, nullptr) >= 0;
        pa_threaded_mainloop_lock(loop_);
        open = open && pa_threaded_mainloop_start(loop_) >= 0;
        pa_time_event *deadline = open ? pa_context_rttime_new(context_, pa_rtclock_now() + std::chrono::microseconds(ConnectWait).count(), GiveUp, this) : nullptr;
        open = open && WaitFor([](const PulseStream &me) { return pa_context_get_state(me.context_) == PA_CONTEXT_READY; });
        if (open) {
            const pa_sample_spec sound{PA_SAMPLE_FLOAT32NE, static_cast<std::uint32_t>(rate), 2};
            stream_ = pa_stream_new_with_proplist(context_, "音楽", &sound, nullptr, about);
            const auto bytes = static_cast<std::uint32_t>(bufferFrames * FrameBytes);
            const pa_buffer_attr buffer{static_cast<std::uint32_t>(-1), bytes, static_cast<std::uint32_t>(-1),
                                        bytes / RequestsPerBuffer, static_cast<std::uint32_t>(-1)};
            pa_stream_set_state_callback(stream_, StreamChanged, this);
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
    static void ContextChanged(pa_context *context, void *self)
    {
        auto *me = static_cast<PulseStream *>(self);
        me->lost_ = me->lost_ || Failed(pa_context_get_state(context));
        pa_threaded_mainloop_signal(me->loop_, 0);
    }

    static void StreamChanged(pa_stream *stream, void *self)
    {
        auto *me = static_cast<PulseStream *>(self);
        me->lost_ = me->lost_ || Failed(pa_stream_get_state(stream));
        pa_threaded_mainloop_signal(me->loop_, 0);
    }

    static void GiveUp(pa_mainloop_api *, pa_time_event *, const struct timeval *, void *self)
    {
        auto *me = static_cast<PulseStream *>(self);
        me->gaveUp_ = true;
        pa_threaded_mainloop_signal(me->loop_, 0);
    }

    // The server's request for more: rendered straight into the server's memory.
    static void Requested(pa_stream *stream, std::size_t bytes, void *self)
    {
        auto *me = static_cast<PulseStream *>(self);
        if (!me->realtimeAsked_) {
            // Like the synthesizer's own drivers, on the thread that renders;
            // refused without the right to it, which is fine.
            me->realtimeAsked_ = true;
            if (me->realtimePriority_ > 0) {
                const sched_param priority{me->realtimePriority_};
                pthread_setschedparam(pthread_self(), SCHED_FIFO, &priority);
            }
        }
        while (bytes >= FrameBytes) {
            void *memory = nullptr;
            std::size_t given = bytes;
            if (pa_stream_begin_write(stream, &memory, &given) < 0 || !memory)
                return;
            const std::size_t frames = std::min(given, bytes) / FrameBytes;
            if (frames == 0) {
                pa_stream_cancel_write(stream);
                return;
            }
            me->output_.RenderInterleaved(static_cast<float *>(memory), frames);
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
    int realtimePriority_ = 0;
    bool realtimeAsked_ = false;
    pa_threaded_mainloop *loop_ = nullptr;
    pa_context *context_ = nullptr;
    pa_stream *stream_ = nullptr;
    bool gaveUp_ = false;
    std::atomic<bool> lost_{false};
};

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

// The sound server's request: the synthesizer renders each channel apart,
// the server takes them interleaved.
void LiveAudioOutput::RenderInterleaved(float *sound, std::size_t frames)
{
    lastRenderNs_ = Now();
    while (frames > 0) {
        const std::size_t part = std::min(frames, left_.size());
        source_->Render(std::span(left_).first(part), std::span(right_).first(part));
        for (std::size_t i = 0; i < part; ++i) {
            *sound++ = left_[i];
            *sound++ = right_[i];
        }
        frames -= part;
    }
}

bool LiveAudioOutput::Alive() const
{
    if (!pulse_ && !driver_)
        return true;
    return !(pulse_ && pulse_->Lost()) && std::chrono::nanoseconds(Now() - lastRenderNs_) < LostAfter;
}

bool LiveAudioOutput::Start(fluid_settings_t *settings, SoundSource &source, std::string &why)
{
    if (driver_ || pulse_)
        return true;
    source_ = &source;
    lastRenderNs_ = Now();
    for (const std::string &name : drivers_) {
        if (name == "pulseaudio" && RuntimeFolderUsable()) {
            double rate = 0;
            int realtime = 0;  // left at none by a library that has no such setting
            fluid_settings_getnum(settings, "synth.sample-rate", &rate);
            fluid_settings_getint(settings, "audio.realtime-prio", &realtime);
            left_.assign(BufferFrames, 0.0f);
            right_.assign(BufferFrames, 0.0f);
            pulse_ = std::make_unique<PulseStream>(*this);
            std::string failed;
            if (pulse_->Open(static_cast<int>(rate), BufferFrames, realtime, failed))
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
    pulse_.reset();  // ends the stream's thread, never waiting on the server
    if (driver_)
        delete_fluid_audio_driver(driver_);  // joins the driver's audio thread
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
    if (source_) {
        source_->Render(left.first(std::min(left.size(), right.size())), right.first(std::min(left.size(), right.size())));
        return;
    }
    std::fill(left.begin(), left.end(), 0.0f);
    std::fill(right.begin(), right.end(), 0.0f);
}

bool OfflineAudioOutput::Running() const
{
    const std::lock_guard lock(mutex_);
    return source_ != nullptr;
}

int OfflineAudioOutput::Starts() const
{
    const std::lock_guard lock(mutex_);
    return starts_;
}

}  // namespace kiramoku
