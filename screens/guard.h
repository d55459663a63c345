#pragma once
// Runs a handler of the rules; a program error stops the game with a message naming what failed, and never crosses the
// event loop.
#include "programerror.h"

#include <utility>

namespace kiramoku::screens {

[[noreturn]] void StopOnProgramError(const char *what);

template <typename F>
void Guard(F &&handler)
{
    try {
        std::forward<F>(handler)();
    } catch (const ProgramError &error) {
        StopOnProgramError(error.what());
    }
}

}  // namespace kiramoku::screens
