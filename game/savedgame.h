#pragma once
// A game in progress as it is kept between runs: everything the board shows
// and the rules hold while a person is about to roll.
#include "constants.h"

#include <QByteArray>
#include <QList>
#include <QString>

#include <array>

namespace kiramoku {

// Where a piece stands: on a square of the ring, or in one of the two
// arrangements on the start square (the new board's cluster, a restart's row).
inline constexpr int PieceInCluster = -2;
inline constexpr int PieceInRow = -1;
// A player who has not landed yet shows no line.
inline constexpr int NoLanding = -1;

struct SavedPlayer {
    QString name;
    qint32 purse = StartMoney;
    int from = 0;                // the square the next walk starts from
    int piece = PieceInCluster;  // where the piece stands
    int landed = NoLanding;      // the square whose line the panel shows
    friend bool operator==(const SavedPlayer &, const SavedPlayer &) = default;
};

struct SavedGame {
    int humans = 1;                               // players 1..humans are people
    int current = 1;                              // whose roll it is
    int die = 0;                                  // the face the die shows, 0 for none yet
    std::array<SavedPlayer, MaxPlayers> players;  // player k is players[k - 1]
    QList<int> winners;                           // the players congratulated since the last restart, in order
    friend bool operator==(const SavedGame &, const SavedGame &) = default;
};

// The largest saved game read back: a few kB hold four long names and the
// winners of many rounds.
inline constexpr qint64 MaxSavedGameBytes = 16384;

QByteArray WriteSavedGame(const SavedGame &game);

struct SavedGameReading {
    enum Status { Good,
                  Damaged,
                  Newer };
    Status status = Damaged;
    SavedGame game;  // when Good
    QString why;     // when Damaged: the first thing found wrong
};

// Checks every value against the rules' own limits; a file of a later
// format is told apart from a damaged one.
SavedGameReading ReadSavedGame(const QByteArray &bytes);

}  // namespace kiramoku
