#pragma once
// The two command sequences the board sends its music control (board.cpp).
#include "ports.h"

namespace kiramoku {

// At the board's load: the settings, then "Open", the position 0, "Play".
void StartMusic(MusicControl &music, const QString &tuneFile);
// On every status tick: "close", "open", "play", so the tune starts again
// from its beginning whether it was playing, paused or finished.
void RestartMusic(MusicControl &music);

}  // namespace kiramoku
