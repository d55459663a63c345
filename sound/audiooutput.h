#pragma once
// Where the synthesizer's sound goes.
//
// The sequencer starts its output when the first tune plays and keeps it
// running until the sequencer ends: a sound server gives a stream that comes
// and goes a long silence each time it comes back, so a restart of the tune
// happens inside the synthesizer, never by reopening the output. While no
// tune plays, the output plays the silence the source renders.
// Start and Stop are called on the sequencer's own thread only.
#include <fluidsynth/types.h>

#include <atomic>
#include <chrono>
#include <memory>
#include <mutex>
#include <span>
#include <string>
#include <vector>

namespace kiramoku {

// What an output plays: `left` and `right` (the same size) filled with the
// next stretch of stereo sound. Called on the output's own thread.
class SoundSource {
public:
    virtual ~SoundSource() = default;
    virtual void Render(std::span<float> left, std::span<float> right) = 0;
};

class AudioOutput {
public:
    virtual ~AudioOutput() = default;
    // Starts playing `source`. When no device takes it: false, nothing
    // running, and `why` names the cause in a few words. Harmless when running.
    virtual bool Start(fluid_settings_t *settings, SoundSource &source, std::string &why) = 0;
    // Stops playing; once it returns the source is called no more.
    // Harmless when not running.
    virtual void Stop() = 0;
    // False once a started output has lost its sound server (killed or
    // restarted): it must be stopped and started anew.
    virtual bool Alive() const { return true; }
    // At most how many frames of sound the output has asked for that the
    // speaker has not played yet: what stopping it would cut off.
    virtual int BufferedFrames() const { return 0; }
};

// The sound card, through the desktop's sound server when there is one:
// PulseAudio first (PipeWire desktops answer as PulseAudio), on a stream of
// our own (PulseStream: the synthesizer's PulseAudio driver spends a thread
// waiting on a blocking stream that also asks for timing updates, half as
// much again as the rendering itself), then ALSA through the synthesizer's
// driver. Never the synthesizer's file, JACK or SDL drivers: the first writes a WAV
// into the working directory, the second may start a sound server, the third
// needs SDL set up by the program. PulseAudio is left out when the session's
// runtime folder is unusable (RuntimeFolderUsable): its library would only
// complain on the terminal.
class LiveAudioOutput : public AudioOutput {
public:
    // `drivers` in the order to try; `alsaDevice` empty for ALSA's default.
    explicit LiveAudioOutput(std::vector<std::string> drivers = {"pulseaudio", "alsa"},
                             std::string alsaDevice = {});
    ~LiveAudioOutput() override;
    LiveAudioOutput(const LiveAudioOutput &) = delete;
    LiveAudioOutput &operator=(const LiveAudioOutput &) = delete;

    bool Start(fluid_settings_t *settings, SoundSource &source, std::string &why) override;
    void Stop() override;
    // The sound server's stream fails when its server goes away; an output
    // that has asked for no sound for LostAfter is taken as lost too. (A server with a slow recording client
    // may hold a stream's writes for two seconds.)
    bool Alive() const override;
    static constexpr std::chrono::milliseconds LostAfter{5000};
    int BufferedFrames() const override { return BufferFrames; }

    // Sound buffered ahead of the speaker, about 93 ms: a desktop whose
    // cores are all busy still finds the output's thread a turn within it
    // (half of it left drop-outs of 50 to 90 ms now and then), a pause and
    // music off are heard within a tenth of a second, and the synthesizer
    // is woken half as often.
    static constexpr int BufferFrames = 4096;
    // ALSA's driver buffers this many periods.
    static constexpr int AlsaPeriods = 4;

private:
    std::vector<std::string> drivers_;
    std::string alsaDevice_;
    static std::int64_t Now() { return std::chrono::steady_clock::now().time_since_epoch().count(); }
    static int Render(void *data, int frames, int, float *[], int outputs, float *out[]);
    bool StartPulse(fluid_settings_t *settings);
    void RenderInterleaved(float *sound, std::size_t frames);

    std::unique_ptr<class PulseStream> pulse_;
    std::vector<float> left_, right_;  // the synthesizer's channels before the server's interleaving
    fluid_audio_driver_t *driver_ = nullptr;
    SoundSource *source_ = nullptr;
    std::atomic<std::int64_t> lastRenderNs_{0};  // when the driver last asked for sound
};

// Rendering on demand into memory, for tests and measurements where there is
// no sound card: the player moves on only as far as Render is asked to go,
// so what a tune sounds like at any moment can be looked at exactly.
class OfflineAudioOutput : public AudioOutput {
public:
    bool Start(fluid_settings_t *settings, SoundSource &source, std::string &why) override;
    void Stop() override;

    // Renders left.size() frames of stereo (right has the same size); while
    // the output is stopped the frames are silence and no time passes for
    // the player (Running tells which). Any thread.
    void Render(std::span<float> left, std::span<float> right);
    bool Running() const;
    // How many times the output was started.
    int Starts() const;

private:
    mutable std::mutex mutex_;  // held while rendering, so Stop waits for a render to end
    SoundSource *source_ = nullptr;
    int starts_ = 0;
};

}  // namespace kiramoku
