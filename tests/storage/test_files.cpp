// A failing disk never costs the player a file: the old one stays byte for byte, nothing is
// left beside it, one line a run says why; a file set aside never takes another's place.
#include "caught.h"
#include "keptfile.h"

#include <QtTest>

#include <optional>
#include <sys/mount.h>
#include <sys/stat.h>

using namespace kiramoku;

namespace {
constexpr std::chrono::seconds Patience{30};
// The step that fails: its calls from `from` on, `count` of them, with `error` (a write given 0 writes nothing).
struct Fault {
    QByteArray step;
    int from = 0, count = 0, error = 0, calls = 0;
} fault;
bool Fails(const char *step)
{
    const int call = fault.step == step ? fault.calls++ : -1;
    return call >= fault.from && call < fault.from + fault.count && (errno = fault.error, true);
}
// Every write takes 3 bytes at most, as a disk short of space may.
const FileSteps Faulty{[](int fd, const void *b, size_t n) -> ssize_t { return Fails("write") ? -!!errno : ::write(fd, b, std::min<size_t>(n, 3)); },
                       [](int fd) { return Fails("sync") ? -1 : ::fsync(fd); }, [](int fd) { return ::close(fd), Fails("close") ? -1 : 0; },
                       [](const char *a, const char *b) { return Fails("rename") ? -1 : std::rename(a, b); },
                       [](const char *a, const char *b) { return Fails("aside") ? -1 : SystemSteps.renameNoReplace(a, b); }};
bool Put(const QString &name, const QByteArray &bytes)
{
    QFile file(name);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size() && file.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup);
}
// The current folder: each file's name, mode and contents, each folder's name and a slash.
QString Folder()
{
    QStringList seen;
    for (const QString &name : QDir().entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot, QDir::Name)) {
        QFile file(name);
        struct stat there {};
        ::stat(qPrintable(name), &there);
        seen << (S_ISDIR(there.st_mode) ? name + '/' : QString::asprintf("%s %o ", qPrintable(name), there.st_mode & 0777) + (file.open(QIODevice::ReadOnly) ? file.readAll() : "?"));
    }
    return seen.join(QStringLiteral(", "));
}
}  // namespace
Q_DECLARE_METATYPE(Fault)

class TestFiles : public QObject {
    Q_OBJECT
    std::optional<QTemporaryDir> dir_;

private slots:
    void init() { QVERIFY(dir_.emplace().isValid() && QDir::setCurrent(dir_->path())); }

    void aFileIsReplacedWholeOrNotAtAll_data()
    {
        // clang-format off
        QTest::addColumn<Fault>("failing");
        QTest::addColumn<QString>("aside");        // the suffix "game" is first set aside with, if any
        QTest::addColumn<QStringList>("taken");    // names there beside "game" (folders end in /)
        QTest::addColumn<QString>("result");       // what is said, then the folder after two writes
        const QString old = "game 640 old", full = "kiramoku: could not keep game (No space left on device)\n", broken = "kiramoku: could not keep game (Input/output error)\n";
        QTest::newRow("every step going through") << Fault{} << "" << QStringList() << "game 640 a new game";
        QTest::newRow("the first write: over quota") << Fault{"write", 0, 1, EDQUOT} << "" << QStringList() << "kiramoku: could not keep game (Disk quota exceeded)\n" + old;
        QTest::newRow("a short write, then no space") << Fault{"write", 1, 1, ENOSPC} << "" << QStringList() << full + old;
        QTest::newRow("a write that writes nothing") << Fault{"write", 2, 1, 0} << "" << QStringList() << full + old;
        QTest::newRow("an interrupted write, taken up again") << Fault{"write", 1, 1, EINTR} << "" << QStringList() << "game 640 a new game";
        QTest::newRow("the file's sync: EIO") << Fault{"sync", 0, 1, EIO} << "" << QStringList() << broken + old;
        QTest::newRow("the close: EIO") << Fault{"close", 0, 1, EIO} << "" << QStringList() << broken + old;
        QTest::newRow("the rename: EXDEV") << Fault{"rename", 0, 1, EXDEV} << "" << QStringList() << "kiramoku: could not keep game (Invalid cross-device link)\n" + old;
        QTest::newRow("the folder's sync, after the rename: EIO") << Fault{"sync", 1, 1, EIO} << "" << QStringList() << broken + "game 640 a new game";
        QTest::newRow("set aside under a free name") << Fault{} << ".d" << QStringList() << "kiramoku: aside as game.d ()\ngame 600 a new game, game.d 640 old";
        QTest::newRow("its name taken by a file, the next by a folder") << Fault{} << ".d" << QStringList{"game.d", "game.d-2/"}
                                                                        << "kiramoku: aside as game.d-3 ()\ngame 600 a new game, game.d 640 taken, game.d-2/, game.d-3 640 old";
        QTest::newRow("no rename without replacing; its name taken") << Fault{"aside", 0, 9, EINVAL} << ".d" << QStringList{"game.d"}
                                                                     << "kiramoku: aside as game.d-2 ()\ngame 600 a new game, game.d 640 taken, game.d-2 640 old";
        QTest::newRow("ninety-nine names taken") << Fault{"aside", 0, 99, EEXIST} << ".d" << QStringList() << "kiramoku: aside as game.d-100 ()\ngame 600 a new game, game.d-100 640 old";
        QTest::newRow("a hundred names taken: left where it is") << Fault{"aside", 0, 100, EEXIST} << ".d" << QStringList() << "kiramoku: aside as  (File exists)\n" + old;
        QTest::newRow("no right to rename it: left where it is") << Fault{"aside", 0, 1, EACCES} << ".d" << QStringList() << "kiramoku: aside as  (Permission denied)\n" + old;
        // clang-format on
    }
    void aFileIsReplacedWholeOrNotAtAll()
    {
        QFETCH(Fault, failing);
        QFETCH(QString, aside);
        QFETCH(QStringList, taken);
        QFETCH(QString, result);
        for (const QString &name : QStringList{"game"} + taken)
            QVERIFY(name.endsWith('/') ? QDir().mkdir(name) : Put(name, name == "game" ? "old" : "taken"));
        const uint descriptors = QDir(QStringLiteral("/proc/self/fd")).count();
        FileKeeper keeper(QStringLiteral("game"), QStringLiteral("could not keep %1 (%2)"), Faulty);
        fault = failing;
        const QString said = test::StandardError([&] {
            if (!aside.isEmpty())
                keeper.SetAside(aside, [](const QString &name, const QString &why) { return QStringLiteral("aside as %1 (%2)").arg(name, why); });
            for (int time = 0; time < 2; ++time)  // a second failure of the run is not told
                keeper.Write("a new game"), keeper.Settle(Patience), fault.calls = 0;
        });
        QCOMPARE(said + Folder(), result);
        QCOMPARE(QDir(QStringLiteral("/proc/self/fd")).count(), descriptors);  // none left open
    }

    void aFullDiskLeavesTheOldFile()
    {
        if (::mount("tmpfs", ".", "tmpfs", 0, "size=64k") != 0)
            QSKIP(qPrintable(QStringLiteral("no file system of our own to fill: %1").arg(strerror(errno))));
        const auto unmount = qScopeGuard([] { ::umount2(qPrintable(QDir::currentPath()), MNT_DETACH); });
        QFile fill(QStringLiteral("full/fill"));
        QVERIFY(QDir::setCurrent(QDir::currentPath()) && Put("game", "old") && QDir().mkdir("full") && fill.open(QIODevice::WriteOnly | QIODevice::Unbuffered));
        while (fill.write(QByteArray(4096, 0)) == 4096 || fill.write("", 1) == 1) {}
        FileKeeper keeper(QStringLiteral("game"), QStringLiteral("could not keep %1 (%2)"));
        QCOMPARE(test::StandardError([&] { keeper.Write(QByteArray(8192, 'g')), keeper.Settle(Patience); }) + Folder(),
                 "kiramoku: could not keep game (No space left on device)\nfull/, game 640 old");
    }
};

QTEST_GUILESS_MAIN(TestFiles)
#include "test_files.moc"
