#pragma once
// Keeping the synthesizer's and the sound system's chatter off the player's
// terminal, and saying at most once per run why there is no music.
#include <QLoggingCategory>

#include <string>

namespace kiramoku {

// The music's log category. Its debug lines (everything FluidSynth and ALSA
// say) are off unless asked for: QT_LOGGING_RULES="kiramoku.music.debug=true".
Q_DECLARE_LOGGING_CATEGORY(lcMusic)

// Sends FluidSynth's log and ALSA's error lines to lcMusic's debug level, for
// the whole process. Any thread, any number of times; the first call acts.
void RouteSoundLibraryLogs();

// No sound output answers yet, and the music starts when one does: the
// first call in a run writes "kiramoku: the music waits for a sound server:
// <cause>" to stderr, later calls are silent; ReportNoMusic's line is kept
// for a failure for good. Any thread.
void ReportMusicWaits(const std::string &cause);

// The game goes on without music; the first call in a run writes one line
// "kiramoku: no music: <cause>" to stderr, later calls are silent. Any thread.
void ReportNoMusic(const std::string &cause);

}  // namespace kiramoku
