#pragma once
// One thread doing jobs in the order given, for whatever must never run on
// the window's thread: the player's files, the beep, the music.
//
// A job may name a slot: then it replaces a job of the same slot still
// waiting last in line, so that after a burst of wishes only the newest is
// carried out. A thread held past its end wait (a hung disk or sound server)
// is left behind, with its own share of the state, and the game goes on.
#include <chrono>
#include <functional>
#include <memory>

namespace kiramoku {

class Worker {
public:
    using Job = std::function<void()>;
    // Jobs of no slot never replace one another.
    static constexpr int NoSlot = 0;

    // `endWait`: how long the end waits for the jobs still to do.
    // `leftBehind`: called when the end leaves the thread behind.
    explicit Worker(std::chrono::milliseconds endWait, std::function<void()> leftBehind = {});
    // Waits at most endWait for the jobs given so far (none, after Drop),
    // then ends the thread or leaves it behind.
    ~Worker();
    Worker(const Worker &) = delete;
    Worker &operator=(const Worker &) = delete;

    // Starts the thread with the first job.
    void Post(Job job, int slot = NoSlot);
    // Forgets the jobs not yet begun.
    void Drop();
    // While the thread would otherwise sleep after a job, it calls `look`
    // every `every` for as long as `look` answers true (the music watching
    // its sound server). Set before the first Post.
    void WhileIdle(std::chrono::milliseconds every, std::function<bool()> look);
    // True once every job given so far is done, waiting at most `wait`.
    bool Settle(std::chrono::milliseconds wait);

private:
    struct Line;
    std::shared_ptr<Line> line_;
    std::chrono::milliseconds endWait_;
    std::function<void()> leftBehind_;
};

}  // namespace kiramoku
