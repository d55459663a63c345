#pragma once
// The board window: draws the rules' board and forwards clicks and ticks.
// Input that arrives while a turn plays back waits until it ends, in order.
#include "board.h"
#include "playback.h"

#include <QTimer>
#include <QWidget>

#include <deque>

namespace kiramoku {
class MMControl;
}

namespace kiramoku::screens {

class DeferredMusic;
class TextLabel;

class Form1 : public QWidget {
    Q_OBJECT
public:
    Form1(Module1 &module, Playback &playback, WindowControl &windows, Question &question,
          const QString &tuneFile);
    ~Form1() override;

    // Takes the players over from the selection window; then the board is shown.
    void Load(SelectionWindow &selection);

    BoardRules &Rules() { return rules_; }
    // Draws the live board, after the rules were changed from elsewhere (a restart).
    void Refresh();
    MMControl &Music() { return *music_; }

public slots:
    void Command1_Click();
    void Command2_Click();
    void Command3_Click();
    void Timer1_Timer();
    void MMControl1_StatusUpdate();

signals:
    void Unloaded();  // the board is closing; the winner window goes with it

protected:
    void closeEvent(QCloseEvent *event) override;
    // M turns the music off or on, and the choice is kept for the next start.
    void keyPressEvent(QKeyEvent *event) override;

private:
    using Handler = void (BoardRules::*)();
    void Act(Handler handler);
    void Run(Handler handler);
    void OnFinished();
    void Render(const BoardState &board);
    void SyncTimer();

    Playback &playback_;
    MMControl *music_;
    std::unique_ptr<DeferredMusic> deferredMusic_;
    BoardRules rules_;
    QTimer *timer1_;
    std::deque<Handler> pending_;  // clicks and ticks that came during a playback
    bool unloaded_ = false;

    TextLabel *label1_;
    std::array<TextLabel *, MaxPlayers> label2_{}, label3_{}, label5_{};
    TextLabel *label6_;
    QWidget *command2_;
    std::array<QWidget *, MaxPlayers> pieces_{};
};

} // namespace kiramoku::screens
