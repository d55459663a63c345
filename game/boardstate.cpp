#include "boardstate.h"

#include <array>

namespace kiramoku {

namespace {
// Where the four pieces stand when the board is created: clustered on the
// start square, overlapping one another (twips, players 1..4).
constexpr std::array<std::array<int, 2>, MaxPlayers> PieceStartTwips = {{{480, 480}, {600, 360}, {360, 360}, {600, 600}}};
}  // namespace

BoardState::BoardState()
{
    for (int i = 0; i < MaxPlayers; ++i) {
        const auto &[left, top] = PieceStartTwips[static_cast<std::size_t>(i)];
        Image4[i] = {static_cast<float>(left / TwipsPerCm), static_cast<float>(top / TwipsPerCm)};
    }
}

}  // namespace kiramoku
