#include "leftbehind.h"

#include "report.h"

#include <atomic>
#include <cstdio>
#include <cstdlib>

namespace kiramoku {

static std::atomic<int> leftBehind{0};

void NoteThreadLeftBehind()
{
    ++leftBehind;
}

bool ThreadsLeftBehind()
{
    return leftBehind > 0;
}

int FinishProcess(int status)
{
    if (!ThreadsLeftBehind())
        return status;
    Say(QStringLiteral("the sound server does not answer; leaving without waiting for it"));
    std::fflush(nullptr);
    std::_Exit(status);
}

}  // namespace kiramoku
