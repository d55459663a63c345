#pragma once
// Fakes for the rules' ports: they record every call in one ordered log, and
// a table fixture seats four players around the rules.
#include "board.h"
#include "expected_squares.h"
#include "module1.h"
#include "winner.h"

#include <QStringList>

#include <deque>
#include <stdexcept>

namespace kiramoku::test {

// A walk pauses this many units after each placement of the piece.
inline constexpr int WalkPause = 28;

// Scripted die faces; a draw with nothing scripted is a test error.
class ScriptedDie : public ChanceSource {
public:
    void Push(int face) { faces_.push_back(face); }
    double Next() override
    {
        if (faces_.empty())
            throw std::logic_error("ScriptedDie: no face scripted");
        const int face = faces_.front();
        faces_.pop_front();
        return (face - 0.5) / DieFaces;
    }
    bool Empty() const { return faces_.empty(); }

private:
    std::deque<int> faces_;
};

// Records every call of every port in one log, in order, and what the board
// shows at each pause, as a player would see it.
class Recorder : public TurnEffects, public WindowControl, public MusicControl, public Question {
public:
    struct Pause {
        int units, mover;
        int square;       // under the mover's piece; -1 on none
        QString message;  // the mover's message label
        bool rolling, stopEnabled;
        QString die;
    };
    QStringList log;
    QList<Pause> pauses;
    const BoardRules *board = nullptr;
    QList<bool> answers;  // scripted answers, Yes = true
    QStringList questions;

    void Delay(int units) override
    {
        log << QStringLiteral("Delay %1").arg(units);
        if (board) {
            const int mover = board->CurrentPlayer.value();
            const BoardState &s = board->State();
            pauses << Pause{units, mover, expected::SquareUnder(s.Image4[mover - 1], mover), s.Label5[mover - 1],
                            s.Timer1Interval != 0, s.Command2Enabled, s.Label6};
        }
    }
    // What the board showed at each walking step, in order: `Walked(&Pause::square)`.
    template <typename T>
    QList<T> Walked(T Pause::*shown) const
    {
        QList<T> steps;
        for (const Pause &p : pauses)
            if (p.units == WalkPause)
                steps << p.*shown;
        return steps;
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
        if (answers.isEmpty())
            throw std::logic_error("Recorder: no answer scripted");
        return answers.takeFirst();
    }

    int Count(const QString &entry) const { return static_cast<int>(log.count(entry)); }
};

class FakeSelection : public SelectionWindow {
public:
    int index = -1;
    QStringList texts{QStringLiteral("備前屋の若旦那"), QStringLiteral("越後屋の若旦那"), QStringLiteral("錠前屋の若旦那"), QStringLiteral("旗本の三男坊")};
    QStringList calls;

    int ListIndex() const override { return index; }
    void SetListIndex(int i) override
    {
        index = i;
        calls << QStringLiteral("SetListIndex %1").arg(i);
    }
    QString Text(int i) const override { return texts.at(i); }
    void Hide() override { calls << QStringLiteral("Hide"); }
    void Unload() override { calls << QStringLiteral("Unload"); }
};

inline const QString TuneFile = QStringLiteral("/usr/share/kiramoku/kira.mid");

// A kept game written by hand: two people, the second to roll; player 1 on
// square 21 with the next walk from 22; player 3 congratulated; player 4's
// piece in a restart's row.
inline const QByteArray KeptGameFile = R"({"format": 1, "people": 2, "turn": 2, "die": 5,
 "players": [{"name": "おきく", "purse": -300, "from": 22, "piece": 21, "landed": 21},
             {"name": "<b>x</b>", "purse": 1000, "from": 0, "piece": "cluster"},
             {"name": "錠前屋の若旦那", "purse": 2600, "from": 3, "piece": 3, "landed": 3},
             {"name": "旗本の三男坊", "purse": 1000, "from": 0, "piece": "row"}],
 "winners": [3]})";

// Four players at one board, the rules wired to fakes (the music to `music` if given).
struct Table {
    ScriptedDie die;
    Recorder ports;
    Module1 module{die, ports};
    BoardRules board;
    FakeSelection selection;
    QStringList loadLog;  // what the board's load asked of the ports

    // With `humans` 0 nothing is chosen; `texts` are the name boxes' texts.
    explicit Table(int humans = 4, const QStringList &texts = {}, MusicControl *music = nullptr, const QString &tune = TuneFile)
        : board{module, {ports, ports, music ? *music : ports, ports}, tune}
    {
        selection.index = humans - 1;
        selection.texts = texts.isEmpty() ? selection.texts : texts;
        board.Form_Load(selection);
        ports.board = &board;
        ports.log.swap(loadLog);
    }

    // The current player rolls and stops on `face`; more faces are scripted
    // for the computer turns that may follow.
    void Roll(int face, const QList<int> &computerFaces = {})
    {
        board.Command1_Click();
        die.Push(face);
        board.Timer1_Timer();
        for (int f : computerFaces)
            die.Push(f);
        board.Command2_Click();
    }

    // A round from player 1 on: each person rolls `face`, and so do the computers after them.
    void Round(int face)
    {
        for (int human = 1; human < board.HumanPlayers.value(); ++human)
            Roll(face);
        Roll(face, QList<int>(MaxPlayers - board.HumanPlayers.value(), face));
    }

    PlayerRecord &Player(int k) { return board.Players[k]; }
    const BoardState &State() const { return board.State(); }
};

}  // namespace kiramoku::test
