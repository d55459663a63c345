// What the command line asks of the game, read before any window system is
// touched, so that --help and --version work without a desktop.
#pragma once

#include <optional>

namespace kiramoku {

struct CommandLine {
    // Start with the background music off (the board's M key turns it on).
    bool noMusic = false;
    // Start with the selection window, without offering the kept game back.
    bool newGame = false;
    // Qt was told which window system to use (-platform), or which display.
    bool platformChosen = false;
    bool displayNamed = false;
    // Set when the program ends right here: 0 after --help or --version,
    // 2 after an unknown option or an argument the game does not take.
    std::optional<int> exitStatus;
};

// Reads argv; prints the help, the version or the usage error itself.
CommandLine ReadCommandLine(int argc, char *argv[]);

}  // namespace kiramoku
