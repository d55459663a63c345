// Writes the fuzzers' seeds: small MIDI files for the tune fuzzer, each
// showing one thing a tune file can hold (or get wrong), so it starts near
// every branch of the tune check instead of having to find "MThd" by chance;
// and saved games for the saved-game fuzzer, written by the game's own writer,
// then the same games with one thing wrong each.
//
//   kiramoku_fuzz_seedgen <folder>
#include "players.h"
#include "savedgame.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <array>
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <initializer_list>
#include <limits>
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

using kiramoku::SavedGame;
using kiramoku::SavedGameReading;

struct SaveSeed {
    const char *name;
    QByteArray bytes;
    SavedGameReading::Status reads;  // what the reader must make of it
};

SavedGame FreshGame(int humans)
{
    SavedGame game;
    game.humans = humans;
    for (int k = 1; k <= kiramoku::MaxPlayers; ++k)
        game.players[std::size_t(k - 1)].name = kiramoku::DefaultNames(k);
    return game;
}

// Four people late in an evening: names a JSON writer must escape, every kind
// of place a piece can stand, walks that start elsewhere than the piece stands
// (a square that sends the player on), purses at both ends, winners.
SavedGame FourPeopleGame()
{
    SavedGame game = FreshGame(4);
    game.current = 3;
    game.die = 5;
    const QStringList names = {QString::fromUtf8("<b>お春</b> & \"弥七\""), QStringLiteral("back\\slash\ttab\r\n"),
                               QString::fromUtf8("😀 絵文字 \u3000{}[]:,"), QStringLiteral("\u0000")};
    const std::array<int, kiramoku::MaxPlayers> pieces = {kiramoku::PieceInRow, 7, 24, kiramoku::PieceInCluster};
    const std::array<int, kiramoku::MaxPlayers> from = {0, 12, 24, 0};
    const std::array<int, kiramoku::MaxPlayers> landed = {kiramoku::NoLanding, 7, 24, kiramoku::NoLanding};
    // The ends a purse is kept at: the dearest square (-700) and the richest
    // (+1000) can still be added in 32 bits.
    constexpr qint32 deepestDebt = std::numeric_limits<qint32>::min() + 700;
    constexpr qint32 largestPurse = std::numeric_limits<qint32>::max() - 1000;
    const std::array<qint32, kiramoku::MaxPlayers> purses = {deepestDebt, 2600, largestPurse, 1000};
    for (std::size_t i = 0; i < kiramoku::MaxPlayers; ++i)
        game.players[i] = {names[qsizetype(i)], purses[i], from[i], pieces[i], landed[i]};
    game.winners = {2, 3, 2};
    return game;
}

SavedGame ManyWinnersGame()
{
    constexpr int Winners = 40;
    SavedGame game = FreshGame(2);
    game.current = 2;
    game.die = 6;
    for (int round = 0; round < Winners; ++round)
        game.winners << round % kiramoku::MaxPlayers + 1;
    return game;
}

QByteArray Edited(const SavedGame &game, const char *key, const QJsonValue &value)
{
    QJsonObject root = QJsonDocument::fromJson(kiramoku::WriteSavedGame(game)).object();
    root[QLatin1String(key)] = value;
    return QJsonDocument(root).toJson();
}

QByteArray EditedPlayer(const SavedGame &game, int k, const char *key, const QJsonValue &value)
{
    QJsonObject root = QJsonDocument::fromJson(kiramoku::WriteSavedGame(game)).object();
    QJsonArray players = root[QLatin1String("players")].toArray();
    QJsonObject player = players[k - 1].toObject();
    player[QLatin1String(key)] = value;
    players[k - 1] = player;
    root[QLatin1String("players")] = players;
    return QJsonDocument(root).toJson();
}

std::vector<SaveSeed> SaveSeeds()
{
    using kiramoku::WriteSavedGame;
    constexpr auto Good = SavedGameReading::Good, Damaged = SavedGameReading::Damaged;
    const SavedGame fresh = FreshGame(1), four = FourPeopleGame(), many = ManyWinnersGame();
    const QByteArray fourBytes = WriteSavedGame(four);
    QJsonArray threePlayers = QJsonDocument::fromJson(fourBytes).object()[QLatin1String("players")].toArray();
    threePlayers.removeLast();
    return {
        // Games the reader takes.
        {"fresh-one-person.json", WriteSavedGame(fresh), Good},
        {"four-people.json", fourBytes, Good},
        {"many-winners.json", WriteSavedGame(many), Good},
        {"compact.json", QJsonDocument::fromJson(fourBytes).toJson(QJsonDocument::Compact), Good},
        // Files the reader refuses, each for one reason.
        {"empty.json", {}, Damaged},
        {"truncated.json", fourBytes.left(fourBytes.size() / 2), Damaged},
        {"a-list.json", "[1, 2, 3]", Damaged},
        {"format-two.json", Edited(fresh, "format", 2), SavedGameReading::Newer},
        {"format-text.json", Edited(fresh, "format", QStringLiteral("1")), Damaged},
        {"people-five.json", Edited(four, "people", 5), Damaged},
        {"computer-turn.json", Edited(many, "turn", 3), Damaged},
        {"die-fraction.json", Edited(fresh, "die", 2.5), Damaged},
        {"three-players.json", Edited(four, "players", threePlayers), Damaged},
        {"winner-unknown.json", Edited(many, "winners", QJsonArray{5}), Damaged},
        {"purse-beyond-32-bit.json", EditedPlayer(four, 2, "purse", qint64{1} << 32), Damaged},
        {"wrong-computer-name.json", EditedPlayer(fresh, 3, "name", QString::fromUtf8("錠前屋")), Damaged},
        {"empty-name.json", EditedPlayer(four, 1, "name", QString()), Damaged},
        {"piece-off-ring.json", EditedPlayer(four, 2, "piece", kiramoku::SquareCount), Damaged},
        {"piece-unknown.json", EditedPlayer(four, 4, "piece", QStringLiteral("circle")), Damaged},
        {"landed-none.json", EditedPlayer(four, 3, "landed", kiramoku::NoLanding), Damaged},
    };
}

// Writes the saved-game seeds, each first read back as it must be.
bool WriteSaveSeeds(const std::string &folder)
{
    for (const SaveSeed &seed : SaveSeeds()) {
        if (kiramoku::ReadSavedGame(seed.bytes).status != seed.reads) {
            std::fprintf(stderr, "kiramoku_fuzz_seedgen: %s is not read as it should be\n", seed.name);
            return false;
        }
        if (!Write(folder, seed.name, Bytes(seed.bytes.begin(), seed.bytes.end()))) {
            std::fprintf(stderr, "kiramoku_fuzz_seedgen: cannot write %s/%s\n", folder.c_str(), seed.name);
            return false;
        }
    }
    return true;
}

}  // namespace

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
    return WriteSaveSeeds(folder) ? 0 : 1;
}
