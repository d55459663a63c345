#pragma once
// The winner window: the congratulations and the question of another game.
#include "winner.h"

#include <QWidget>

#include <memory>

namespace kiramoku::screens {

class Speaker;
class TextLabel;

class Form3 : public QWidget {
    Q_OBJECT
public:
    Form3(Module1 &module, BoardRules &board, WindowControl &windows, Question &question);
    ~Form3() override;

    void Form_Load();

public slots:
    void Command1_Click();

signals:
    void Answered();  // the question was answered; the board may have restarted

protected:
    void showEvent(QShowEvent *event) override;

private:
    WinnerRules rules_;
    TextLabel *label1_;
    std::unique_ptr<Speaker> speaker_;  // reads the congratulations as the window comes up
};

} // namespace kiramoku::screens
