#pragma once
// The benchmark drivers' look at their own process in /proc (proc(5)).
#include <QByteArray>
#include <QFile>
#include <QList>
#include <QString>

#include <chrono>
#include <cstdio>

namespace kiramoku::bench {

// How long the music has to be gone before the memory is looked at: the
// music's release ends within a second (sequencer.h).
constexpr std::chrono::milliseconds OffSettle{2000};

inline QByteArray ReadProc(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// The resident memory and its parts: anonymous pages are the heaps, file
// pages the program's and libraries' own.
inline void PrintResident(const char *when)
{
    const QList<QByteArray> lines = ReadProc(QStringLiteral("/proc/self/status")).split('\n');
    auto kilobytes = [&lines](const QByteArray &field) {
        for (const QByteArray &line : lines) {
            if (line.startsWith(field + ':'))
                return line.mid(field.size() + 1).trimmed().split(' ').value(0).toLongLong();
        }
        return -1LL;
    };
    std::printf("%s: resident %lld kB (anonymous %lld kB, files %lld kB, shared memory %lld kB)\n", when,
                kilobytes("VmRSS"), kilobytes("RssAnon"), kilobytes("RssFile"), kilobytes("RssShmem"));
    std::fflush(stdout);
}

}  // namespace kiramoku::bench
