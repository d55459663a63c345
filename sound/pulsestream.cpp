#include "pulsestream.h"

#include <pthread.h>
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

PulseStream::PulseStream(Render render)
    : render_(std::move(render)) {}

PulseStream::~PulseStream()
{
    Close();
}

void PulseStream::ContextChanged(pa_context *context, void *self)
{
    auto *me = static_cast<PulseStream *>(self);
    if (Failed(pa_context_get_state(context)))
        me->lost_ = true;
    pa_threaded_mainloop_signal(me->loop_, 0);
}

void PulseStream::StreamChanged(pa_stream *stream, void *self)
{
    auto *me = static_cast<PulseStream *>(self);
    if (Failed(pa_stream_get_state(stream)))
        me->lost_ = true;
    pa_threaded_mainloop_signal(me->loop_, 0);
}

void PulseStream::GiveUp(pa_mainloop_api *, pa_time_event *, const struct timeval *, void *self)
{
    auto *me = static_cast<PulseStream *>(self);
    me->gaveUp_ = true;
    pa_threaded_mainloop_signal(me->loop_, 0);
}

// The server's request for more: rendered straight into the server's memory.
void PulseStream::Requested(pa_stream *stream, std::size_t bytes, void *self)
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
        me->render_(static_cast<float *>(memory), frames);
        if (pa_stream_write(stream, memory, frames * FrameBytes, nullptr, 0, PA_SEEK_RELATIVE) < 0)
            return;
        bytes -= frames * FrameBytes;
    }
}

bool PulseStream::WaitFor(bool (*ready)(const PulseStream &))
{
    while (!ready(*this)) {
        if (lost_ || gaveUp_)
            return false;
        pa_threaded_mainloop_wait(loop_);
    }
    return true;
}

bool PulseStream::Open(int rate, int bufferFrames, int realtimePriority, std::string &why)
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

void PulseStream::Close()
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
    context_ = nullptr;
    pa_threaded_mainloop_unlock(loop_);
    // Ends the library's thread, which renders: once it returns no request
    // reaches the render any more. It never waits on the server.
    pa_threaded_mainloop_stop(loop_);
    pa_threaded_mainloop_free(loop_);
    loop_ = nullptr;
}

}  // namespace kiramoku
