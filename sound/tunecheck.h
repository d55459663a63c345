#pragma once
// Checking a tune before FluidSynth, whose reader mishandles some files on
// its audio thread (a tempo or division of 0, over 255 tracks, an event past
// its track's end): only a standard MIDI file whose every event this reader
// understands goes on, read as FluidSynth reads it. Pure, for the fuzzer.
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace kiramoku {

// Refused unread above this: the game's tune is a few kilobytes.
inline constexpr std::size_t MaxTuneBytes = std::size_t{1} << 20;
// The synthesizer's player holds at most this many tracks.
inline constexpr int MaxTuneTracks = 128;
// The furthest tick a track may reach: the player counts in a signed 32 bits.
inline constexpr std::int64_t MaxTuneTicks = std::int64_t{1} << 28;
// The fastest a tune may run, in ticks a millisecond (real tunes: a few): the
// player counts on while the last notes ring, for a minute within 32 bits.
inline constexpr std::int64_t MaxTuneTicksPerMs = std::int64_t{1} << 15;

struct TempoChange {
    std::int64_t tick = 0;
    std::uint32_t microsPerQuarter = 500000;
};

struct TuneCheck {
    bool accepted = false;
    std::string reason;               // when refused: why, in words
    int format = 0;                   // 0 or 1
    int tracks = 0;                   // track chunks read
    int division = 0;                 // ticks per quarter note
    int notes = 0;                    // note-ons with a velocity above 0
    std::int64_t endTick = 0;         // where the last track ends
    std::vector<TempoChange> tempos;  // in tick order, one per tick at most

    double MillisecondsAt(std::int64_t tick) const;  // from the start to `tick` (0 <= tick)
    std::int64_t TickAt(double ms) const;            // reached `ms` after the start, at most endTick
    // The whole tune, start to the end of its last track.
    double DurationMs() const { return MillisecondsAt(endTick); }
};

TuneCheck CheckTune(std::span<const std::uint8_t> bytes);

}  // namespace kiramoku
