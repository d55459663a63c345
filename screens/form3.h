#pragma once
// The winner window: the congratulations and the question of another game.
#include "winner.h"

#include <QWidget>

#include <memory>

namespace kiramoku::screens {

class InputGate;
class Speaker;
class TextLabel;

// Its button and its frame's close wait, like the board's own input, until the turn being played back has been seen: an
// answer never restarts or ends a game whose round is still on the screen.
class Form3 : public QWidget {
    Q_OBJECT
public:
    Form3(Module1 &module, BoardRules &board, WindowControl &windows, Question &question, InputGate &gate);
    ~Form3() override;

    void Form_Load();
    // Shows the window in front with the focus on its button, at every round end with a winner, whether it is new or
    // already open.
    void BringForward();
    // Unloads the window at once (the rules' decision, or the board closing).
    void Unload();

public slots:
    void Command1_Click();

signals:
    void Answered();  // the question was answered; the board may have restarted

protected:
    void closeEvent(QCloseEvent *event) override;
    void showEvent(QShowEvent *event) override;

private:
    void Answer();

    WinnerRules rules_;
    InputGate &gate_;
    TextLabel *label1_;
    QWidget *command1_;
    bool unloading_ = false;
    std::unique_ptr<Speaker> speaker_;  // reads the congratulations as the window comes up
};

}  // namespace kiramoku::screens
