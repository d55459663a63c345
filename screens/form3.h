#pragma once
// The winner window: the congratulations and the question of another game.
#include "winner.h"

#include <QWidget>

namespace kiramoku::screens {

class TextLabel;

class Form3 : public QWidget {
    Q_OBJECT
public:
    Form3(Module1 &module, BoardRules &board, WindowControl &windows, Question &question);

    void Form_Load();

public slots:
    void Command1_Click();

signals:
    void Answered();  // the question was answered; the board may have restarted

private:
    WinnerRules rules_;
    TextLabel *label1_;
};

} // namespace kiramoku::screens
