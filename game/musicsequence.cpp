#include "musicsequence.h"

namespace kiramoku {

void StartMusic(MusicControl &music, const QString &tuneFile)
{
    music.SetNotify(false);
    music.SetWait(true);
    music.SetShareable(false);
    music.SetDeviceType(QStringLiteral("Sequencer"));
    music.SetFileName(tuneFile);
    music.SetCommand(QStringLiteral("Open"));
    music.SetFrom(0);
    music.SetCommand(QStringLiteral("Play"));
}

void RestartMusic(MusicControl &music)
{
    music.SetCommand(QStringLiteral("close"));
    music.SetCommand(QStringLiteral("open"));
    music.SetCommand(QStringLiteral("play"));
}

}  // namespace kiramoku
