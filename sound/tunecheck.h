#pragma once
// Checking a tune file before the synthesizer is given it.
//
// The synthesizer's own reader takes files it then mishandles (a tempo or a
// division of 0 makes its clock divide by zero, a track count above 255 is
// misread, an event that runs past its track throws every later track out of
// step), and it reads the file on its audio thread. So every tune is read here
// first, completely and strictly: only a standard MIDI file whose every event
// this reader understands goes on, and whatever goes on, the synthesizer's
// reader sees exactly as this one does.
//
// Pure: bytes in, verdict out. No files, no globals, no Qt, so it can be fed
// anything, as many times as a fuzzer likes.
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace kiramoku {

// A tune file larger than this is refused unread: the game's own tune is a
// few kilobytes, and the synthesizer parses the file on its audio thread.
inline constexpr std::size_t MaxTuneBytes = std::size_t{1} << 20;
// The synthesizer's player holds at most this many tracks.
inline constexpr int MaxTuneTracks = 128;
// The furthest tick a track may reach, so that the player's tick counting
// (a signed 32-bit number) never overflows.
inline constexpr std::int64_t MaxTuneTicks = std::int64_t{1} << 28;
// The fastest a tune may run, in ticks a millisecond. The player works out
// its position from the time played, and goes on counting for a few seconds
// after the last track's end while the last notes ring out; at this rate
// the count stays inside a signed 32-bit number for almost a minute past
// MaxTuneTicks. Real tunes run at a few ticks a millisecond.
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

    // Milliseconds from the start of the tune to `tick` (0 <= tick).
    double MillisecondsAt(std::int64_t tick) const;
    // The tick reached `ms` milliseconds after the start, at most endTick.
    std::int64_t TickAt(double ms) const;
    // The whole tune, start to the end of its last track.
    double DurationMs() const { return MillisecondsAt(endTick); }
};

TuneCheck CheckTune(std::span<const std::uint8_t> bytes);

}  // namespace kiramoku
