#pragma once
// The fixed numbers of the game.
#include <chrono>

namespace kiramoku {

inline constexpr int MaxPlayers = 4;       // always four pieces race
inline constexpr int StartMoney = 1000;    // ryō in every purse at start and restart
inline constexpr int SquareCount = 25;     // squares 0..24 on a closed ring
inline constexpr int WinningMoney = 2500;  // ryō that win at the end of a round
inline constexpr int DieFaces = 6;
inline constexpr double PieceInset = 0.4;    // cm from a square's top-left corner
inline constexpr double PieceStagger = 0.1;  // cm further per player number above 1
inline constexpr int StepPause = 28;         // pause units after each placement of a walking piece

// One pause unit: a walking step of StepPause units lasts about 0.28 s.
inline constexpr std::chrono::milliseconds DelayUnit{10};

// The board's coordinate unit is the centimetre; layouts are in twips.
inline constexpr double TwipsPerCm = 1440.0 / 2.54;
inline constexpr int TwipsPerPixel = 15;

// Timer1's interval while the die rolls, in milliseconds; 0 stops it.
inline constexpr int RollingInterval = 1;

}  // namespace kiramoku
