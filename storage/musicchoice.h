#pragma once
// Whether the player wants the background music, kept between runs in the game's settings
// (~/.config/kiramoku/kiramoku.conf): players at work or in a shared room turn it off once, with `kiramoku --no-music`
// or the M key on the board, and the game stays quiet from then on.
#include <chrono>

namespace kiramoku {

bool MusicWanted();
// Holds for this run at once; the file is written by a worker of its own, so the key press never waits on the disk or
// on what the folder holds.
void RememberMusicWanted(bool on);

// At start-up, with whether "--no-music" was on the command line: given, it turns the music off and remembers that; not
// given, the kept choice stands.
void ApplyMusicOption(bool noMusicGiven);

// True once the choices made so far are written (or failed to be), waiting at most `wait`.
bool MusicChoiceSettled(std::chrono::milliseconds wait);

}  // namespace kiramoku
