#pragma once
// The synthesizer as the sound output hears it, and the one lock of the music.
//
// FluidSynth's player is not synchronised with the rendering that drives it:
// starting, stopping, seeking, asking its position, and making or deleting a
// player all change fields the render reads with plain loads. So every such
// call is made holding Lock(), and Render waits at most LockWait for it: a
// render that still finds it taken plays silence for its buffer rather than
// make the sound card wait behind a tune being loaded.
#include "audiooutput.h"
#include "sequencer.h"

#include <fluidsynth/types.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <mutex>

namespace kiramoku {

class SynthSound : public SoundSource {
public:
    static constexpr int SampleRate = Sequencer::SampleRate;
    static constexpr int FadeFrames = SampleRate / 50;  // 20 ms: quick, yet no click

    std::mutex &Lock() { return mutex_; }
    // How long a render waits for the lock: a tune being loaded at the
    // status tick holds it a moment (longer on a busy machine), well within
    // the output's buffer; a whole buffer of silence would be a drop-out.
    static constexpr std::chrono::milliseconds LockWait{20};
    static constexpr std::chrono::milliseconds LockRetry{1};
    // Caller holds Lock().
    void Attach(fluid_synth_t *synth) { synth_ = synth; }

    // Hushed, the sound fades out over FadeFrames and then stays silent, to
    // the last sample, until it is let sound again (it fades back in).
    void Hush(bool on) { hushed_ = on; }
    bool Hushed() const { return hushed_; }
    // Waits until the sound has faded out and more than `drained` frames of
    // silence have been rendered since: once the output has asked for more
    // of them than it buffers, the fade's last sample has been played, and
    // closing the output cuts off nothing but silence. At most `limit`, and
    // not at all once hurried.
    void WaitFadedOut(std::int64_t drained, std::chrono::milliseconds limit);
    void Hurry();

    void Render(std::span<float> left, std::span<float> right) override;

private:
    void RenderSynth(std::span<float> left, std::span<float> right);
    void ApplyFade(std::span<float> left, std::span<float> right);

    std::mutex mutex_;
    fluid_synth_t *synth_ = nullptr;  // under mutex_
    std::atomic<bool> hushed_{false};
    std::mutex fadeMutex_;
    std::condition_variable fadeChanged_;
    std::int64_t silentFrames_ = 0;  // under fadeMutex_, like the two below
    bool fadedOut_ = false;
    bool hurried_ = false;
    float gain_ = 1.0f;  // the output's thread only
};

}  // namespace kiramoku
