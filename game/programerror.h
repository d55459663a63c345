#pragma once
// A program error: a fault of the program itself (an overflow, an index out of
// range, a failed conversion), never a game situation. It stops the game with
// a message naming what failed; see the window layer's guard for where it is
// caught, so that it never crosses the event loop.
#include <stdexcept>
#include <string>

namespace kiramoku {

class ProgramError : public std::runtime_error {
public:
    explicit ProgramError(const std::string &what)
        : std::runtime_error(what) {}
};

// The exit status of a game stopped by a program error.
inline constexpr int ProgramErrorExitStatus = 3;

}  // namespace kiramoku
