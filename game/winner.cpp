#include "winner.h"

namespace kiramoku {

void WinnerRules::Command1_Click()
{
    // No ends the program, so only a chosen Yes or No answers; a box put
    // away with Escape stays until one of them is.
    const bool again = question_.AskYes(QString::fromUtf8("もう一回やる？"), QString::fromUtf8("きらもく"), true,
                                        Dismissal::NotAnAnswer);
    if (again) {
        board_.AllClear();
        windows_.UnloadWinnerWindow();
        module_.WinnerFlag = 0;
    } else {
        windows_.UnloadWinnerWindow();
        windows_.UnloadBoard();
    }
}

}  // namespace kiramoku
