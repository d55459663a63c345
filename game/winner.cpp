#include "winner.h"

namespace kiramoku {

void WinnerRules::Command1_Click()
{
    const bool again = question_.AskYes(QString::fromUtf8("もう一回やる？"),
                                        QString::fromUtf8("きらもく"), true);
    if (again) {
        board_.AllClear();
        windows_.UnloadWinnerWindow();
        module_.WinnerFlag = 0;
    } else {
        windows_.UnloadWinnerWindow();
        windows_.UnloadBoard();
    }
}

} // namespace kiramoku
