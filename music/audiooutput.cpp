#include "audiooutput.h"

#include <fluidsynth.h>

#include <algorithm>

namespace kiramoku {

namespace {

// The drivers' call for more sound: stereo, one buffer a channel, zeroed.
int RenderForDriver(void *data, int frames, int, float *[], int outputs, float *out[])
{
    if (outputs < 2 || frames <= 0)
        return FLUID_OK;
    const auto count = static_cast<std::size_t>(frames);
    static_cast<SoundSource *>(data)->Render(std::span(out[0], count), std::span(out[1], count));
    return FLUID_OK;
}

} // namespace

LiveAudioOutput::LiveAudioOutput(std::vector<std::string> drivers, std::string alsaDevice)
    : drivers_(std::move(drivers)), alsaDevice_(std::move(alsaDevice))
{
}

LiveAudioOutput::~LiveAudioOutput()
{
    Stop();
}

bool LiveAudioOutput::Start(fluid_settings_t *settings, SoundSource &source, std::string &why)
{
    if (driver_)
        return true;
    for (const std::string &name : drivers_) {
        if (name != "pulseaudio" && name != "alsa")
            continue;  // the only two that neither write files nor start servers
        if (fluid_settings_setstr(settings, "audio.driver", name.c_str()) != FLUID_OK)
            continue;
        const bool pulse = name == "pulseaudio";
        fluid_settings_setint(settings, "audio.period-size", pulse ? BufferFrames : BufferFrames / AlsaPeriods);
        fluid_settings_setint(settings, "audio.periods", pulse ? 1 : AlsaPeriods);
        if (name == "alsa" && !alsaDevice_.empty())
            fluid_settings_setstr(settings, "audio.alsa.device", alsaDevice_.c_str());
        driver_ = new_fluid_audio_driver2(settings, RenderForDriver, &source);
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

bool OfflineAudioOutput::Start(fluid_settings_t *, SoundSource &source, std::string &)
{
    const std::lock_guard lock(mutex_);
    if (!source_) {
        source_ = &source;
        ++starts_;
    }
    return true;
}

void OfflineAudioOutput::Stop()
{
    const std::lock_guard lock(mutex_);
    source_ = nullptr;
}

bool OfflineAudioOutput::Render(std::span<float> left, std::span<float> right)
{
    const std::lock_guard lock(mutex_);
    const std::size_t frames = std::min(left.size(), right.size());
    if (!source_) {
        std::fill(left.begin(), left.end(), 0.0f);
        std::fill(right.begin(), right.end(), 0.0f);
        return false;
    }
    source_->Render(left.first(frames), right.first(frames));
    return true;
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

} // namespace kiramoku
