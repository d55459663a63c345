#include "synthsound.h"

#include <fluidsynth.h>

#include <algorithm>
#include <thread>

namespace kiramoku {

void SynthSound::Render(std::span<float> left, std::span<float> right)
{
    RenderSynth(left, right);
    {
        const std::lock_guard lock(fadeMutex_);
        const bool silentBefore = fadedOut_;
        fadedOut_ = gain_ == 0.0f;
        silentFrames_ = silentBefore && fadedOut_ ? silentFrames_ + static_cast<std::int64_t>(left.size()) : 0;
    }
    if (hushed_)
        fadeChanged_.notify_all();
}

void SynthSound::WaitFadedOut(std::int64_t drained, std::chrono::milliseconds limit)
{
    std::unique_lock lock(fadeMutex_);
    fadeChanged_.wait_for(lock, limit, [&] { return hurried_ || (fadedOut_ && silentFrames_ > drained); });
}

void SynthSound::Hurry()
{
    {
        const std::lock_guard lock(fadeMutex_);
        hurried_ = true;
    }
    fadeChanged_.notify_all();
}

void SynthSound::RenderSynth(std::span<float> left, std::span<float> right)
{
    // Tried again every LockRetry rather than a timed lock, which the
    // thread checker cannot follow.
    std::unique_lock lock(mutex_, std::try_to_lock);
    for (const auto until = std::chrono::steady_clock::now() + LockWait;
         !lock.owns_lock() && std::chrono::steady_clock::now() < until;) {
        std::this_thread::sleep_for(LockRetry);
        lock.try_lock();
    }
    if (!lock.owns_lock() || !synth_) {
        std::fill(left.begin(), left.end(), 0.0f);
        std::fill(right.begin(), right.end(), 0.0f);
        return;
    }
    // The synthesizer renders at most this many frames a call.
    constexpr std::size_t Block = 4096;
    for (std::size_t done = 0; done < left.size(); done += Block) {
        const int count = static_cast<int>(std::min(Block, left.size() - done));
        fluid_synth_write_float(synth_, count, left.data() + done, 0, 1, right.data() + done, 0, 1);
    }
    ApplyFade(left, right);
}

void SynthSound::ApplyFade(std::span<float> left, std::span<float> right)
{
    const float target = hushed_ ? 0.0f : 1.0f;
    if (gain_ == target && target == 1.0f)
        return;
    constexpr float Step = 1.0f / FadeFrames;
    for (std::size_t i = 0; i < left.size(); ++i) {
        gain_ = target > gain_ ? std::min(target, gain_ + Step) : std::max(target, gain_ - Step);
        left[i] *= gain_;
        right[i] *= gain_;
        if (gain_ == 0.0f) {  // exact silence from here on, not the hall's last whisper
            left[i] = 0.0f;
            right[i] = 0.0f;
        }
    }
}

}  // namespace kiramoku
