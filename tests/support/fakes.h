#pragma once
// Fakes for the rules' ports: they record every call in one ordered log, and
// a table fixture seats four players around the rules.
#include "board.h"
#include "module1.h"
#include "squares.h"
#include "winner.h"

#include <QStringList>

#include <deque>
#include <stdexcept>

namespace kiramoku::test {

// Scripted die faces; a draw with nothing scripted is a test error.
class ScriptedDie : public ChanceSource {
public:
    void Push(int face) { faces_.push_back(face); }
    double Next() override
    {
        if (faces_.empty()) {
            throw std::logic_error("ScriptedDie: no face scripted");
        }
        const int face = faces_.front();
        faces_.pop_front();
        return (face - 0.5) / DieFaces;
    }
    bool Empty() const { return faces_.empty(); }

private:
    std::deque<int> faces_;
};

// The square a player's piece stands on, by the placement rule of a walk;
// -1 when it stands on none (e.g. still at its creation place).
inline int SquareUnderPiece(const BoardState &state, int player)
{
    const PiecePlace piece = state.Image4[player - 1];
    for (int k = 0; k < SquareCount; ++k) {
        const auto top = static_cast<float>(SquareTopCm(k) + PieceInset);
        const auto left = static_cast<float>(SquareLeftCm(k) + PieceInset + PieceStagger * (player - 1));
        if (piece.Top == top && piece.Left == left) {
            return k;
        }
    }
    return -1;
}

// Records every call of every port in one log, in order. At each pause it
// also notes where the moving player's piece stands, as a player would see it.
class Recorder : public TurnEffects, public WindowControl, public MusicControl, public Question {
public:
    QStringList log;
    QList<int> pausedOn;                 // square of `watched`'s piece at each walk pause
    QStringList messagesAtPause;         // `watched`'s message label at each walk pause
    QList<std::pair<int, int>> walked;   // (mover, square) at every walk pause
    const BoardRules *board = nullptr;
    int watched = 0;                     // 0: the current player
    QList<bool> answers;                 // scripted answers, Yes = true
    QStringList questions;

    void Delay(int units) override
    {
        log << QStringLiteral("Delay %1").arg(units);
        if (board && units == StepPause) {
            const int player = watched ? watched : board->CurrentPlayer.value();
            pausedOn << SquareUnderPiece(board->State(), player);
            messagesAtPause << board->State().Label5[player - 1];
            const int mover = board->CurrentPlayer.value();
            walked << std::pair{mover, SquareUnderPiece(board->State(), mover)};
        }
    }
    void Beep() override { log << QStringLiteral("Beep"); }
    void ShowWinnerWindow() override { log << QStringLiteral("ShowWinnerWindow"); }
    void UnloadWinnerWindow() override { log << QStringLiteral("UnloadWinnerWindow"); }
    void UnloadBoard() override { log << QStringLiteral("UnloadBoard"); }
    void SetNotify(bool on) override { log << QStringLiteral("Notify %1").arg(on); }
    void SetWait(bool on) override { log << QStringLiteral("Wait %1").arg(on); }
    void SetShareable(bool on) override { log << QStringLiteral("Shareable %1").arg(on); }
    void SetDeviceType(const QString &type) override { log << QStringLiteral("DeviceType ") + type; }
    void SetFileName(const QString &path) override { log << QStringLiteral("FileName ") + path; }
    void SetFrom(qint32 position) override { log << QStringLiteral("From %1").arg(position); }
    void SetCommand(const QString &command) override { log << QStringLiteral("Command ") + command; }
    bool AskYes(const QString &text, const QString &title, bool yesIsDefault, Dismissal) override
    {
        questions << text + QLatin1Char('|') + title + QLatin1Char('|') + QString::number(yesIsDefault);
        if (answers.isEmpty()) {
            throw std::logic_error("Recorder: no answer scripted");
        }
        return answers.takeFirst();
    }

    int Count(const QString &entry) const { return static_cast<int>(log.count(entry)); }
    QStringList Matching(const QString &prefix) const { return log.filter(prefix); }
};

class FakeSelection : public SelectionWindow {
public:
    int index = -1;
    QStringList texts{QStringLiteral("備前屋の若旦那"), QStringLiteral("越後屋の若旦那"),
                      QStringLiteral("錠前屋の若旦那"), QStringLiteral("旗本の三男坊")};
    QStringList calls;

    int ListIndex() const override { return index; }
    void SetListIndex(int i) override { index = i; calls << QStringLiteral("SetListIndex %1").arg(i); }
    QString Text(int i) const override { return texts.at(i); }
    void Hide() override { calls << QStringLiteral("Hide"); }
    void Unload() override { calls << QStringLiteral("Unload"); }
};

inline const QString TuneFile = QStringLiteral("/usr/share/kiramoku/kira.mid");

// Four players at one board, the rules wired to fakes.
struct Table {
    ScriptedDie die;
    Recorder ports;
    Module1 module{die, ports};
    BoardRules board{module, {ports, ports, ports, ports}, TuneFile};
    FakeSelection selection;

    explicit Table(int humans = 4)
    {
        selection.index = humans - 1;
        board.Form_Load(selection);
        ports.board = &board;
        ports.log.clear();
    }

    // The current player rolls and stops on `face`; more faces are scripted
    // for the computer turns that may follow.
    void Roll(int face, std::initializer_list<int> computerFaces = {})
    {
        board.Command1_Click();
        die.Push(face);
        board.Timer1_Timer();
        for (int f : computerFaces) {
            die.Push(f);
        }
        board.Command2_Click();
    }

    PlayerRecord &Player(int k) { return board.Players[k]; }
    const BoardState &State() const { return board.State(); }
};

} // namespace kiramoku::test
