#include "audiooutput.h"

#include "musiclog.h"

#include <fluidsynth.h>

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>

namespace kiramoku {

bool RuntimeFolderUsable()
{
    const char *runtime = std::getenv("XDG_RUNTIME_DIR");
    if (!runtime || !*runtime)
        return true;  // the sound library finds its own place
    struct stat folder {};
    return stat(runtime, &folder) == 0 && S_ISDIR(folder.st_mode) && folder.st_uid == geteuid()
        && access(runtime, W_OK | X_OK) == 0;
}

LiveAudioOutput::LiveAudioOutput(std::vector<std::string> drivers, std::string alsaDevice)
    : drivers_(std::move(drivers)), alsaDevice_(std::move(alsaDevice))
{
}

LiveAudioOutput::~LiveAudioOutput()
{
    Stop();
}

// The driver's call for more sound: stereo, one buffer a channel, zeroed.
int LiveAudioOutput::Render(void *data, int frames, int, float *[], int outputs, float *out[])
{
    auto *output = static_cast<LiveAudioOutput *>(data);
    output->lastRenderNs_ = Now();
    if (outputs < 2 || frames <= 0)
        return FLUID_OK;
    const auto count = static_cast<std::size_t>(frames);
    output->source_->Render(std::span(out[0], count), std::span(out[1], count));
    return FLUID_OK;
}

bool LiveAudioOutput::Alive() const
{
    return !driver_
        || (SoundServerLosses() == lossesAtStart_ && std::chrono::nanoseconds(Now() - lastRenderNs_) < LostAfter);
}

bool LiveAudioOutput::Start(fluid_settings_t *settings, SoundSource &source, std::string &why)
{
    if (driver_)
        return true;
    source_ = &source;
    lastRenderNs_ = Now();
    lossesAtStart_ = SoundServerLosses();
    for (const std::string &name : drivers_) {
        if (name != "pulseaudio" && name != "alsa")
            continue;  // the only two that neither write files nor start servers
        if (fluid_settings_setstr(settings, "audio.driver", name.c_str()) != FLUID_OK)
            continue;
        const bool pulse = name == "pulseaudio";
        if (pulse && !RuntimeFolderUsable())
            continue;
        fluid_settings_setint(settings, "audio.period-size", pulse ? BufferFrames : BufferFrames / AlsaPeriods);
        fluid_settings_setint(settings, "audio.periods", pulse ? PulsePeriods : AlsaPeriods);
        if (name == "alsa" && !alsaDevice_.empty())
            fluid_settings_setstr(settings, "audio.alsa.device", alsaDevice_.c_str());
        driver_ = new_fluid_audio_driver2(settings, Render, this);
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
