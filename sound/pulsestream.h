#pragma once
// The tune's stream on the desktop's sound server (PulseAudio, or PipeWire
// answering as PulseAudio), driven by the server's requests: the sound is
// rendered inside the server's "write so much more" on the sound library's
// own thread, so there is one thread for the music and it never waits on the
// server. The stream asks for no timing updates: the board needs no clock
// from the server, and each update wakes the library's thread for nothing.
#include <pulse/pulseaudio.h>

#include <atomic>
#include <chrono>
#include <functional>
#include <string>

namespace kiramoku {

class PulseStream {
public:
    // Fills `frames` frames of interleaved stereo at `sound`.
    using Render = std::function<void(float *sound, std::size_t frames)>;

    explicit PulseStream(Render render);
    ~PulseStream();
    PulseStream(const PulseStream &) = delete;
    PulseStream &operator=(const PulseStream &) = delete;

    // Connects to the session's server and starts playing, the server
    // holding about `bufferFrames` frames ahead of the speaker. False when no
    // server answers within ConnectWait, `why` naming the cause.
    bool Open(int rate, int bufferFrames, int realtimePriority, std::string &why);
    // True once the server has gone away (killed, restarted, stream refused).
    bool Lost() const { return lost_; }

    // A server that takes the connection but never answers (stopped, or
    // swapping) is given up on after this long.
    static constexpr std::chrono::milliseconds ConnectWait{2000};

private:
    static void ContextChanged(pa_context *context, void *self);
    static void StreamChanged(pa_stream *stream, void *self);
    static void Requested(pa_stream *stream, std::size_t bytes, void *self);
    static void GiveUp(pa_mainloop_api *, pa_time_event *, const struct timeval *, void *self);
    bool WaitFor(bool (*ready)(const PulseStream &));  // with the loop locked
    void Close();

    Render render_;
    int realtimePriority_ = 0;
    bool realtimeAsked_ = false;
    pa_threaded_mainloop *loop_ = nullptr;
    pa_context *context_ = nullptr;
    pa_stream *stream_ = nullptr;
    bool gaveUp_ = false;
    std::atomic<bool> lost_{false};
};

}  // namespace kiramoku
