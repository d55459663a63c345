// The stop button: one whole turn, and the computer's turns that follow it.
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

void BoardRules::Command2_Click()
{
    // No die value shown yet (the very first roll, stopped before its first
    // tick): the stop is ignored and the die keeps rolling.
    if (state_.Label6.isEmpty()) {
        return;
    }
    state_.Timer1Interval = 0;
    const Int16 die = DieValue(state_.Label6);
    state_.Command2Enabled = false;

    const Int16 mover = CurrentPlayer;
    Walk(mover, die);
    state_.Label5[mover.value() - 1].clear();
    ApplySquareEvent();

    CurrentPlayer += 1;
    if (CurrentPlayer == MaxPlayers + 1) {
        EndOfRound();
    }
    AnnounceTurn();
    if (CurrentPlayer > HumanPlayers) {
        PlayComputerTurn();
    }
}

// Places the piece on its own square and on each of the next `steps` squares,
// round the ring, with a pause and a beep after every placement; leaves
// Position on the landing square.
void BoardRules::Walk(Int16 player, Int16 steps)
{
    PlayerRecord &record = Players[player];
    Int16 stepsToGo = steps;
    Int16 taken = 0;
    Int16 square = record.Position;
    for (;;) {
        if (square >= SquareCount) {
            // Past square 24: count on from the start square.
            record.Position = 0;
            stepsToGo -= taken;
            square = 0;
            taken = 0;
        }
        PlacePiece(player, square);
        module_.Delay(StepPause);
        module_.Beep();
        if (taken == stepsToGo) {
            break;
        }
        taken += 1;
        square += 1;
    }
    record.Position += stepsToGo;
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
