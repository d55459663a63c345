#pragma once
// What a test's own code writes on the process's standard error.
#include <QString>
#include <QTemporaryFile>

#include <cstdio>
#include <functional>

#include <unistd.h>

namespace kiramoku::test {

inline QString StandardError(const std::function<void()> &run)
{
    QTemporaryFile caught;
    if (!caught.open())
        return QStringLiteral("(nothing to catch it in)");
    std::fflush(stderr);
    const int kept = ::dup(STDERR_FILENO);
    ::dup2(caught.handle(), STDERR_FILENO);
    run();
    std::fflush(stderr);
    ::dup2(kept, STDERR_FILENO);
    ::close(kept);
    caught.seek(0);
    return QString::fromUtf8(caught.readAll());
}

}  // namespace kiramoku::test
