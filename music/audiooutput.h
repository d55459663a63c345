#pragma once
// Where the synthesizer's sound goes.
//
// The sequencer starts an output when a tune plays and stops it when the tune
// is closed. A running output renders the synthesizer, and the synthesizer's
// rendering is what moves the player through the tune; so an output is always
// started after the player exists and stopped before the player is deleted.
// Start and Stop are called on the sequencer's own thread only.
#include <fluidsynth/types.h>

#include <mutex>
#include <span>
#include <string>
#include <vector>

namespace kiramoku {

class AudioOutput {
public:
    virtual ~AudioOutput() = default;
    // Starts rendering `synth`. When no device takes it: false, nothing
    // running, and `why` names the cause in a few words.
    virtual bool Start(fluid_settings_t *settings, fluid_synth_t *synth, std::string &why) = 0;
    // Stops rendering; once it returns the synthesizer is rendered no more.
    // Harmless when not running.
    virtual void Stop() = 0;
};

// The sound card, through the desktop's sound server when there is one:
// PulseAudio first (PipeWire desktops answer as PulseAudio), then ALSA.
// Never the synthesizer's file, JACK or SDL drivers: the first writes a WAV
// into the working directory, the second may start a sound server, the third
// needs SDL set up by the program.
class LiveAudioOutput : public AudioOutput {
public:
    // `drivers` in the order to try; `alsaDevice` empty for ALSA's default.
    explicit LiveAudioOutput(std::vector<std::string> drivers = {"pulseaudio", "alsa"},
                             std::string alsaDevice = {});
    ~LiveAudioOutput() override;
    LiveAudioOutput(const LiveAudioOutput &) = delete;
    LiveAudioOutput &operator=(const LiveAudioOutput &) = delete;

    bool Start(fluid_settings_t *settings, fluid_synth_t *synth, std::string &why) override;
    void Stop() override;

private:
    std::vector<std::string> drivers_;
    std::string alsaDevice_;
    fluid_audio_driver_t *driver_ = nullptr;
};

// Rendering on demand into memory, for tests and measurements where there is
// no sound card: the player moves on only as far as Render is asked to go,
// so what a tune sounds like at any moment can be looked at exactly.
class OfflineAudioOutput : public AudioOutput {
public:
    bool Start(fluid_settings_t *settings, fluid_synth_t *synth, std::string &why) override;
    void Stop() override;

    // Renders left.size() frames of stereo (right has the same size) and
    // answers true; while the output is stopped the frames are silence, no
    // time passes for the player, and the answer is false. Any thread.
    bool Render(std::span<float> left, std::span<float> right);
    bool Running() const;
    // How many times the output was started: once for every Play that found
    // the device without sound, e.g. once after every Open.
    int Starts() const;

private:
    mutable std::mutex mutex_;  // held while rendering, so Stop waits for a render to end
    fluid_synth_t *synth_ = nullptr;
    int starts_ = 0;
};

} // namespace kiramoku
