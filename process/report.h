#pragma once
// The game's own lines on standard error, each "kiramoku: " and one line of
// text, written whole. A line about something that stays so for the rest of
// the run (no music, a file that cannot be written) is said once.
#include <QString>

#include <atomic>

namespace kiramoku {

// Says "kiramoku: <text>" at once. Any thread.
void Say(const QString &text);

// One line of a run: the first call says it, later calls are silent.
class OnceALine {
public:
    void Say(const QString &text);  // any thread

private:
    std::atomic<bool> said_{false};
};

}  // namespace kiramoku
