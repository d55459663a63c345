#include "keptfile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

#include <cerrno>
#include <condition_variable>
#include <cstdio>
#include <cstring>
#include <deque>
#include <fcntl.h>
#include <mutex>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

namespace kiramoku {

namespace {

// How long the game's end waits for a write still under way.
constexpr std::chrono::milliseconds LastWriteWait{2000};

QString Reason(int error)
{
    return QString::fromLocal8Bit(std::strerror(error));
}

// Only a regular file is read or written over: a pipe may hang, a device may
// be replaced.
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
        return Refused(QStringLiteral("larger than %1 bytes").arg(maxBytes));
    return {SmallFile::Read, bytes, {}};
}

} // namespace

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
        result = Refused(QStringLiteral("larger than %1 bytes").arg(maxBytes));
    else
        result = ReadOpened(fd, maxBytes);
    ::close(fd);
    return result;
}

// What the worker shares with the keeper; it outlives a keeper whose last
// write hangs on the disk.
struct FileKeeper::Work : std::enable_shared_from_this<FileKeeper::Work> {
    struct Job {
        enum Kind { Writing, Removing, SettingAside } kind;
        QByteArray contents;   // Writing
        QString suffix;        // SettingAside
    };

    QString path;
    QString failureLine;
    std::mutex mutex;
    std::condition_variable changed;
    std::deque<Job> jobs;
    bool busy = false;
    bool stopping = false;
    bool started = false;
    bool failureTold = false;
    std::thread thread;

    void Add(Job job)
    {
        {
            std::lock_guard lock(mutex);
            // A write not yet begun is out of date once a newer one comes.
            if (job.kind == Job::Writing && !jobs.empty() && jobs.back().kind == Job::Writing)
                jobs.pop_back();
            jobs.push_back(std::move(job));
            StartOnce(lock);
        }
        changed.notify_all();
    }

    void StartOnce(const std::lock_guard<std::mutex> &)
    {
        if (started)
            return;
        started = true;
        thread = std::thread([self = shared_from_this()] { self->Run(); });
    }

    void Run()
    {
        std::unique_lock lock(mutex);
        for (;;) {
            changed.wait(lock, [this] { return stopping || !jobs.empty(); });
            if (jobs.empty())
                return;
            Job job = std::move(jobs.front());
            jobs.pop_front();
            busy = true;
            lock.unlock();
            const QString failure = Do(job);
            lock.lock();
            busy = false;
            if (!failure.isEmpty())
                Tell(failure);
            changed.notify_all();
        }
    }

    QString Do(const Job &job)
    {
        switch (job.kind) {
        case Job::Writing:
            return WriteFile(job.contents);
        case Job::Removing:
            return QFile::remove(path) || !QFileInfo::exists(path) ? QString() : QStringLiteral("cannot remove it");
        case Job::SettingAside:
            return std::rename(QFile::encodeName(path).constData(), QFile::encodeName(path + job.suffix).constData()) == 0
                ? QString()
                : Reason(errno);
        }
        return {};
    }

    QString WriteFile(const QByteArray &contents)
    {
        if (!QDir().mkpath(QFileInfo(path).absolutePath()))
            return QStringLiteral("cannot make its folder");
        // The writer replaces whatever a link in the file's place leads to, and
        // run as root that may be a device: only a regular file is written over.
        const QByteArray name = QFile::encodeName(path);
        struct stat there {};
        // Something there that cannot be followed to a file (a link to nowhere) is refused too.
        if (::stat(name.constData(), &there) == 0 ? !S_ISREG(there.st_mode) : ::lstat(name.constData(), &there) == 0)
            return NotARegularFile;
        QSaveFile file(path);
        if (!file.open(QIODevice::WriteOnly) || file.write(contents) != contents.size() || !file.commit())
            return file.errorString();
        return {};
    }

    void Tell(const QString &failure)
    {
        if (failureTold)
            return;
        failureTold = true;
        std::fprintf(stderr, "%s\n", qPrintable(failureLine.arg(path, failure)));
        std::fflush(stderr);
    }

    bool Settle(std::chrono::milliseconds wait)
    {
        std::unique_lock lock(mutex);
        return changed.wait_for(lock, wait, [this] { return jobs.empty() && !busy; });
    }
};

FileKeeper::FileKeeper(QString path, QString failureLine) : work_(std::make_shared<Work>())
{
    work_->path = std::move(path);
    work_->failureLine = std::move(failureLine);
}

const QString &FileKeeper::Path() const
{
    return work_->path;
}

void FileKeeper::Fail(const QString &reason)
{
    std::lock_guard lock(work_->mutex);
    work_->Tell(reason);
}

FileKeeper::~FileKeeper()
{
    const bool settled = Settle(LastWriteWait);
    {
        std::lock_guard lock(work_->mutex);
        work_->stopping = true;
    }
    work_->changed.notify_all();
    if (!work_->thread.joinable())
        return;
    // A worker stuck on a hung disk is left to it: the game does not wait on it.
    if (settled)
        work_->thread.join();
    else
        work_->thread.detach();
}

void FileKeeper::Write(QByteArray contents)
{
    work_->Add({Work::Job::Writing, std::move(contents), {}});
}

void FileKeeper::Remove()
{
    work_->Add({Work::Job::Removing, {}, {}});
}

void FileKeeper::SetAside(QString suffix)
{
    work_->Add({Work::Job::SettingAside, {}, std::move(suffix)});
}

bool FileKeeper::Settle(std::chrono::milliseconds wait)
{
    return work_->Settle(wait);
}

} // namespace kiramoku
