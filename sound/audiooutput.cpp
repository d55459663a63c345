#include "audiooutput.h"

#include "musiclog.h"
#include "pulsestream.h"
#include "runtimefolder.h"

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

bool LiveAudioOutput::StartPulse(fluid_settings_t *settings)
{
    double rate = 0;
    int realtime = 0;
    fluid_settings_getnum(settings, "synth.sample-rate", &rate);
    // Left at 0 (none asked) by a library that has no such setting.
    fluid_settings_getint(settings, "audio.realtime-prio", &realtime);
    left_.assign(BufferFrames, 0.0f);
    right_.assign(BufferFrames, 0.0f);
    pulse_ = std::make_unique<PulseStream>([this](float *sound, std::size_t frames) { RenderInterleaved(sound, frames); });
    std::string why;
    if (pulse_->Open(static_cast<int>(rate), BufferFrames, realtime, why))
        return true;
    qCDebug(lcMusic, "PulseAudio: %s", why.c_str());
    pulse_.reset();
    return false;
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
        if (name != "pulseaudio" && name != "alsa")
            continue;  // the only two that neither write files nor start servers
        if (name == "pulseaudio") {
            if (RuntimeFolderUsable() && StartPulse(settings))
                return true;
            continue;
        }
        if (fluid_settings_setstr(settings, "audio.driver", name.c_str()) != FLUID_OK)
            continue;
        fluid_settings_setint(settings, "audio.period-size", BufferFrames / AlsaPeriods);
        fluid_settings_setint(settings, "audio.periods", AlsaPeriods);
        if (!alsaDevice_.empty())
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
    pulse_.reset();  // ends the stream's thread, never waiting on the server
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

void OfflineAudioOutput::Render(std::span<float> left, std::span<float> right)
{
    const std::lock_guard lock(mutex_);
    const std::size_t frames = std::min(left.size(), right.size());
    if (!source_) {
        std::fill(left.begin(), left.end(), 0.0f);
        std::fill(right.begin(), right.end(), 0.0f);
        return;
    }
    source_->Render(left.first(frames), right.first(frames));
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
