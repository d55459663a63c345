// The die: the roll button starts the animation, each tick shows a new value.
#include "board.h"

namespace kiramoku {

void BoardRules::Command1_Click()
{
    state_.Timer1Interval = RollingInterval;
    state_.Command2Enabled = true;
}

void BoardRules::Timer1_Timer()
{
    // A tick already queued when the stop button halted the die must not
    // replace the value the turn has just taken.
    if (state_.Timer1Interval != 0) {
        state_.Label6 = QString::number(module_.RollDie().value());
    }
}

}  // namespace kiramoku
