// The saved game as a small JSON document. Every value is written as the
// rules count it and checked on the way back in: the file lies in the
// player's folder, and anything may have been put there.
#include "savedgame.h"

#include "players.h"
#include "squares.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <cmath>
#include <limits>
#include <optional>

namespace kiramoku {

namespace {

constexpr int FormatVersion = 1;
constexpr int HighestDie = DieFaces;
constexpr int LastSquare = SquareCount - 1;
const char *const ClusterWord = "cluster";
const char *const RowWord = "row";

QJsonValue PieceValue(int piece)
{
    if (piece == PieceInCluster)
        return QLatin1String(ClusterWord);
    if (piece == PieceInRow)
        return QLatin1String(RowWord);
    return piece;
}

QJsonObject PlayerObject(const SavedPlayer &player)
{
    QJsonObject object{{QStringLiteral("name"), player.name},
                       {QStringLiteral("purse"), player.purse},
                       {QStringLiteral("from"), player.from},
                       {QStringLiteral("piece"), PieceValue(player.piece)}};
    if (player.landed != NoLanding)
        object.insert(QStringLiteral("landed"), player.landed);
    return object;
}

// A whole number within [low, high], as JSON holds it (a double).
std::optional<qint64> Whole(const QJsonValue &value, qint64 low, qint64 high)
{
    if (!value.isDouble())
        return std::nullopt;
    const double number = value.toDouble();
    if (number != std::floor(number) || number < double(low) || number > double(high))
        return std::nullopt;
    return qint64(number);
}

// Reads one checked value after another; the first failure is kept as the reason.
class Checker {
public:
    QString why;

    int Number(const QJsonObject &object, const char *key, qint64 low, qint64 high, const QString &where)
    {
        const std::optional<qint64> number = Whole(object.value(QLatin1String(key)), low, high);
        if (!number)
            Fail(where + QLatin1String(key) + QStringLiteral(" is not a whole number from %1 to %2").arg(low).arg(high));
        return int(number.value_or(low));
    }

    int Piece(const QJsonValue &value, const QString &where)
    {
        if (value == QLatin1String(ClusterWord))
            return PieceInCluster;
        if (value == QLatin1String(RowWord))
            return PieceInRow;
        if (const std::optional<qint64> square = Whole(value, 0, LastSquare))
            return int(*square);
        Fail(where + QStringLiteral("piece is neither a square nor a start place"));
        return PieceInCluster;
    }

    QString Name(const QJsonValue &value, int player, int humans, const QString &where)
    {
        const QString name = value.toString();
        if (!value.isString() || name.isEmpty())
            Fail(where + QStringLiteral("name is not a name"));
        else if (player > humans && name != DefaultNames(player))
            Fail(where + QStringLiteral("name is not the computer's character"));
        return name;
    }

    void Fail(const QString &reason)
    {
        if (why.isEmpty())
            why = reason;
    }
};

SavedPlayer ReadPlayer(const QJsonValue &value, int player, int humans, Checker &check)
{
    const QString where = QStringLiteral("player %1's ").arg(player);
    if (!value.isObject()) {
        check.Fail(where + QStringLiteral("entry is not an object"));
        return {};
    }
    const QJsonObject object = value.toObject();
    SavedPlayer read;
    read.name = check.Name(object.value(QLatin1String("name")), player, humans, where);
    // Only a purse every square's gain and loss can still be added to.
    read.purse = check.Number(object, "purse", qint64(std::numeric_limits<qint32>::min()) - LargestLoss(),
                              qint64(std::numeric_limits<qint32>::max()) - LargestGain(), where);
    read.from = check.Number(object, "from", 0, LastSquare, where);
    read.piece = check.Piece(object.value(QLatin1String("piece")), where);
    if (object.contains(QLatin1String("landed")))
        read.landed = check.Number(object, "landed", 0, LastSquare, where);
    return read;
}

QList<int> ReadWinners(const QJsonValue &value, Checker &check)
{
    QList<int> winners;
    if (!value.isArray())
        check.Fail(QStringLiteral("winners is not a list"));
    for (const QJsonValue &winner : value.toArray()) {
        const std::optional<qint64> player = Whole(winner, 1, MaxPlayers);
        if (!player.has_value()) {
            check.Fail(QStringLiteral("a winner is not a player from 1 to 4"));
            break;
        }
        winners << int(*player);
    }
    return winners;
}

}  // namespace

QByteArray WriteSavedGame(const SavedGame &game)
{
    QJsonArray players;
    for (const SavedPlayer &player : game.players)
        players.append(PlayerObject(player));
    QJsonArray winners;
    for (int winner : game.winners)
        winners.append(winner);
    const QJsonObject root{{QStringLiteral("format"), FormatVersion},
                           {QStringLiteral("people"), game.humans},
                           {QStringLiteral("turn"), game.current},
                           {QStringLiteral("die"), game.die},
                           {QStringLiteral("players"), players},
                           {QStringLiteral("winners"), winners}};
    return QJsonDocument(root).toJson(QJsonDocument::Compact);
}

SavedGameReading ReadSavedGame(const QByteArray &bytes)
{
    QJsonParseError error{};
    const QJsonDocument document = QJsonDocument::fromJson(bytes, &error);
    if (error.error != QJsonParseError::NoError)
        return {SavedGameReading::Damaged, {}, QStringLiteral("not a saved game: ") + error.errorString()};
    if (!document.isObject())
        return {SavedGameReading::Damaged, {}, QStringLiteral("not a saved game: not an object")};
    const QJsonObject root = document.object();
    const std::optional<qint64> format = Whole(root.value(QLatin1String("format")), 1, std::numeric_limits<int>::max());
    if (!format)
        return {SavedGameReading::Damaged, {}, QStringLiteral("no known format")};
    if (*format > FormatVersion)
        return {SavedGameReading::Newer, {}, QStringLiteral("format %1").arg(*format)};

    Checker check;
    SavedGame game;
    game.humans = check.Number(root, "people", 1, MaxPlayers, {});
    game.current = check.Number(root, "turn", 1, game.humans, {});
    game.die = check.Number(root, "die", 0, HighestDie, {});
    const QJsonArray players = root.value(QLatin1String("players")).toArray();
    if (players.size() != MaxPlayers)
        check.Fail(QStringLiteral("players is not a list of four"));
    for (int k = 1; k <= MaxPlayers && check.why.isEmpty(); ++k)
        game.players[size_t(k - 1)] = ReadPlayer(players.at(k - 1), k, game.humans, check);
    game.winners = ReadWinners(root.value(QLatin1String("winners")), check);
    if (!check.why.isEmpty())
        return {SavedGameReading::Damaged, {}, check.why};
    return {SavedGameReading::Good, game, {}};
}

}  // namespace kiramoku
