#include "module1.h"

#include "constants.h"

#include <chrono>
#include <cmath>

namespace kiramoku {

Int16 Module1::RollDie()
{
    const double r = chance_.Next();
    const double face = std::floor(r * DieFaces + 1);
    if (!(face >= 1 && face <= DieFaces)) {
        throw ProgramError("die value out of range: chance gave " + std::to_string(r)
                           + ", expected 0 <= r < 1");
    }
    return static_cast<long long>(face);
}

double ClockChance::Next()
{
    const auto now = std::chrono::steady_clock::now().time_since_epoch().count();
    state_ += static_cast<std::uint64_t>(now) + 0x9E3779B97F4A7C15ULL;
    // splitmix64: a well-mixed 64-bit value from the stirred state
    std::uint64_t z = state_;
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ULL;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBULL;
    z ^= z >> 31;
    return static_cast<double>(z >> 11) * 0x1.0p-53;
}

}  // namespace kiramoku
