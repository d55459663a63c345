#pragma once
// Whether the player wants the background music, kept between runs in the
// game's settings (~/.config/kiramoku/kiramoku.conf): players at work or in
// a shared room turn it off once, with `kiramoku --no-music` or the M key on
// the board, and the game stays quiet from then on.
namespace kiramoku {

bool MusicWanted();
void RememberMusicWanted(bool on);

// At start-up, with whether "--no-music" was on the command line: given, it
// turns the music off and remembers that; not given, the kept choice stands.
void ApplyMusicOption(bool noMusicGiven);

} // namespace kiramoku
