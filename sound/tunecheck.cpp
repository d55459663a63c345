#include "tunecheck.h"

#include <algorithm>
#include <optional>

namespace kiramoku {

namespace {

// One chunk's bytes, read front to back; never reads outside them.
class ByteReader {
public:
    ByteReader(std::span<const std::uint8_t> bytes)
        : bytes_(bytes) {}

    std::size_t Left() const { return bytes_.size() - pos_; }
    bool AtEnd() const { return pos_ == bytes_.size(); }

    std::optional<std::uint8_t> Byte() { return AtEnd() ? std::nullopt : std::optional(bytes_[pos_++]); }
    std::optional<std::uint8_t> Peek() const { return AtEnd() ? std::nullopt : std::optional(bytes_[pos_]); }
    std::optional<std::uint32_t> BigEndian(int count)
    {
        if (Left() < static_cast<std::size_t>(count))
            return std::nullopt;
        std::uint32_t value = 0;
        for (int i = 0; i < count; ++i)
            value = (value << 8) | bytes_[pos_++];
        return value;
    }
    // A variable-length number: 7 bits a byte, at most 4 bytes, as the file
    // format allows and the synthesizer's reader expects.
    std::optional<std::uint32_t> VariableLength()
    {
        std::uint32_t value = 0;
        for (int i = 0; i < 4; ++i) {
            const auto byte = Byte();
            if (!byte)
                return std::nullopt;
            value = (value << 7) | (*byte & 0x7Fu);
            if ((*byte & 0x80u) == 0)
                return value;
        }
        return std::nullopt;
    }
    std::optional<std::span<const std::uint8_t>> Take(std::size_t count)
    {
        if (Left() < count)
            return std::nullopt;
        auto part = bytes_.subspan(pos_, count);
        pos_ += count;
        return part;
    }

private:
    std::span<const std::uint8_t> bytes_;
    std::size_t pos_ = 0;
};

// The meta events whose length the synthesizer insists on: end of track,
// tempo, SMPTE offset, time and key signature.
constexpr std::pair<int, std::uint32_t> MetaLengths[] = {{0x2F, 0}, {0x51, 3}, {0x54, 5}, {0x58, 4}, {0x59, 2}};

// Empty when the track is good, else what is wrong with it.
std::string ReadTrack(std::span<const std::uint8_t> chunk, int number, TuneCheck &check)
{
    const std::string where = "track " + std::to_string(number + 1) + ": ";
    ByteReader in(chunk);
    std::int64_t tick = 0;
    std::uint8_t running = 0;  // the last channel status, 0 when none may run on
    while (!in.AtEnd()) {
        const auto delta = in.VariableLength();
        if (!delta)
            return where + "a time step is cut off or longer than 4 bytes";
        tick += *delta;
        if (tick > MaxTuneTicks)
            return where + "runs on too far (past tick " + std::to_string(MaxTuneTicks) + ")";

        const auto first = in.Peek();
        if (!first)
            return where + "ends between a time step and its event";
        std::uint8_t status = *first;
        if (status < 0x80) {
            if (running == 0)
                return where + "data byte where an event should start";
            status = running;  // running status: the data starts here
        } else {
            in.Byte();
        }

        if (status < 0xF0) {
            running = status;
            const int count = (status & 0xE0) == 0xC0 ? 1 : 2;  // program and channel pressure: 1
            int velocity = -1;
            for (int i = 0; i < count; ++i) {
                const auto data = in.Byte();
                if (!data)
                    return where + "a channel event is cut off";
                if (*data >= 0x80)
                    return where + "a channel event's data byte is out of range";
                velocity = *data;
            }
            if ((status & 0xF0) == 0x90 && velocity > 0)
                ++check.notes;
        } else if (status == 0xFF) {
            running = 0;
            const auto type = in.Byte();
            if (!type || *type >= 0x80)
                return where + "a meta event has no valid type";
            const auto length = in.VariableLength();
            if (!length)
                return where + "a meta event's length is cut off";
            const auto data = in.Take(*length);
            if (!data)
                return where + "a meta event runs past the end of its track";
            if (std::any_of(std::begin(MetaLengths), std::end(MetaLengths), [&](auto meta) { return meta.first == *type && meta.second != *length; }))
                return where + "a meta event has the wrong length";
            if (*type == 0x51) {
                const std::uint32_t micros = (std::uint32_t{(*data)[0]} << 16)
                                             | (std::uint32_t{(*data)[1]} << 8) | (*data)[2];
                if (micros == 0)
                    return where + "a tempo of 0";
                if (std::int64_t{1000} * check.division > MaxTuneTicksPerMs * micros)
                    return where + "a tempo too fast (over " + std::to_string(MaxTuneTicksPerMs) + " ticks a millisecond)";
                check.tempos.push_back({tick, micros});
            }
            if (*type == 0x2F) {
                check.endTick = std::max(check.endTick, tick);
                return {};  // whatever follows in the chunk is never read
            }
        } else if (status == 0xF0) {
            running = 0;
            const auto length = in.VariableLength();
            if (!length)
                return where + "a system-exclusive length is cut off";
            if (!in.Take(*length))
                return where + "a system-exclusive message runs past the end of its track";
        } else {
            return where + "a system message that has no place in a file";
        }
    }
    return where + "no end-of-track event";
}

}  // namespace

double TuneCheck::MillisecondsAt(std::int64_t tick) const
{
    if (division <= 0)
        return 0.0;
    double ms = 0.0;
    std::int64_t from = 0;
    std::uint32_t micros = 500000;  // the file format's tempo until one is given
    for (const TempoChange &change : tempos) {
        if (change.tick >= tick)
            break;
        ms += static_cast<double>(change.tick - from) * micros / division / 1000.0;
        from = change.tick;
        micros = change.microsPerQuarter;
    }
    return ms + static_cast<double>(tick - from) * micros / division / 1000.0;
}

std::int64_t TuneCheck::TickAt(double ms) const
{
    if (division <= 0 || ms <= 0.0)
        return 0;
    double elapsed = 0.0;
    std::int64_t from = 0;
    std::uint32_t micros = 500000;
    for (const TempoChange &change : tempos) {
        const double segment = static_cast<double>(change.tick - from) * micros / division / 1000.0;
        if (elapsed + segment > ms)
            break;
        elapsed += segment;
        from = change.tick;
        micros = change.microsPerQuarter;
    }
    const double ticks = (ms - elapsed) * 1000.0 * division / micros;
    const auto tick = from + static_cast<std::int64_t>(ticks + 0.5);
    return std::min(tick, endTick);
}

TuneCheck CheckTune(std::span<const std::uint8_t> bytes)
{
    TuneCheck check;
    auto refuse = [&check](std::string reason) {
        check.reason = std::move(reason);
        check.tempos.clear();
        return check;
    };
    if (bytes.size() > MaxTuneBytes)
        return refuse("larger than " + std::to_string(MaxTuneBytes) + " bytes");

    ByteReader in(bytes);
    const auto magic = in.Take(4);
    if (!magic || !std::equal(magic->begin(), magic->end(), "MThd"))
        return refuse("not a MIDI file (no MThd header)");
    const auto headerLength = in.BigEndian(4);
    const auto format = in.BigEndian(2);
    const auto tracks = in.BigEndian(2);
    const auto division = in.BigEndian(2);
    if (!division)
        return refuse("the header is cut off");
    if (*headerLength != 6)
        return refuse("the header has the wrong length");
    if (*format > 1)
        return refuse("format " + std::to_string(*format) + " (only 0 and 1 are played)");
    if (*tracks == 0 || *tracks > static_cast<std::uint32_t>(MaxTuneTracks))
        return refuse(std::to_string(*tracks) + " tracks (1 to " + std::to_string(MaxTuneTracks)
                      + " are played)");
    if (*format == 0 && *tracks != 1)
        return refuse("format 0 with more than one track");
    if (*division & 0x8000u)
        return refuse("SMPTE timing");
    if (*division == 0)
        return refuse("a division of 0 ticks per quarter note");
    check.format = static_cast<int>(*format);
    check.division = static_cast<int>(*division);

    // Tracks in file order; chunks of other kinds are skipped, as the format
    // asks of every reader. Bytes after the last track are never read.
    while (check.tracks < static_cast<int>(*tracks)) {
        const auto id = in.Take(4);
        const auto length = in.BigEndian(4);
        if (!length)
            return refuse("ends before track " + std::to_string(check.tracks + 1) + " of "
                          + std::to_string(*tracks));
        const auto body = in.Take(*length);
        if (!body)
            return refuse("a chunk runs past the end of the file");
        if (std::equal(id->begin(), id->end(), "MTrk")) {
            if (const std::string error = ReadTrack(*body, check.tracks, check); !error.empty())
                return refuse(error);
            ++check.tracks;
        } else if (!std::all_of(id->begin(), id->end(), [](std::uint8_t c) { return c >= 0x20 && c <= 0x7E; })) {
            return refuse("a chunk with an unreadable name");
        }
    }

    // Tempo changes in tick order; at one tick the later track's change wins,
    // as it does when the player sends the tracks' events in turn.
    std::stable_sort(check.tempos.begin(), check.tempos.end(),
                     [](const TempoChange &a, const TempoChange &b) { return a.tick < b.tick; });
    std::vector<TempoChange> tempos;
    for (const TempoChange &change : check.tempos) {
        if (!tempos.empty() && tempos.back().tick == change.tick)
            tempos.back() = change;
        else
            tempos.push_back(change);
    }
    check.tempos = std::move(tempos);
    check.accepted = true;
    return check;
}

}  // namespace kiramoku
