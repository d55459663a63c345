#pragma once
// A music control on offline rendering: a test hears exactly what the player
// would play at any moment, with no sound card and no waiting in real time.
#include "mmcontrol.h"
#include "musicsequence.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <vector>

namespace kiramoku::test {

// The tune the build wrote, where the game looks for it.
inline QString BuiltTune()
{
    return QStringLiteral(KIRAMOKU_DATA_DIR "/kira.mid");
}

// How long a test waits for the sequencer to catch up before calling it stuck.
inline constexpr std::chrono::seconds Patience{10};

inline constexpr std::size_t FramesIn(double ms)
{
    return static_cast<std::size_t>(ms * Sequencer::SampleRate / 1000.0);
}

struct Sound {
    std::vector<float> left, right;

    std::size_t Frames() const { return left.size(); }
    void Append(const Sound &more)
    {
        left.insert(left.end(), more.left.begin(), more.left.end());
        right.insert(right.end(), more.right.begin(), more.right.end());
    }
    // Root mean square of both channels over frames [from, to).
    double Rms(std::size_t from = 0, std::size_t to = SIZE_MAX) const
    {
        double sum = 0.0;
        to = std::min(to, Frames());
        for (std::size_t i = from; i < to; ++i)
            sum += double(left[i]) * left[i] + double(right[i]) * right[i];
        return from < to ? std::sqrt(sum / double(2 * (to - from))) : 0.0;
    }
    // The same music as `other` from its first block on, started up to one
    // synthesizer block (64 frames) later, since the player acts on block
    // bounds, and give or take the reverberation of whatever sounded before,
    // which dies away over the first second or two: a restarted tune.
    bool StartsLike(const Sound &other) const
    {
        constexpr std::size_t Block = 64;
        const std::size_t from = other.Frames() / 6, to = std::min(other.Frames(), Frames()) - Block;
        double level = 0.0;
        for (std::size_t i = from; i < to; ++i)
            level += std::abs(other.left[i]) + std::abs(other.right[i]);
        for (std::size_t shift = 0; shift < Block; ++shift) {
            double off = 0.0;
            for (std::size_t i = from; i < to; ++i)
                off += std::abs(left[i + shift] - other.left[i]) + std::abs(right[i + shift] - other.right[i]);
            if (off < 0.2 * level)
                return true;
        }
        return false;
    }
};

// The board's music on a real sound driver ("pulseaudio" or "alsa"), as the game plays it.
inline SequencerOptions OnDriver(const char *driver, std::string device = {})
{
    return {DefaultSoundFonts(), std::make_shared<LiveAudioOutput>(std::vector<std::string>{driver}, std::move(device))};
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
    void Start(const QString &tune) { StartMusic(control, tune); }  // the board's start sequence
    void Tick() { RestartMusic(control); }                          // the board's status tick
    bool Settle() { return control.Device().WaitUntilIdle(Patience); }
    Sequencer::Status Status() { return Settle(), control.Device().Snapshot(); }  // once every command given has taken effect
    void Command(const char *word) { control.SetCommand(QString::fromLatin1(word)); }

    // Lets every command given so far take effect, then renders `ms` of sound.
    Sound Render(double ms)
    {
        Settle();
        Sound sound{std::vector<float>(FramesIn(ms), 1.0f), std::vector<float>(FramesIn(ms), 1.0f)};  // a frame left unwritten is loud
        output->Render(sound.left, sound.right);
        return sound;
    }
};

}  // namespace kiramoku::test
