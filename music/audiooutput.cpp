#include "audiooutput.h"

#include <fluidsynth.h>

#include <algorithm>

namespace kiramoku {

LiveAudioOutput::LiveAudioOutput(std::vector<std::string> drivers, std::string alsaDevice)
    : drivers_(std::move(drivers)), alsaDevice_(std::move(alsaDevice))
{
}

LiveAudioOutput::~LiveAudioOutput()
{
    Stop();
}

bool LiveAudioOutput::Start(fluid_settings_t *settings, fluid_synth_t *synth, std::string &why)
{
    if (driver_)
        return true;
    for (const std::string &name : drivers_) {
        if (name != "pulseaudio" && name != "alsa")
            continue;  // the only two that neither write files nor start servers
        if (fluid_settings_setstr(settings, "audio.driver", name.c_str()) != FLUID_OK)
            continue;
        if (name == "alsa" && !alsaDevice_.empty())
            fluid_settings_setstr(settings, "audio.alsa.device", alsaDevice_.c_str());
        driver_ = new_fluid_audio_driver(settings, synth);
        if (driver_)
            return true;
    }
    why = "no sound device answered (tried PulseAudio, then ALSA)";
    return false;
}

void LiveAudioOutput::Stop()
{
    if (driver_) {
        delete_fluid_audio_driver(driver_);  // joins the driver's audio thread
        driver_ = nullptr;
    }
}

bool OfflineAudioOutput::Start(fluid_settings_t *, fluid_synth_t *synth, std::string &)
{
    const std::lock_guard lock(mutex_);
    if (!synth_) {
        synth_ = synth;
        ++starts_;
    }
    return true;
}

void OfflineAudioOutput::Stop()
{
    const std::lock_guard lock(mutex_);
    synth_ = nullptr;
}

bool OfflineAudioOutput::Render(std::span<float> left, std::span<float> right)
{
    const std::lock_guard lock(mutex_);
    const std::size_t frames = std::min(left.size(), right.size());
    if (!synth_) {
        std::fill(left.begin(), left.end(), 0.0f);
        std::fill(right.begin(), right.end(), 0.0f);
        return false;
    }
    // The synthesizer renders at most this many frames a call.
    constexpr std::size_t Block = 4096;
    for (std::size_t done = 0; done < frames; done += Block) {
        const int count = static_cast<int>(std::min(Block, frames - done));
        fluid_synth_write_float(synth_, count, left.data() + done, 0, 1, right.data() + done, 0, 1);
    }
    return true;
}

bool OfflineAudioOutput::Running() const
{
    const std::lock_guard lock(mutex_);
    return synth_ != nullptr;
}

int OfflineAudioOutput::Starts() const
{
    const std::lock_guard lock(mutex_);
    return starts_;
}

} // namespace kiramoku
