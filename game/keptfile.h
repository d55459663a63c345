#pragma once
// The player's own small files (the saved game, the music choice), read and
// written so that nothing in the player's folders can hang, freeze or flood
// the game: a pipe, a directory, a device or a huge file in their place is
// refused at once, and every write happens on a worker, never on the
// window's thread.
#include <QByteArray>
#include <QString>

#include <chrono>
#include <memory>

namespace kiramoku {

struct SmallFile {
    enum Status { Absent, Read, Refused };
    Status status = Absent;
    QByteArray bytes;   // when Read
    QString why;        // when Refused: what was found instead, in a few words
};

// Opens without waiting (a pipe swapped in answers at once), then looks at
// what was opened: only a regular file of at most `maxBytes` is read.
SmallFile ReadSmallFile(const QString &path, qint64 maxBytes);

// Writes one file from a worker thread of its own. Each write replaces the
// whole file atomically, so after a crash or a power cut it holds either the
// previous contents or the new ones; writes waiting behind a slow disk give
// way to the newest. The first failure of a run is told in one line on
// standard error, never more.
class FileKeeper {
public:
    // `failureLine` is that line, with %1 for the path and %2 for the reason.
    FileKeeper(QString path, QString failureLine);
    // Waits a moment for the last write; a disk that hangs longer is left to it.
    ~FileKeeper();
    FileKeeper(const FileKeeper &) = delete;
    FileKeeper &operator=(const FileKeeper &) = delete;

    const QString &Path() const;
    void Write(QByteArray contents);
    void Remove();
    // Renames the file beside itself, with `suffix` added, for the player to send in.
    void SetAside(QString suffix);
    // True once everything asked so far is done, waiting at most `wait`.
    bool Settle(std::chrono::milliseconds wait);
    // Tells a failure found outside the worker (a file that cannot be
    // written over), as the line of the run's first failure.
    void Fail(const QString &reason);

private:
    struct Work;
    std::shared_ptr<Work> work_;
};

} // namespace kiramoku
