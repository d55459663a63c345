#include "keptgame.h"

#include "report.h"

#include <QDateTime>
#include <QStandardPaths>

namespace kiramoku {

namespace {

// How long the start waits at most for a damaged file to be set aside, so that the line about it comes before the first
// window.
constexpr std::chrono::milliseconds SetAsideWait{2000};

QString SavedGamePath()
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation)
           + QStringLiteral("/kiramoku/saved-game.json");
}

}  // namespace

KeptGame::KeptGame()
    : file_(SavedGamePath(), QStringLiteral("could not keep the game in progress in %1 (%2)"))
{
}

std::optional<SavedGame> KeptGame::Offer()
{
    const SmallFile file = ReadSmallFile(file_.Path(), MaxSavedGameBytes);
    if (file.status == SmallFile::Absent)
        return std::nullopt;
    const SavedGameReading reading = file.status == SmallFile::Read
                                         ? ReadSavedGame(file.bytes)
                                         : SavedGameReading{SavedGameReading::Damaged, {}, file.why};
    if (reading.status == SavedGameReading::Newer) {
        keeping_ = false;
        Say(QStringLiteral("the game kept in %1 is from a later version of the game (%2); it is left as it is, "
                           "and this game is not kept")
                .arg(file_.Path(), reading.why));
        return std::nullopt;
    }
    if (reading.status == SavedGameReading::Damaged) {
        // Said once the worker has tried, with the name the file really took. One that cannot be set aside is still the
        // player's, perhaps to mend by hand or to send in: nothing of this run is kept over it.
        const QString suffix = QStringLiteral(".damaged-") + QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd-hhmmss-zzz"));
        file_.SetAside(suffix, [path = file_.Path(), why = reading.why](const QString &aside, const QString &reason) {
            return aside.isEmpty()
                       ? QStringLiteral("the game kept in %1 cannot be read (%2); it could not be set aside (%3), "
                                        "so it is left as it is, and this game is not kept")
                             .arg(path, why, reason)
                       : QStringLiteral("the game kept in %1 cannot be read (%2); it is set aside as %3").arg(path, why, aside);
        });
        file_.Settle(SetAsideWait);
        return std::nullopt;
    }
    last_ = reading.game;
    return reading.game;
}

void KeptGame::Keep(const SavedGame &game, bool always)
{
    if (!keeping_ || (!always && last_ == game))
        return;
    last_ = game;
    const QByteArray bytes = WriteSavedGame(game);
    if (bytes.size() > MaxSavedGameBytes) {
        // Only names of more than a thousand characters come near it; such a file would not be read back, so the last
        // one that fits stays.
        tooLarge_.Say(QStringLiteral("the game in progress is too large to keep (%1 bytes); the last kept game stays")
                          .arg(bytes.size()));
        return;
    }
    file_.Write(bytes);
}

void KeptGame::Forget()
{
    last_.reset();
    if (keeping_)
        file_.Remove();
}

}  // namespace kiramoku
