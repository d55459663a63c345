#pragma once
// The board window: draws the rules' board and forwards clicks and ticks. Input that arrives while a turn plays back
// waits until it ends, in order.
#include "board.h"
#include "playback.h"

#include <QTimer>
#include <QWidget>

#include <chrono>
#include <deque>
#include <functional>

namespace kiramoku {
class MMControl;
}

namespace kiramoku::screens {

class Announcer;
class DeferredMusic;
class TextLabel;

// Where input to the game's windows waits while a turn plays back: the board's own clicks and ticks and the winner
// window's button and close.
class InputGate {
public:
    virtual ~InputGate() = default;
    // Runs `action` now, or after the playback in progress, in arrival order.
    virtual void Input(std::function<void()> action) = 0;
};

class Form1 : public QWidget, public InputGate {
    Q_OBJECT
public:
    Form1(Module1 &module, Playback &playback, WindowControl &windows, Question &question,
          const QString &tuneFile);
    ~Form1() override;

    // Takes the players over from the selection window; then the board is shown.
    void Load(SelectionWindow &selection);
    // Or puts a kept game back on the board.
    void Resume(const SavedGame &game);

    BoardRules &Rules() { return rules_; }
    // Draws the live board, after the rules were changed from elsewhere (a restart).
    void Refresh();
    MMControl &Music() { return *music_; }

    void Input(std::function<void()> action) override;

public slots:
    void Timer1_Timer();
    void MMControl1_StatusUpdate();

signals:
    void Unloaded();  // the board is closing; the winner window goes with it
    // A person's roll comes next: the game as the turn left it, told once its walk has been seen, however many clicks
    // wait behind it.
    void RollComesNext(const kiramoku::SavedGame &game);

protected:
    void closeEvent(QCloseEvent *event) override;
    // M turns the music off or on, and the choice is kept for the next start. A held M is one press: its repeats change
    // nothing.
    void keyPressEvent(QKeyEvent *event) override;
    void keyReleaseEvent(QKeyEvent *event) override;

private:
    using Handler = void (BoardRules::*)();
    void Act(Handler handler);
    void Run(Handler handler);
    void TellWhenARollComesNext();
    void OnFinished();
    void Render(const BoardState &board);
    void SyncTimer();
    std::chrono::milliseconds FrameInterval() const;
    bool RepeatOfHeldM(const QKeyEvent &press) const;

    Playback &playback_;
    MMControl *music_;
    std::unique_ptr<DeferredMusic> deferredMusic_;
    BoardRules rules_;
    QTimer *timer1_;
    std::deque<std::function<void()>> pending_;  // input that came during a playback
    bool unloaded_ = false;
    quint64 lastMRelease_ = 0;  // the window system's time of M's last release; 0 before any

    TextLabel *label1_;
    std::array<TextLabel *, MaxPlayers> label2_{}, label3_{}, label5_{};
    TextLabel *label6_;
    QWidget *command1_;
    QWidget *command2_;
    std::array<QWidget *, MaxPlayers> pieces_{};
    std::unique_ptr<Announcer> announcer_;  // what a screen reader hears of the play
};

}  // namespace kiramoku::screens
