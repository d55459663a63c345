// What a landing does: the square's line, the purse, and the special moves.
#include "board.h"

#include "squares.h"

namespace kiramoku {

void BoardRules::ApplySquareEvent()
{
    const Int16 mover = CurrentPlayer;
    PlayerRecord &record = Players[mover];
    const Square &square = SquareAt(record.Position);

    state_.LastLanding = {state_.LastLanding.Count + 1, mover.value(), record.Position.value()};
    state_.Label5[mover.value() - 1] = SquareMessage(record.Position, mover);
    record.Money += square.Money;
    ShowPurse(mover);

    switch (square.Move) {
    case SpecialMove::None:
        break;
    case SpecialMove::BackToStart:
        // Straight to the start square, without its event, pause or beep.
        record.Position = 0;
        PlacePiece(mover, 0);
        break;
    case SpecialMove::ShiftForward:
        // The piece stays; the next walk starts one square further on.
        record.Position += 1;
        break;
    case SpecialMove::ShiftBack:
        record.Position -= 1;
        break;
    }
}

}  // namespace kiramoku
