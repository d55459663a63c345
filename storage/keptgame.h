#pragma once
// The game in progress, kept in the player's data folder (~/.local/share/kiramoku/saved-game.json) each time a person
// is about to roll, offered back at the next start, and forgotten only when the players end the game on purpose.
#include "keptfile.h"
#include "report.h"
#include "savedgame.h"

#include <chrono>
#include <optional>

namespace kiramoku {

class KeptGame {
public:
    KeptGame();

    // The kept game, when there is a good one. A damaged file is set aside and one line says so, once it is done; a
    // file of a later version, or a damaged one that cannot be set aside, is left alone, and then nothing of this run
    // is kept over it.
    std::optional<SavedGame> Offer();
    // Keeps `game` unless it is the one kept last (`always` keeps it anyway).
    void Keep(const SavedGame &game, bool always = false);
    void Forget();
    // Waits at most `wait` for the file to be written.
    bool Settle(std::chrono::milliseconds wait) { return file_.Settle(wait); }

private:
    FileKeeper file_;
    std::optional<SavedGame> last_;
    bool keeping_ = true;
    OnceALine tooLarge_;
};

}  // namespace kiramoku
