#pragma once
// What a screen reader says while the board plays, without taking the keyboard focus: the die's number at a stop, each
// landing (who, which square and what is written on it, the square's line, the purse when it changed) and each change
// of turn, once each and in the order the board shows them. It also keeps every piece's name saying on which square the
// piece stands.
//
// A notification that appears is what Orca reads out by itself, whichever control has the focus; inside a status bar it
// reads the sentence alone, without the word "notification" before it.
#include "boardstate.h"

#include <QString>

#include <array>
#include <optional>

class QWidget;

namespace kiramoku::screens {

// Speaks whole sentences on one window: each is handed over as a notification inside a status bar that takes no room on
// the window.
class Speaker {
public:
    explicit Speaker(QWidget *window);

    // One sentence, read out once. Nothing is read while the window is hidden.
    void Say(const QString &sentence);

private:
    // Sentences go to the notes in turn; a note keeps its sentence until it is used again, so a screen reader that
    // reads a little late still reads the sentence it was shown with.
    static constexpr int NoteCount = 16;

    std::array<QWidget *, NoteCount> notes_{};
    int nextNote_ = 0;
};

class Announcer {
public:
    // Speaks on `board`, the board window, whose elements are already built.
    explicit Announcer(QWidget *board);

    // Called with every board drawn, in order, after its pieces were placed: says what changed since the board drawn
    // before. The first board drawn says whose turn it is as soon as the window shows.
    void Present(const BoardState &board);

private:
    QString LandingSentence(const BoardState &board) const;
    QString SquareName(int square) const;
    int SquareUnder(const QWidget *piece) const;
    void NamePieces(const BoardState &board);

    QWidget *board_;
    Speaker speaker_;
    std::array<QWidget *, SquareCount> squares_{};
    std::array<QWidget *, MaxPlayers> pieces_{};
    std::optional<BoardState> shown_;  // the board drawn before
};

}  // namespace kiramoku::screens
