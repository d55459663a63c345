#pragma once
// Keeping the synthesizer's and the sound system's chatter off the player's
// terminal.
#include <QLoggingCategory>

namespace kiramoku {

// The music's log category. Its debug lines (everything FluidSynth and ALSA
// say) are off unless asked for: QT_LOGGING_RULES="kiramoku.music.debug=true".
Q_DECLARE_LOGGING_CATEGORY(lcMusic)

// Sends FluidSynth's log and ALSA's error lines to lcMusic's debug level, for
// the whole process. Any thread, any number of times; the first call acts.
void RouteSoundLibraryLogs();

}  // namespace kiramoku
