#include "playback.h"

#include "board.h"
#include "constants.h"

namespace kiramoku::screens {

Playback::Playback(QObject *parent)
    : QObject(parent), unit_(DelayUnit)
{
    timer_.setSingleShot(true);
    timer_.setTimerType(Qt::PreciseTimer);
    connect(&timer_, &QTimer::timeout, this, &Playback::PlayNext);
}

void Playback::Begin()
{
    recording_ = true;
}

void Playback::End()
{
    recording_ = false;
    if (!playing_) {
        playing_ = true;
        PlayNext();
    }
}

void Playback::Defer(std::function<void()> action)
{
    if (Busy())
        queue_.push_back({std::nullopt, 0, std::move(action)});
    else
        action();
}

void Playback::Abort()
{
    timer_.stop();
    queue_.clear();
    recording_ = false;
    playing_ = false;
}

void Playback::Delay(int units)
{
    queue_.push_back({board_ ? std::optional(board_->State()) : std::nullopt, units, {}});
}

void Playback::Beep()
{
    queue_.push_back({std::nullopt, 0, [this] {
                          if (beep_)
                              beep_();
                      }});
}

void Playback::PlayNext()
{
    while (!queue_.empty()) {
        Step step = std::move(queue_.front());
        queue_.pop_front();
        if (step.action) {
            step.action();
            if (!playing_)
                return;  // the action closed the board
            continue;
        }
        if (step.board)
            emit Show(*step.board);
        timer_.start(unit_ * step.units);
        return;
    }
    playing_ = false;
    emit Finished();
}

}  // namespace kiramoku::screens
