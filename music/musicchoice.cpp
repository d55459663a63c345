#include "musicchoice.h"

#include <QFileInfo>
#include <QSettings>
#include <QStandardPaths>

#include <optional>

namespace kiramoku {

namespace {

const char *const MusicKey = "music/on";
// The file holds one short section; anything larger is not ours.
constexpr qint64 MaxSettingsBytes = 4096;

QSettings GameSettings()
{
    return QSettings(QStringLiteral("kiramoku"), QStringLiteral("kiramoku"));
}

// The settings file, looked at before it is opened: a pipe in its place
// would hang the game, a huge file would freeze it. Absent is fine (the
// defaults, and the file is written when the choice changes).
bool SettingsFileSane()
{
    const QString path = QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation)
        + QStringLiteral("/kiramoku/kiramoku.conf");
    const QFileInfo file(path);
    if (!file.exists() && !file.isSymLink())
        return true;
    return file.isFile() && file.size() <= MaxSettingsBytes;
}

// Off in the words people write for it, in any letter case.
bool ReadsAsOn(const QVariant &value)
{
    static const QStringList offWords{QStringLiteral("false"), QStringLiteral("0"), QStringLiteral("off"),
                                      QStringLiteral("no")};
    return !offWords.contains(value.toString().trimmed(), Qt::CaseInsensitive);
}

// The choice made in this run (--no-music, the M key), which holds even
// where the file cannot keep it.
std::optional<bool> &ChosenThisRun()
{
    static std::optional<bool> chosen;
    return chosen;
}

} // namespace

bool MusicWanted()
{
    if (ChosenThisRun())
        return *ChosenThisRun();
    if (!SettingsFileSane())
        return true;
    return ReadsAsOn(GameSettings().value(QLatin1String(MusicKey), true));
}

void RememberMusicWanted(bool on)
{
    ChosenThisRun() = on;
    if (!SettingsFileSane())
        return;  // left as it is
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
