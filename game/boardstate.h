#pragma once
// Everything of the board window that the rules write: captions, the die
// timer, the stop button and the pieces. The window only draws this.
#include "checked.h"
#include "constants.h"
#include "players.h"

#include <QString>

namespace kiramoku {

// A piece's top-left corner in centimetres, stored in single precision as the
// board stores positions.
struct PiecePlace {
    float Left = 0;
    float Top = 0;
    friend bool operator==(const PiecePlace &, const PiecePlace &) = default;
};

struct BoardState {
    QString Label1;              // the turn announcement
    PerPlayer Label2{"Label2"};  // names
    PerPlayer Label3{"Label3"};  // purses in decimal
    PerPlayer Label5{"Label5"};  // last landing message
    QString Label6;              // the die: empty or "1".."6"
    int Timer1Interval = 0;      // 0 stopped, RollingInterval rolling
    bool Command2Enabled = false;
    CheckedArray<PiecePlace, MaxPlayers> Image4{"Image4"};

    // The latest landing, for the window to tell a screen reader: Count goes
    // up with every landing, so two landings alike are still two; Player
    // (1..4) landed on Square (0..24), where its square event took place.
    struct Landing {
        int Count = 0;
        int Player = 0;
        int Square = 0;
    };
    Landing LastLanding;
    int Turns = 0;  // turn announcements made; Label1 alone may repeat a name

    BoardState()
    {
        // Where the pieces stand when the board is created: clustered on the
        // start square, overlapping one another (twips, players 1..4).
        constexpr int StartTwips[MaxPlayers][2] = {{480, 480}, {600, 360}, {360, 360}, {600, 600}};
        for (int i = 0; i < MaxPlayers; ++i)
            Image4[i] = {static_cast<float>(StartTwips[i][0] / TwipsPerCm), static_cast<float>(StartTwips[i][1] / TwipsPerCm)};
    }
};

}  // namespace kiramoku
