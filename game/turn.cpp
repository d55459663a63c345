// A turn: the die, the stop button's walk and landing, and the computer's
// turns that follow it.
#include "board.h"

#include "squares.h"

namespace kiramoku {

namespace {
// The computer's roll: a pause, the roll, a pause, one tick, two pauses, stop.
constexpr int PauseBeforeRoll = 1;
constexpr int PauseBeforeTick = 1;
constexpr int PauseBeforeStop = 2;

Int16 DieValue(const QString &text)
{
    bool ok = false;
    const short value = text.toShort(&ok);
    if (!ok) {
        throw ProgramError("failed conversion: die label holds \"" + text.toStdString()
                           + "\", expected a number");
    }
    return value;
}
}  // namespace

void BoardRules::Command1_Click()
{
    state_.Timer1Interval = RollingInterval;
    state_.Command2Enabled = true;
}

void BoardRules::Timer1_Timer()
{
    // A tick already queued when the stop button halted the die must not
    // replace the value the turn has just taken.
    if (state_.Timer1Interval != 0)
        state_.Label6 = QString::number(module_.RollDie().value());
}

void BoardRules::Command2_Click()
{
    // No die value shown yet (the very first roll, stopped before its first
    // tick): the stop is ignored and the die keeps rolling.
    if (state_.Label6.isEmpty())
        return;
    state_.Timer1Interval = 0;
    const Int16 die = DieValue(state_.Label6);
    state_.Command2Enabled = false;

    const Int16 mover = CurrentPlayer;
    Walk(mover, die);
    ApplySquareEvent();

    CurrentPlayer += 1;
    if (CurrentPlayer == MaxPlayers + 1)
        EndOfRound();
    AnnounceTurn();
    if (CurrentPlayer > HumanPlayers)
        PlayComputerTurn();
}

// Places the piece on its own square and on each of the next `steps` squares,
// round the ring, with a pause and a beep after every placement; leaves
// Position on the landing square.
void BoardRules::Walk(Int16 player, Int16 steps)
{
    PlayerRecord &record = Players[player];
    for (int taken = 0; taken <= steps.value(); ++taken) {
        PlacePiece(player, (record.Position.value() + taken) % SquareCount);
        module_.Delay(StepPause);
        module_.Beep();
    }
    record.Position = (record.Position.value() + steps.value()) % SquareCount;
}

void BoardRules::PlacePiece(Int16 player, Int16 square)
{
    state_.Image4[player.value() - 1] = PlaceOnSquare(player, square);
}

PiecePlace BoardRules::PlaceOnSquare(Int16 player, Int16 square)
{
    return {static_cast<float>(SquareLeftCm(square) + PieceInset + PieceStagger * (player.value() - 1)),
            static_cast<float>(SquareTopCm(square) + PieceInset)};
}

void BoardRules::ApplySquareEvent()
{
    const Int16 mover = CurrentPlayer;
    PlayerRecord &record = Players[mover];
    const Square &square = SquareAt(record.Position);

    state_.LastLanding = {state_.LastLanding.Count + 1, mover.value(), record.Position.value()};
    state_.Label5[mover.value() - 1] = SquareMessage(record.Position, mover);
    record.Money += square.Money;
    ShowPurse(mover);

    // Back to the start square at once, without its event, pause or beep; a
    // shift leaves the piece, and the next walk starts a square on or back.
    if (square.Move == SpecialMove::BackToStart) {
        record.Position = 0;
        PlacePiece(mover, 0);
    } else if (square.Move == SpecialMove::ShiftForward) {
        record.Position += 1;
    } else if (square.Move == SpecialMove::ShiftBack) {
        record.Position -= 1;
    }
}

void BoardRules::EndOfRound()
{
    for (Int16 i = 1; i <= MaxPlayers; i += 1) {
        if (Players[i].Money >= WinningMoney) {
            module_.WinnerText += Congratulation(Players[i].Name);
            module_.Winners << i.value();
            module_.WinnerFlag = 1;
        }
    }
    if (module_.WinnerFlag == 1) {
        ports_.windows.ShowWinnerWindow();
        ports_.music.SetCommand(QStringLiteral("Pause"));
    }
    CurrentPlayer = 1;
}

void BoardRules::PlayComputerTurn()
{
    module_.Delay(PauseBeforeRoll);
    Command1_Click();
    module_.Delay(PauseBeforeTick);
    Timer1_Timer();
    module_.Delay(PauseBeforeStop);
    Command2_Click();
}

}  // namespace kiramoku
