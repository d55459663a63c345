#pragma once
// Helpers for the music tests: a music control on offline rendering, so a
// test hears exactly what the player would play at any moment, with no
// sound card and no waiting in real time.
#include "mmcontrol.h"
#include "musicsequence.h"

#include <QString>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <memory>
#include <vector>

namespace kiramoku::test {

// The tune the build wrote, where the game looks for it.
inline QString BuiltTune()
{
    return QStringLiteral(KIRAMOKU_DATA_DIR "/kira.mid");
}

// How long a test waits for the sequencer to catch up before calling it stuck.
inline constexpr std::chrono::seconds Patience{10};

struct Sound {
    std::vector<float> left, right;

    std::size_t Frames() const { return left.size(); }
    // Root mean square of both channels over frames [from, to).
    double Rms(std::size_t from, std::size_t to) const
    {
        to = std::min(to, Frames());
        if (from >= to)
            return 0.0;
        double sum = 0.0;
        for (std::size_t i = from; i < to; ++i)
            sum += double(left[i]) * left[i] + double(right[i]) * right[i];
        return std::sqrt(sum / double(2 * (to - from)));
    }
    double Rms() const { return Rms(0, Frames()); }
    // The largest sample of either channel over frames [from, to).
    double Peak(std::size_t from, std::size_t to) const
    {
        float peak = 0.0f;
        for (std::size_t i = from; i < std::min(to, Frames()); ++i)
            peak = std::max({peak, std::abs(left[i]), std::abs(right[i])});
        return double(peak);
    }
    double Peak() const { return Peak(0, Frames()); }
    // Sample for sample the first `frames` of `other`, started up to one
    // synthesizer block (64 frames) later: the player acts on block bounds,
    // so a tune started mid-block sounds from the next one.
    bool SameStartAs(const Sound &other, std::size_t frames) const
    {
        constexpr std::size_t Block = 64;
        if (Frames() < frames + Block || other.Frames() < frames)
            return false;
        for (std::size_t shift = 0; shift < Block; ++shift) {
            if (std::equal(other.left.begin(), other.left.begin() + long(frames), left.begin() + long(shift))
                && std::equal(other.right.begin(), other.right.begin() + long(frames), right.begin() + long(shift)))
                return true;
        }
        return false;
    }

    // Mean absolute difference from `other` over frames [from, to), this
    // sound taken `shift` frames later.
    double Mismatch(const Sound &other, std::size_t from, std::size_t to, std::size_t shift) const
    {
        to = std::min({to, other.Frames(), Frames() - std::min(Frames(), shift)});
        if (from >= to)
            return 1.0;
        double sum = 0.0;
        for (std::size_t i = from; i < to; ++i)
            sum += std::abs(left[i + shift] - other.left[i]) + std::abs(right[i + shift] - other.right[i]);
        return sum / double(2 * (to - from));
    }
    double MeanLevel(std::size_t from, std::size_t to) const
    {
        Sound silence;
        silence.left.assign(Frames(), 0.0f);
        silence.right.assign(Frames(), 0.0f);
        return silence.Mismatch(*this, from, to, 0);
    }
    // The same music as `other` from its first block on, give or take the
    // reverberation of whatever sounded before, which dies away over the
    // first second or two: what a restarted tune sounds like.
    bool StartsLike(const Sound &other) const
    {
        const std::size_t from = other.Frames() / 6, to = other.Frames() - 64;
        const double level = other.MeanLevel(from, to);
        for (std::size_t shift = 0; shift < 64; ++shift) {
            if (Mismatch(other, from, to, shift) < 0.2 * level)
                return true;
        }
        return false;
    }
};

inline constexpr std::size_t FramesIn(double ms)
{
    return static_cast<std::size_t>(ms * Sequencer::SampleRate / 1000.0);
}

// The board's music control rendering offline.
struct OfflineMusic {
    std::shared_ptr<OfflineAudioOutput> output = std::make_shared<OfflineAudioOutput>();
    MMControl control;

    explicit OfflineMusic(std::vector<std::string> soundFonts = DefaultSoundFonts())
        : control(SequencerOptions{std::move(soundFonts), output})
    {
        control.SetUpdateInterval(0);  // the tests give the ticks themselves
    }

    // The board's start sequence, in the board's order.
    void Start(const QString &tune) { StartMusic(control, tune); }

    // The board's status tick.
    void Tick() { RestartMusic(control); }

    bool Settle() { return control.Device().WaitUntilIdle(Patience); }
    Sequencer::Status Status() { return control.Device().Snapshot(); }

    // Lets every command given so far take effect, then renders `ms` of sound.
    Sound Render(double ms)
    {
        Settle();
        Sound sound;
        sound.left.resize(FramesIn(ms));
        sound.right.resize(FramesIn(ms));
        output->Render(sound.left, sound.right);
        return sound;
    }
};

} // namespace kiramoku::test
