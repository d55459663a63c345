#include "musicchoice.h"

#include <QSettings>

namespace kiramoku {

namespace {

const char *const MusicKey = "music/on";

QSettings GameSettings()
{
    return QSettings(QStringLiteral("kiramoku"), QStringLiteral("kiramoku"));
}

} // namespace

bool MusicWanted()
{
    return GameSettings().value(QLatin1String(MusicKey), true).toBool();
}

void RememberMusicWanted(bool on)
{
    QSettings settings = GameSettings();
    settings.setValue(QLatin1String(MusicKey), on);
    settings.sync();
}

void ApplyMusicOption(bool noMusicGiven)
{
    if (noMusicGiven)
        RememberMusicWanted(false);
}

} // namespace kiramoku
