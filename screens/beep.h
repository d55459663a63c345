#pragma once
// The desktop's standard alert sound, played off the user-interface thread so
// that a walk never waits for the sound system.
#include <condition_variable>
#include <mutex>
#include <thread>

namespace kiramoku::screens {

class Beeper {
public:
    Beeper();
    ~Beeper();
    Beeper(const Beeper &) = delete;
    Beeper &operator=(const Beeper &) = delete;

    void Play();

private:
    void Run();

    std::mutex mutex_;
    std::condition_variable wake_;
    int pending_ = 0;
    bool stopping_ = false;
    std::thread worker_;
};

} // namespace kiramoku::screens
