#pragma once
// Building small MIDI files byte by byte, for tests that need a file with one
// particular fault.
#include <QByteArray>
#include <QtEndian>

#include <cstdint>
#include <initializer_list>

namespace kiramoku::test {

inline QByteArray Bytes(std::initializer_list<int> values)
{
    QByteArray out;
    for (int v : values)
        out.append(static_cast<char>(v));
    return out;
}

// The last `count` bytes of `value`, most significant first.
inline QByteArray BigEndian(std::uint32_t value, int count)
{
    const std::uint32_t big = qToBigEndian(value);
    return QByteArray(reinterpret_cast<const char *>(&big) + 4 - count, count);
}

inline QByteArray Header(int format, int tracks, int division)
{
    return QByteArray("MThd") + BigEndian(6, 4) + BigEndian(std::uint32_t(format), 2)
           + BigEndian(std::uint32_t(tracks), 2) + BigEndian(std::uint32_t(division), 2);
}

// A track chunk around `events` (delta times included), its length filled in.
inline QByteArray Track(const QByteArray &events)
{
    return QByteArray("MTrk") + BigEndian(std::uint32_t(events.size()), 4) + events;
}

inline const QByteArray EndOfTrack = Bytes({0x00, 0xFF, 0x2F, 0x00});

// One quarter-note A at tick 0 and the end at tick 480.
inline QByteArray OneNote()
{
    return Bytes({0x00, 0x90, 0x45, 0x60, 0x83, 0x60, 0x80, 0x45, 0x00}) + EndOfTrack;
}

inline QByteArray Tempo(std::uint32_t micros)
{
    return Bytes({0xFF, 0x51, 0x03}) + BigEndian(micros, 3);
}

}  // namespace kiramoku::test
