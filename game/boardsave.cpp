// The board kept between runs: what it holds while a person is about to
// roll, and the board put back exactly so.
#include "board.h"

#include "musicsequence.h"
#include "squares.h"

namespace kiramoku {

bool BoardRules::AwaitingRoll() const
{
    return state_.Timer1Interval == 0 && CurrentPlayer <= HumanPlayers;
}

PiecePlace BoardRules::PlaceFor(Int16 player, int piece) const
{
    if (piece == PieceInCluster)
        return BoardState().Image4[player.value() - 1];
    if (piece == PieceInRow)
        return PlaceInRow(player);
    return PlaceOnSquare(player, piece);
}

int BoardRules::PieceStand(Int16 player) const
{
    // A square first: player 1's place in the restart's row is also its place on square 0.
    const PiecePlace shown = state_.Image4[player.value() - 1];
    for (int piece = 0; piece < SquareCount; ++piece)
        if (PlaceFor(player, piece) == shown)
            return piece;
    for (int piece : {PieceInRow, PieceInCluster})
        if (PlaceFor(player, piece) == shown)
            return piece;
    throw ProgramError("piece " + std::to_string(player.value()) + " stands where no square or start place puts it");
}

int BoardRules::LineShown(Int16 player) const
{
    const QString &line = state_.Label5[player.value() - 1];
    if (line.isEmpty())
        return NoLanding;
    for (int square = 0; square < SquareCount; ++square)
        if (SquareMessage(square, player) == line)
            return square;
    throw ProgramError("panel " + std::to_string(player.value()) + " shows a line of no square");
}

SavedGame BoardRules::Snapshot() const
{
    SavedGame game;
    game.humans = HumanPlayers.value();
    game.current = CurrentPlayer.value();
    game.die = state_.Label6.toInt();  // empty before the first roll: 0
    for (Int16 k = 1; k <= MaxPlayers; k += 1) {
        const PlayerRecord &record = Players[k];
        // The piece and the line are kept as what put them there, a place
        // and a square, so that a file never brings a point or a text of its own.
        game.players[size_t(k.value() - 1)] = {record.Name, record.Money.value(), record.Position.value(),
                                               PieceStand(k), LineShown(k)};
    }
    game.winners = module_.Winners;
    return game;
}

void BoardRules::Resume(const SavedGame &game)
{
    StartMusic(ports_.music, tuneFile_);
    HumanPlayers = game.humans;
    CurrentPlayer = game.current;
    for (Int16 k = 1; k <= MaxPlayers; k += 1) {
        const SavedPlayer &kept = game.players[size_t(k.value() - 1)];
        Players[k] = {kept.name, kept.purse, kept.from};
        state_.Label2[k.value() - 1] = kept.name;
        ShowPurse(k);
        state_.Label5[k.value() - 1] = kept.landed == NoLanding ? QString() : SquareMessage(kept.landed, k);
        state_.Image4[k.value() - 1] = PlaceFor(k, kept.piece);
    }
    state_.Label6 = game.die == 0 ? QString() : QString::number(game.die);
    module_.WinnerText.clear();
    for (int winner : game.winners)
        module_.WinnerText += Congratulation(Players[winner].Name);
    module_.Winners = game.winners;
    module_.WinnerFlag = game.winners.isEmpty() ? 0 : 1;
    AnnounceTurn();
    if (module_.WinnerFlag == 1)
        ports_.windows.ShowWinnerWindow();
}

}  // namespace kiramoku
