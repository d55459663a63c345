#include "worker.h"

#include <condition_variable>
#include <deque>
#include <mutex>
#include <thread>

namespace kiramoku {

// What the thread shares with its worker; it outlives a worker that leaves it behind.
struct Worker::Line {
    struct Waiting {
        Job job;
        int slot;
    };
    std::mutex mutex;
    std::condition_variable changed;
    std::deque<Waiting> jobs;
    bool busy = false;
    bool ending = false;
    bool ended = false;
    std::thread thread;
    std::chrono::milliseconds idleEvery{};
    std::function<bool()> idleLook;

    static void Run(const std::shared_ptr<Line> &self)
    {
        std::unique_lock lock(self->mutex);
        bool looking = false;
        const auto due = [&] { return self->ending || !self->jobs.empty(); };
        for (;;) {
            if (looking && !self->changed.wait_for(lock, self->idleEvery, due)) {
                lock.unlock();
                looking = self->idleLook();
                lock.lock();
                continue;
            }
            self->changed.wait(lock, due);
            if (self->jobs.empty())
                break;
            const Job job = std::move(self->jobs.front().job);
            self->jobs.pop_front();
            self->busy = true;
            lock.unlock();
            job();
            lock.lock();
            self->busy = false;
            looking = bool(self->idleLook);
            self->changed.notify_all();
        }
        self->ended = true;
        self->changed.notify_all();
    }
};

Worker::Worker(std::chrono::milliseconds endWait, std::function<void()> leftBehind)
    : line_(std::make_shared<Line>()), endWait_(endWait), leftBehind_(std::move(leftBehind))
{
}

Worker::~Worker()
{
    std::unique_lock lock(line_->mutex);
    if (!line_->thread.joinable())
        return;
    line_->ending = true;
    line_->changed.notify_all();
    if (line_->changed.wait_for(lock, endWait_, [this] { return line_->ended; })) {
        lock.unlock();
        line_->thread.join();
        return;
    }
    line_->thread.detach();  // it keeps its share of the line
    if (leftBehind_)
        leftBehind_();
}

void Worker::Post(Job job, int slot)
{
    {
        const std::lock_guard lock(line_->mutex);
        if (slot != NoSlot && !line_->jobs.empty() && line_->jobs.back().slot == slot)
            line_->jobs.pop_back();
        line_->jobs.push_back({std::move(job), slot});
        if (!line_->thread.joinable())
            line_->thread = std::thread(&Line::Run, line_);
    }
    line_->changed.notify_all();
}

void Worker::Drop()
{
    const std::lock_guard lock(line_->mutex);
    line_->jobs.clear();
}

void Worker::WhileIdle(std::chrono::milliseconds every, std::function<bool()> look)
{
    const std::lock_guard lock(line_->mutex);
    line_->idleEvery = every;
    line_->idleLook = std::move(look);
}

bool Worker::Settle(std::chrono::milliseconds wait)
{
    std::unique_lock lock(line_->mutex);
    return line_->changed.wait_for(lock, wait, [this] { return line_->ended || (line_->jobs.empty() && !line_->busy); });
}

}  // namespace kiramoku
