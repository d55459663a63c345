// Writes the tune fuzzer's seeds: small MIDI files, each showing the fuzzer
// one thing a tune file can hold (or get wrong), so it starts near every
// branch of the tune check instead of having to find "MThd" by chance.
//
//   kiramoku_fuzz_seedgen <folder>
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <initializer_list>
#include <string>
#include <vector>

namespace {

using Bytes = std::vector<std::uint8_t>;

Bytes operator+(Bytes a, const Bytes &b)
{
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

Bytes Of(std::initializer_list<int> values)
{
    Bytes out;
    for (int v : values)
        out.push_back(static_cast<std::uint8_t>(v));
    return out;
}

Bytes Text(const std::string &text)
{
    return Bytes(text.begin(), text.end());
}

Bytes BigEndian(std::uint32_t value, int count)
{
    Bytes out;
    for (int i = count - 1; i >= 0; --i)
        out.push_back(static_cast<std::uint8_t>((value >> (8 * i)) & 0xFF));
    return out;
}

Bytes Header(int format, int tracks, int division)
{
    return Text("MThd") + BigEndian(6, 4) + BigEndian(std::uint32_t(format), 2) + BigEndian(std::uint32_t(tracks), 2)
           + BigEndian(std::uint32_t(division), 2);
}

Bytes Chunk(const std::string &id, const Bytes &body)
{
    return Text(id) + BigEndian(std::uint32_t(body.size()), 4) + body;
}

Bytes Track(const Bytes &events)
{
    return Chunk("MTrk", events);
}

const Bytes EndOfTrack = Of({0x00, 0xFF, 0x2F, 0x00});

// A quarter-note A at tick 0 and the end at tick 480.
Bytes OneNote()
{
    return Of({0x00, 0x90, 0x45, 0x60, 0x83, 0x60, 0x80, 0x45, 0x00}) + EndOfTrack;
}

Bytes Tempo(std::uint32_t micros)
{
    return Of({0xFF, 0x51, 0x03}) + BigEndian(micros, 3);
}

bool Write(const std::string &folder, const std::string &name, const Bytes &bytes)
{
    std::ofstream out(folder + "/" + name, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char *>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    return static_cast<bool>(out);
}

} // namespace

int main(int argc, char **argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s <folder>\n", argv[0]);
        return 2;
    }
    const std::string folder = argv[1];
    struct Seed {
        const char *name;
        Bytes bytes;
    };
    const std::vector<Seed> seeds = {
        // Tunes the check accepts.
        {"one-note.mid", Header(0, 1, 480) + Track(OneNote())},
        {"two-tracks-tempo.mid",
         Header(1, 2, 96) + Track(Of({0x00}) + Tempo(400000) + Of({0x60}) + Tempo(250000) + EndOfTrack)
             + Track(Of({0x00, 0xC0, 0x49, 0x00, 0x91, 0x3C, 0x50, 0x30, 0x3E, 0x50, 0x30, 0x81, 0x3C, 0x00,
                         0x00, 0x3E, 0x00})
                     + EndOfTrack)},
        {"running-status.mid",
         Header(0, 1, 120)
             + Track(Of({0x00, 0x90, 0x40, 0x64, 0x10, 0x43, 0x64, 0x10, 0x47, 0x64, 0x40, 0x40, 0x00, 0x00, 0x43,
                         0x00, 0x00, 0x47, 0x00})
                     + EndOfTrack)},
        {"controllers.mid",
         Header(0, 1, 480)
             + Track(Of({0x00, 0xB0, 0x07, 0x64, 0x00, 0xB0, 0x0A, 0x20, 0x00, 0xE0, 0x00, 0x40, 0x00, 0xD0, 0x30,
                         0x00, 0xA0, 0x45, 0x10})
                     + OneNote())},
        {"meta-and-sysex.mid",
         Header(0, 1, 480)
             + Track(Of({0x00, 0xFF, 0x03, 0x04}) + Text("kira") + Of({0x00, 0xFF, 0x58, 0x04, 0x04, 0x02, 0x18, 0x08})
                     + Of({0x00, 0xFF, 0x59, 0x02, 0x00, 0x00}) + Of({0x00, 0xF0, 0x05, 0x7E, 0x7F, 0x09, 0x01, 0xF7})
                     + OneNote())},
        {"unknown-chunk.mid", Header(0, 1, 480) + Chunk("XFIH", Text("extra")) + Track(OneNote())},
        {"drums-sixteen-tracks.mid",
         [] {
             Bytes file = Header(1, 16, 240);
             for (int t = 0; t < 16; ++t)
                 file = file + Track(Of({0x00, 0x90 | t, 0x24 + t, 0x70, 0x78, 0x80 | t, 0x24 + t, 0x00}) + EndOfTrack);
             return file;
         }()},
        {"late-note.mid",
         Header(0, 1, 1) + Track(Of({0x8F, 0xFF, 0xFF, 0x7F, 0x90, 0x45, 0x60, 0x01, 0x80, 0x45, 0x00}) + EndOfTrack)},
        // As fast as the check lets a tune run: 32767 ticks a millisecond.
        {"fast-tempo.mid", Header(0, 1, 32767) + Track(Of({0x00}) + Tempo(1000) + OneNote())},
        {"trailing-bytes.mid", Header(0, 1, 480) + Track(OneNote() + Of({0x00, 0x90, 0x45})) + Text("junk")},
        // Files the check refuses, each for one reason.
        {"empty.mid", {}},
        {"header-cut.mid", Text("MThd") + BigEndian(6, 4) + Of({0x00, 0x00})},
        {"division-zero.mid", Header(0, 1, 0) + Track(OneNote())},
        {"smpte.mid", Header(0, 1, 0xE728) + Track(OneNote())},
        {"format-two.mid", Header(2, 1, 480) + Track(OneNote())},
        {"no-tracks.mid", Header(1, 0, 480)},
        {"tempo-zero.mid", Header(0, 1, 480) + Track(Of({0x00}) + Tempo(0) + OneNote())},
        {"tempo-too-fast.mid", Header(0, 1, 32767) + Track(Of({0x00}) + Tempo(999) + OneNote())},
        {"no-end.mid", Header(0, 1, 480) + Track(Of({0x00, 0x90, 0x45, 0x60, 0x83, 0x60, 0x80, 0x45, 0x00}))},
        {"track-too-long.mid", Header(0, 1, 480) + Text("MTrk") + BigEndian(4000, 4) + OneNote()},
        {"orphan-data.mid", Header(0, 1, 480) + Track(Of({0x00, 0x45, 0x60}) + EndOfTrack)},
        {"realtime-byte.mid", Header(0, 1, 480) + Track(Of({0x00, 0xF8}) + EndOfTrack)},
        {"long-delta.mid", Header(0, 1, 480) + Track(Of({0x80, 0x80, 0x80, 0x80, 0x00}) + EndOfTrack)},
    };
    for (const Seed &seed : seeds) {
        if (!Write(folder, seed.name, seed.bytes)) {
            std::fprintf(stderr, "kiramoku_fuzz_seedgen: cannot write %s/%s\n", folder.c_str(), seed.name);
            return 1;
        }
    }
    return 0;
}
