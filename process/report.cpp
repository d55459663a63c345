#include "report.h"

#include <cstdio>

namespace kiramoku {

void Say(const QString &text)
{
    // One write of the whole line to standard error, which is unbuffered.
    const QByteArray line = (QStringLiteral("kiramoku: ") + text + QLatin1Char('\n')).toLocal8Bit();
    std::fwrite(line.constData(), 1, size_t(line.size()), stderr);
}

void OnceALine::Say(const QString &text)
{
    if (!said_.exchange(true))
        kiramoku::Say(text);
}

}  // namespace kiramoku
