#pragma once
// The player's own small files (the saved game, the music choice), read and written so that nothing in the player's
// folders can hang, freeze or flood the game: a pipe, a directory, a device or a huge file in their place is refused at
// once, and every write happens on a worker, never on the window's thread.
#include "worker.h"

#include <QByteArray>
#include <QString>

#include <chrono>
#include <functional>
#include <memory>

#include <sys/types.h>

namespace kiramoku {

struct SmallFile {
    enum Status { Absent,
                  Read,
                  Refused };
    Status status = Absent;
    QByteArray bytes;  // when Read
    QString why;       // when Refused: what was found instead, in a few words
};

// Opens without waiting (a pipe swapped in answers at once), then looks at what was opened: only a regular file of at
// most `maxBytes` is read.
SmallFile ReadSmallFile(const QString &path, qint64 maxBytes);
// The reason given for a file of more than `maxBytes`.
QString LargerThan(qint64 maxBytes);

// The system calls a file is written and set aside through, POSIX's own unless a test puts in others to make one of
// them fail.
struct FileSteps {
    ssize_t (*write)(int fd, const void *bytes, size_t count);
    int (*sync)(int fd);  // the file's contents, then its folder's entry
    int (*close)(int fd);
    int (*rename)(const char *from, const char *to);
    // Fails with EEXIST where `to` is taken, with EINVAL where the file system cannot tell.
    int (*renameNoReplace)(const char *from, const char *to);
};
extern const FileSteps SystemSteps;

// Writes one file from a worker thread of its own. Each write replaces the whole file only once the new one is on the
// disk, so after a full disk, a crash or a power cut it holds either the previous contents or the new ones, never less;
// writes waiting behind a slow disk give way to the newest. The first failure of a run is told in one line on standard
// error, never more.
class FileKeeper {
public:
    // `failureLine` is that line after its "kiramoku: ", with %1 for the path and %2 for the reason.
    FileKeeper(QString path, QString failureLine, const FileSteps &steps = SystemSteps);
    // Waits a moment for the last write; a disk that hangs longer is left to it.
    ~FileKeeper();
    FileKeeper(const FileKeeper &) = delete;
    FileKeeper &operator=(const FileKeeper &) = delete;

    const QString &Path() const;
    void Write(QByteArray contents);
    void Remove();
    // What is said once a file is set aside: `aside` is the name it took, or empty when it could not be set aside, and
    // `reason` then says why.
    using AsideLine = std::function<QString(const QString &aside, const QString &reason)>;
    // Renames the file beside itself, with `suffix` added (and -2, -3 … when that name is taken: nothing is replaced),
    // for the player to send in, then says `line`. A file that cannot be set aside is neither written over nor removed
    // by this keeper from then on.
    void SetAside(QString suffix, AsideLine line);
    // True once everything asked so far is done, waiting at most `wait`.
    bool Settle(std::chrono::milliseconds wait) { return worker_.Settle(wait); }
    // Tells a failure found outside the worker (a file that cannot be written over), as the line of the run's first
    // failure.
    void Fail(const QString &reason);

private:
    enum Slot { Writing = 1 };
    struct Work;
    void Post(std::function<QString(Work &)> job, int slot = Worker::NoSlot);
    std::shared_ptr<Work> work_;
    Worker worker_;  // last: it ends before the keeper's own goes
};

}  // namespace kiramoku
