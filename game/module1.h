#pragma once
// Process-wide game data and the two small operations every turn leans on:
// the die and the pause.
#include "checked.h"
#include "ports.h"

#include <QList>
#include <QString>

#include <cstdint>

namespace kiramoku {

class Module1 {
public:
    Module1(ChanceSource &chance, TurnEffects &effects)
        : chance_(chance), effects_(effects) {}

    Int16 WinnerFlag = 0;  // 1 once a round has ended with a winner, until a restart
    QString WinnerText;    // "おめでとう。" + name + "さん" + CR LF per winner
    QList<int> Winners;    // the players (1..4) the winner text congratulates, in its order

    // A die value 1..6.
    Int16 RollDie();
    // A pause of `units` fixed units (see DelayUnit); it is handed to the
    // board window, which shows the board as it stands for that long.
    void Delay(int units) { effects_.Delay(units); }
    void Beep() { effects_.Beep(); }

private:
    ChanceSource &chance_;
    TurnEffects &effects_;
};

// The game's own chance: every draw stirs the clock into the state, so no
// separate seeding is needed, and draws within one clock reading still differ.
class ClockChance : public ChanceSource {
public:
    double Next() override;

private:
    std::uint64_t state_ = 0x9E3779B97F4A7C15ULL;
};

}  // namespace kiramoku
