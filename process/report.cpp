#include "report.h"

#include <cstdio>

namespace kiramoku {

void Say(const QString &text)
{
    const QByteArray line = (QStringLiteral("kiramoku: ") + text + QLatin1Char('\n')).toLocal8Bit();
    std::fwrite(line.constData(), 1, size_t(line.size()), stderr);
    std::fflush(stderr);
}

bool OnceALine::Say(const QString &text)
{
    if (said_.exchange(true))
        return false;
    kiramoku::Say(text);
    return true;
}

}  // namespace kiramoku
