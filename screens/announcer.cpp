#include "announcer.h"

#include "layout.h"

#include <QAccessible>
#include <QAccessibleWidget>
#include <QTimer>
#include <QWidget>

namespace kiramoku::screens {

namespace {

// The status bar that holds the notes: no room on the window, no painting.
class SpeechRow : public QWidget {
    Q_OBJECT
public:
    explicit SpeechRow(QWidget *parent)
        : QWidget(parent)
    {
        setObjectName(QStringLiteral("SpeechRow"));
        setAttribute(Qt::WA_TransparentForMouseEvents);
        setGeometry(0, 0, 0, 0);
    }
};

// One note: its accessible name is the sentence; it is never drawn.
class SpeechNote : public QWidget {
    Q_OBJECT
public:
    explicit SpeechNote(QWidget *row)
        : QWidget(row)
    {
        setGeometry(0, 0, 0, 0);
        hide();
    }
};

QAccessibleInterface *SpeechAccessible(const QString &className, QObject *object)
{
    if (!object || !object->isWidgetType())
        return nullptr;
    auto *widget = static_cast<QWidget *>(object);
    if (className == QLatin1String(SpeechRow::staticMetaObject.className()))
        return new QAccessibleWidget(widget, QAccessible::StatusBar);
    if (className == QLatin1String(SpeechNote::staticMetaObject.className()))
        return new QAccessibleWidget(widget, QAccessible::Notification);
    return nullptr;
}

// A piece moved, or a name changed: the pieces' names are due.
bool PiecesChanged(const BoardState &before, const BoardState &board)
{
    for (int i = 0; i < MaxPlayers; ++i)
        if (!(before.Image4[i] == board.Image4[i]) || before.Label2[i] != board.Label2[i])
            return true;
    return false;
}

}  // namespace

Speaker::Speaker(QWidget *window)
{
    [[maybe_unused]] static const bool installed = (QAccessible::installFactory(SpeechAccessible), true);

    auto *row = new SpeechRow(window);
    for (QWidget *&note : notes_)
        note = new SpeechNote(row);
}

void Speaker::Say(const QString &sentence)
{
    // Showing the note is the news; it is hidden again at once, so no note is ever showing when the window itself is
    // shown again later.
    QWidget *note = notes_[size_t(nextNote_)];
    nextNote_ = (nextNote_ + 1) % NoteCount;
    note->setAccessibleName(sentence);
    note->show();
    note->hide();
}

Announcer::Announcer(QWidget *board)
    : board_(board), speaker_(board)
{
    // Found once here: a board without its squares or pieces stops at its start, not in the middle of a turn.
    for (int k = 0; k < SquareCount; ++k)
        squares_[size_t(k)] = BoardElement(board, ElementName("Image1", k));
    for (int i = 0; i < MaxPlayers; ++i)
        pieces_[size_t(i)] = BoardElement(board, ElementName("Image4", i));
}

void Announcer::Present(const BoardState &board)
{
    if (shown_) {
        const BoardState &before = *shown_;
        // The die stops: the number it shows is the roll.
        if (before.Timer1Interval != 0 && board.Timer1Interval == 0 && !board.Label6.isEmpty())
            speaker_.Say(QStringLiteral("さいころの目は") + board.Label6);
        if (board.LastLanding.Count != before.LastLanding.Count)
            speaker_.Say(LandingSentence(board));
        if (board.Turns != before.Turns)  // the turn line without the board's padding spaces
            speaker_.Say(board.Label1.trimmed());
    } else if (board.Turns > 0) {
        // The board is drawn once before it is shown: whose turn it is, is said when the window has come up.
        QTimer::singleShot(0, board_, [this, turn = board.Label1.trimmed()] { speaker_.Say(turn); });
    }
    if (!shown_ || PiecesChanged(*shown_, board))
        NamePieces(board);
    shown_ = board;
}

QString Announcer::LandingSentence(const BoardState &board) const
{
    const int i = board.LastLanding.Player - 1;
    QStringList parts{board.Label2[i], SquareName(board.LastLanding.Square)};
    if (!board.Label5[i].isEmpty())
        parts << board.Label5[i];
    if (!shown_ || shown_->Label3[i] != board.Label3[i])
        parts << QStringLiteral("所持金%1両").arg(board.Label3[i]);
    return parts.join(QStringLiteral("、"));
}

QString Announcer::SquareName(int square) const
{
    return squares_[size_t(square)]->accessibleName();
}

int Announcer::SquareUnder(const QWidget *piece) const
{
    // A piece stands on the square its top-left corner lies in.
    for (int k = 0; k < SquareCount; ++k)
        if (squares_[size_t(k)]->geometry().contains(piece->pos()))
            return k;
    return -1;
}

void Announcer::NamePieces(const BoardState &board)
{
    for (int i = 0; i < MaxPlayers; ++i) {
        QWidget *piece = pieces_[size_t(i)];
        const QString &whose = board.Label2[i];
        QString name = whose.isEmpty() ? QStringLiteral("プレイヤー%1のこま").arg(i + 1)
                                       : QStringLiteral("プレイヤー%1 %2のこま").arg(QString::number(i + 1), whose);
        const int square = SquareUnder(piece);
        if (square >= 0)
            name += QLatin1Char(' ') + SquareName(square);
        if (piece->accessibleName() != name)
            piece->setAccessibleName(name);
    }
}

}  // namespace kiramoku::screens

#include "announcer.moc"
