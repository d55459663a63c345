#pragma once
// Plays a turn back in real time. The rules resolve a whole stop click at once and hand over, in order, each pause
// (with the board as it stood), each beep and each deferred action (the winner window, the music); this plays them on a
// timer, so the window repaints and answers throughout.
#include "boardstate.h"
#include "ports.h"

#include <QObject>
#include <QTimer>

#include <chrono>
#include <deque>
#include <functional>
#include <optional>

namespace kiramoku {
class BoardRules;
}

namespace kiramoku::screens {

class Playback : public QObject, public TurnEffects {
    Q_OBJECT
public:
    explicit Playback(QObject *parent = nullptr);

    // Whose board a pause shows, and what a beep does.
    void SetBoard(const BoardRules *board) { board_ = board; }
    void SetBeep(std::function<void()> beep) { beep_ = std::move(beep); }
    // The length of one pause unit; tests shorten it.
    void SetUnit(std::chrono::milliseconds unit) { unit_ = unit; }

    // Everything handed over between Begin and End is one resolution.
    void Begin();
    void End();
    // A resolution is being recorded or played: the board takes no input.
    bool Busy() const { return recording_ || playing_; }
    // Runs `action` now when idle, else in order after what is queued.
    void Defer(std::function<void()> action);
    // Drops whatever is still to play (the board is closing).
    void Abort();

    void Delay(int units) override;
    void Beep() override;

signals:
    void Show(const kiramoku::BoardState &board);  // draw this board now
    void Finished();                               // the live board may be drawn

private:
    struct Step {
        std::optional<BoardState> board;  // a pause showing this board
        int units = 0;
        std::function<void()> action;
    };
    void PlayNext();

    const BoardRules *board_ = nullptr;
    std::function<void()> beep_;
    std::chrono::milliseconds unit_;
    std::deque<Step> queue_;
    bool recording_ = false;
    bool playing_ = false;
    QTimer timer_;
};

}  // namespace kiramoku::screens
