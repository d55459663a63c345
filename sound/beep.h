#pragma once
// The desktop's standard alert sound, played off the user-interface thread so
// that a walk never waits for the sound system.
#include "worker.h"

#include <chrono>
#include <memory>

namespace kiramoku {

class Beeper {
public:
    // A beep not yet played this long after it was asked for is dropped.
    static constexpr std::chrono::milliseconds StaleAfter{300};
    // How long the end waits for the beep thread before leaving it behind.
    static constexpr std::chrono::milliseconds EndWait{150};

    Beeper();
    ~Beeper();

    void Play();

private:
    struct Bell;
    std::shared_ptr<Bell> bell_;
    Worker worker_;  // last: it ends before the bell goes
};

}  // namespace kiramoku
