#pragma once
// The 25 squares of the ring: where each lies and what a landing on it does.
#include "checked.h"

#include <QString>

namespace kiramoku {

enum class SpecialMove { None,
                         BackToStart,
                         ShiftForward,
                         ShiftBack };

// Whose words a landing shows: the square's own line, the constable's, or the
// allowance line of the moving character.
enum class Line { Own,
                  Constable,
                  Allowance };

struct Square {
    int Left;  // top-left corner on the board, twips
    int Top;
    Line Kind;
    const char *Text;  // the square's own line (Line::Own only)
    int Money;         // ryō added to the mover's purse
    SpecialMove Move;
};

// Square k, k = 0..24; any other k is a program error.
const Square &SquareAt(Int16 k);

// The line a landing on square k shows for player n (1..4).
QString SquareMessage(Int16 k, Int16 player);

// The most a single landing adds to a purse, and the most it takes (negative).
int LargestGain();
int LargestLoss();

// A square's top-left corner in the board's centimetres, as the board stores it.
float SquareLeftCm(Int16 k);
float SquareTopCm(Int16 k);

}  // namespace kiramoku
