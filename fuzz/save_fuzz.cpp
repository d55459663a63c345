// The saved-game fuzzer. Each input is what the player's folder might hold in
// place of the kept game, read the way the game reads it at start. Whatever
// the reader answers must make sense: a refusal says why, and a game it
// accepts lies within the rules' limits and is written and read back as the
// very same game, so that keeping it again never loses or changes a thing.
//
// A finding is an abort (a sanitizer report, an answer that makes no sense,
// a game that changes on its way through the file) and libFuzzer saves the input.
#include "players.h"
#include "savedgame.h"

#include <QByteArray>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

using namespace kiramoku;

namespace {

[[noreturn]] void Fail(const char *what)
{
    std::fprintf(stderr, "kiramoku_save_fuzz: %s\n", what);
    std::fflush(stderr);
    std::abort();
}

void Expect(bool holds, const char *what)
{
    if (!holds)
        Fail(what);
}

void CheckPlayer(const SavedPlayer &player, int k, int humans)
{
    Expect(!player.name.isEmpty(), "an accepted player without a name");
    Expect(k <= humans || player.name == DefaultNames(k), "an accepted computer player with another name");
    Expect(player.from >= 0 && player.from < SquareCount, "an accepted walk that starts off the ring");
    Expect(player.piece == PieceInCluster || player.piece == PieceInRow
               || (player.piece >= 0 && player.piece < SquareCount),
           "an accepted piece that stands nowhere");
    Expect(player.landed == NoLanding || (player.landed >= 0 && player.landed < SquareCount),
           "an accepted landing off the ring");
}

// An accepted game is one the board can be put back to: a person's turn, a
// face of the die, four players, winners who are among them.
void CheckGame(const SavedGame &game)
{
    Expect(game.humans >= 1 && game.humans <= MaxPlayers, "an accepted number of people out of range");
    Expect(game.current >= 1 && game.current <= game.humans, "an accepted turn that is not a person's");
    Expect(game.die >= 0 && game.die <= DieFaces, "an accepted die face out of range");
    for (int k = 1; k <= MaxPlayers; ++k)
        CheckPlayer(game.players[std::size_t(k - 1)], k, game.humans);
    for (int winner : game.winners)
        Expect(winner >= 1 && winner <= MaxPlayers, "an accepted winner who is none of the players");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char *>(data), qsizetype(size));
    const SavedGameReading reading = ReadSavedGame(bytes);
    if (reading.status != SavedGameReading::Good) {
        Expect(!reading.why.isEmpty(), "a refusal without a reason");
        Expect(reading.game == SavedGame{}, "a refusal that keeps part of a game");
        return 0;
    }
    Expect(reading.why.isEmpty(), "an acceptance with a reason for refusal");
    CheckGame(reading.game);
    const SavedGameReading again = ReadSavedGame(WriteSavedGame(reading.game));
    Expect(again.status == SavedGameReading::Good, "a game written back is not read as good");
    Expect(again.game == reading.game, "a game written back and read again is another game");
    return 0;
}
