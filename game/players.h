#pragma once
// The players: their records, the default names of the four characters.
#include "checked.h"
#include "constants.h"

#include <QString>

#include <array>

namespace kiramoku {

struct PlayerRecord {
    QString Name;
    Int32 Money;     // ryō; may be negative
    Int16 Position;  // square 0..24 from which the next walk starts
};

// Player k is Players[k], k = 1..4; slot 0 exists and is never used.
using PlayerTable = CheckedArray<PlayerRecord, MaxPlayers + 1>;

// The characters' names for players 1..4: the names of players whose box was
// left empty and of every computer-driven player.
inline QString DefaultNames(Int16 player)
{
    static const std::array<const char *, MaxPlayers> names = {"備前屋の若旦那", "越後屋の若旦那", "錠前屋の若旦那", "旗本の三男坊"};
    return QString::fromUtf8(names[CheckedIndex("DefaultNames", player.value(), 1, MaxPlayers)]);
}

// Per-player display elements are numbered 0..3: player k is element k-1.
using PerPlayer = CheckedArray<QString, MaxPlayers>;

}  // namespace kiramoku
