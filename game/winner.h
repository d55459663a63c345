#pragma once
// The winner window's rules: its balloon text and its question.
#include "board.h"
#include "module1.h"
#include "ports.h"

namespace kiramoku {

class WinnerRules {
public:
    WinnerRules(Module1 &module, BoardRules &board, WindowControl &windows, Question &question)
        : module_(module), board_(board), windows_(windows), question_(question)
    {
    }

    // Each load shows the winner text as it is then; later rounds do not
    // change an open window's text.
    void Form_Load() { Label1 = module_.WinnerText; }
    // The boy's picture: "もう一回やる？" Yes plays again, No ends the program.
    void Command1_Click();

    QString Label1;

private:
    Module1 &module_;
    BoardRules &board_;
    WindowControl &windows_;
    Question &question_;
};

}  // namespace kiramoku
