#include "players.h"

#include <array>

namespace kiramoku {

QString DefaultNames(Int16 player)
{
    static const std::array<const char *, MaxPlayers + 1> names = {
        "", "備前屋の若旦那", "越後屋の若旦那", "錠前屋の若旦那", "旗本の三男坊"};
    if (player < 1 || player > MaxPlayers) {
        throw ProgramError("index out of range: DefaultNames(" + std::to_string(player.value())
                           + "), valid 1 to 4");
    }
    return QString::fromUtf8(names[static_cast<std::size_t>(player.value())]);
}

}  // namespace kiramoku
