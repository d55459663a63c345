#pragma once
// Where the synthesizer's sound goes. The output opens with the first tune
// played and stays open: a sound server's new stream starts after a long
// silence, so a restart happens inside the synthesizer, never here. Start
// and Stop are called on the sequencer's own thread only.
#include <fluidsynth/types.h>

#include <atomic>
#include <chrono>
#include <memory>
#include <mutex>
#include <span>
#include <string>
#include <vector>

namespace kiramoku {

// Sends FluidSynth's, ALSA's and GLib's lines off the player's terminal, to
// the debug level of the log category kiramoku.music. Any thread; the first call acts.
void RouteSoundLibraryLogs();

// Fills `left` and `right` (one size) with the next stretch of stereo sound,
// on the output's own thread.
class SoundSource {
public:
    virtual ~SoundSource() = default;
    virtual void Render(std::span<float> left, std::span<float> right) = 0;
};

class AudioOutput {
public:
    static constexpr int SampleRate = 44100;  // frames a second, live and offline
    virtual ~AudioOutput() = default;
    // Starts playing `source`; false, nothing running and `why` in a few
    // words when no device takes it. Harmless when running.
    virtual bool Start(fluid_settings_t *settings, SoundSource &source, std::string &why) = 0;
    // Once it returns, the source is called no more. Harmless when stopped.
    virtual void Stop() = 0;
    // False once a started output has lost its sound server: stop, start anew.
    virtual bool Alive() const { return true; }
    // Frames asked for that the speaker has not played yet: what Stop cuts off.
    virtual int BufferedFrames() const { return 0; }
};

// The sound card: the desktop's sound server (PipeWire answers as PulseAudio)
// on a stream of our own, rendered inside the server's requests on its
// library's thread (FluidSynth's driver spends a thread more, waiting on
// the server); left out where the runtime folder is unusable and its library
// would only complain. Then ALSA through FluidSynth's driver. Never the file,
// JACK or SDL drivers: they write a WAV here, may start a server, need SDL set up.
class LiveAudioOutput : public AudioOutput {
public:
    // `drivers` in the order to try; `alsaDevice` empty for ALSA's default.
    explicit LiveAudioOutput(std::vector<std::string> drivers = {"pulseaudio", "alsa"}, std::string alsaDevice = {});
    ~LiveAudioOutput() override;

    bool Start(fluid_settings_t *settings, SoundSource &source, std::string &why) override;
    void Stop() override;
    // Lost too when no sound was asked for in LostAfter (a server with a
    // slow recording client may hold a stream's writes for two seconds).
    bool Alive() const override;
    static constexpr std::chrono::milliseconds LostAfter{5000};
    int BufferedFrames() const override { return BufferFrames; }

    // About 93 ms ahead of the speaker: a busy desktop still gives the output
    // a turn within it (half of it did not), a pause is heard within 0.1 s.
    static constexpr int BufferFrames = 4096;
    static constexpr int AlsaPeriods = 4;  // ALSA's driver buffers this many periods

private:
    static std::int64_t Now() { return std::chrono::steady_clock::now().time_since_epoch().count(); }
    static int Render(void *data, int frames, int, float *[], int outputs, float *out[]);
    friend class PulseStream;

    std::vector<std::string> drivers_;
    std::string alsaDevice_;
    std::unique_ptr<class PulseStream> pulse_;
    fluid_audio_driver_t *driver_ = nullptr;
    SoundSource *source_ = nullptr;
    std::atomic<std::int64_t> lastRenderNs_{0};  // when the driver last asked for sound
};

// Rendering on demand into memory, for tests and measurements: the player
// moves on only as far as Render is asked to go.
class OfflineAudioOutput : public AudioOutput {
public:
    bool Start(fluid_settings_t *settings, SoundSource &source, std::string &why) override;
    void Stop() override;

    // Any thread; silence, and no time passing for the player, while stopped.
    void Render(std::span<float> left, std::span<float> right);
    bool Running() const { return source_ != nullptr; }
    int Starts() const { return starts_; }  // how many times it was started

private:
    std::mutex mutex_;  // held while rendering: Stop waits for a render to end
    std::atomic<SoundSource *> source_{nullptr};
    std::atomic<int> starts_{0};
};

}  // namespace kiramoku
