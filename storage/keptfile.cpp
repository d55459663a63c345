#include "keptfile.h"

#include "report.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>

namespace kiramoku {

namespace {

// How long the game's end waits for a write still under way.
constexpr std::chrono::milliseconds LastWriteWait{2000};
// How many names a file set aside tries, the first one without a number.
constexpr int AsideNames = 100;
// The new contents are written beside the file, under its name and this (mkostemp's pattern), before they replace it.
const QByteArray NewContentsPattern = QByteArrayLiteral(".XXXXXX");
// A file written where there was none is the player's alone.
constexpr mode_t NewFileMode = S_IRUSR | S_IWUSR;

QString Reason(int error)
{
    return QString::fromLocal8Bit(std::strerror(error));
}

// Only a regular file is read or written over: a pipe may hang, a device may be replaced.
const QString NotARegularFile = QStringLiteral("not a regular file");

SmallFile Refused(QString why)
{
    return {SmallFile::Refused, {}, std::move(why)};
}

// Reads a regular file already found small enough.
SmallFile ReadOpened(int fd, qint64 maxBytes)
{
    QFile file;  // the descriptor stays ours to close
    if (!file.open(fd, QIODevice::ReadOnly | QIODevice::Unbuffered))
        return Refused(file.errorString());
    // One byte more than allowed tells a file that grew since it was looked at.
    const QByteArray bytes = file.read(maxBytes + 1);
    if (bytes.size() > maxBytes)
        return Refused(LargerThan(maxBytes));
    return {SmallFile::Read, bytes, {}};
}

// Writes all of `bytes`, going on where a short or interrupted write stopped: 0, or the error that ended it.
int WriteAll(int fd, const QByteArray &bytes, const FileSteps &steps)
{
    for (qsizetype done = 0; done < bytes.size();) {
        const ssize_t written = steps.write(fd, bytes.constData() + done, size_t(bytes.size() - done));
        if (written > 0)
            done += written;
        else if (written == 0)
            return ENOSPC;  // a disk that takes nothing more is full
        else if (errno != EINTR)
            return errno;
    }
    return 0;
}

// Syncs the folder that holds `name`, so that its new entry outlasts a power cut.
int SyncFolder(const QByteArray &name, const FileSteps &steps)
{
    const QByteArray folder = QFile::encodeName(QFileInfo(QFile::decodeName(name)).absolutePath());
    const int fd = ::open(folder.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        return errno;
    const int error = steps.sync(fd) == 0 ? 0 : errno;
    ::close(fd);
    return error;
}

// Replaces the file `name` by one holding `contents`, written beside it, synced, closed, and only then renamed over it:
// on any failure the old file stays as it was and the new one is removed. 0, or the first error.
int ReplaceWhole(const QByteArray &name, const QByteArray &contents, mode_t mode, const FileSteps &steps)
{
    QByteArray written = name + NewContentsPattern;
    const int fd = ::mkostemp(written.data(), O_CLOEXEC);
    if (fd < 0)
        return errno;
    int error = ::fchmod(fd, mode) == 0 ? WriteAll(fd, contents, steps) : errno;
    if (error == 0 && steps.sync(fd) != 0)
        error = errno;
    // Closed once whatever it answers: the descriptor is gone even when close fails.
    if (steps.close(fd) != 0 && error == 0)
        error = errno;
    if (error == 0 && steps.rename(written.constData(), name.constData()) != 0)
        error = errno;
    if (error == 0)
        return SyncFolder(name, steps);
    ::unlink(written.constData());
    return error;
}

// Gives `from` the name `to` unless `to` is taken: 0, or the error (EEXIST: taken).
int MoveAside(const QByteArray &from, const QByteArray &to, const FileSteps &steps)
{
    if (steps.renameNoReplace(from.constData(), to.constData()) == 0)
        return 0;
    if (errno != EINVAL)
        return errno;
    // A file system that cannot rename without replacing: a second name (which is never taken over), then the first one
    // removed.
    if (::link(from.constData(), to.constData()) != 0)
        return errno;
    return ::unlink(from.constData()) == 0 ? 0 : errno;
}

}  // namespace

const FileSteps SystemSteps{::write, ::fsync, ::close, std::rename, [](const char *from, const char *to) {
                                return ::renameat2(AT_FDCWD, from, AT_FDCWD, to, RENAME_NOREPLACE);
                            }};

QString LargerThan(qint64 maxBytes)
{
    return QStringLiteral("larger than %1 bytes").arg(maxBytes);
}

SmallFile ReadSmallFile(const QString &path, qint64 maxBytes)
{
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0)
        return errno == ENOENT ? SmallFile{} : Refused(Reason(errno));
    struct stat opened {};
    SmallFile result;
    if (::fstat(fd, &opened) != 0)
        result = Refused(Reason(errno));
    else if (!S_ISREG(opened.st_mode))
        result = Refused(NotARegularFile);
    else if (opened.st_size > maxBytes)
        result = Refused(LargerThan(maxBytes));
    else
        result = ReadOpened(fd, maxBytes);
    ::close(fd);
    return result;
}

// The worker's side of the keeper; it outlives a keeper whose last write hangs on the disk.
struct FileKeeper::Work {
    QString path;
    QString failureLine;
    FileSteps steps;
    OnceALine failure;
    bool held = false;  // a file that could not be set aside is left as it is

    QString WriteFile(const QByteArray &contents)
    {
        if (!QDir().mkpath(QFileInfo(path).absolutePath()))
            return QStringLiteral("cannot make its folder");
        // A write replaces what a link in the file's place leads to, and run as root that may be a device: only a
        // regular file is written over.
        const QByteArray name = QFile::encodeName(path);
        struct stat there {};
        const bool found = ::stat(name.constData(), &there) == 0;
        // Something there that cannot be followed to a file (a link to nowhere) is refused too.
        if (found ? !S_ISREG(there.st_mode) : ::lstat(name.constData(), &there) == 0)
            return NotARegularFile;
        const QByteArray target = found ? QFile::encodeName(QFileInfo(path).canonicalFilePath()) : name;
        const int error = ReplaceWhole(target, contents, found ? there.st_mode & ALLPERMS : NewFileMode, steps);
        return error == 0 ? QString() : Reason(error);
    }

    QString Remove() const
    {
        return QFile::remove(path) || !QFileInfo::exists(path) ? QString() : QStringLiteral("cannot remove it");
    }

    // Under the first name not yet taken, never over another file; then says so itself.
    QString SetAside(const QString &suffix, const AsideLine &line)
    {
        const QByteArray from = QFile::encodeName(path);
        int error = EEXIST;
        QString aside;
        for (int number = 1; number <= AsideNames && error == EEXIST; ++number) {
            aside = path + suffix + (number == 1 ? QString() : QStringLiteral("-%1").arg(number));
            error = MoveAside(from, QFile::encodeName(aside), steps);
        }
        held = error != 0;
        Say(held ? line(QString(), Reason(error)) : line(aside, QString()));
        return {};
    }

    void Tell(const QString &why) { failure.Say(failureLine.arg(path, why)); }
};

FileKeeper::FileKeeper(QString path, QString failureLine, const FileSteps &steps)
    : work_(new Work{std::move(path), std::move(failureLine), steps, {}}), worker_(LastWriteWait)
{
}

// The worker's end waits a moment for the last write; a disk that hangs longer is left to it, and the game does not
// wait on it.
FileKeeper::~FileKeeper() = default;

const QString &FileKeeper::Path() const
{
    return work_->path;
}

void FileKeeper::Fail(const QString &reason)
{
    work_->Tell(reason);
}

void FileKeeper::Post(std::function<QString(Work &)> job, int slot)
{
    // Each job runs unless the file is held, and tells its failure.
    auto run = [work = work_, job = std::move(job)] {
        if (const QString why = work->held ? QString() : job(*work); !why.isEmpty())
            work->Tell(why);
    };
    worker_.Post(std::move(run), slot);
}

void FileKeeper::Write(QByteArray contents)
{
    // A write not yet begun is out of date once a newer one comes.
    Post([contents = std::move(contents)](Work &w) { return w.WriteFile(contents); }, Writing);
}

void FileKeeper::Remove()
{
    Post([](Work &w) { return w.Remove(); });
}

void FileKeeper::SetAside(QString suffix, AsideLine line)
{
    Post([suffix = std::move(suffix), line = std::move(line)](Work &w) { return w.SetAside(suffix, line); });
}

}  // namespace kiramoku
