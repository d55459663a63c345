// A failing disk never costs the player a file: the old one stays byte for byte, nothing is left beside it, one line a
// run says why; a file set aside never takes another's place.
#include "caught.h"
#include "fakes.h"
#include "keptgame.h"

#include <QtTest>

#include <optional>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

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
// A link at `path` to a device, which it names (empty when none was made). As root a device of the current folder's
// own: a fault that wrote through the link must not replace /dev/zero.
QString LinkToADevice(const QString &path)
{
    const QString device = geteuid() ? QStringLiteral("/dev/zero") : QDir().absoluteFilePath(QStringLiteral("zero"));
    const bool made = geteuid() || ::mknod(qPrintable(device), S_IFCHR | 0666, makedev(1, 5)) == 0;
    return made && QFile::link(device, path) ? device : QString();
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

    // What lies where the game is kept at the start: a good game is offered; anything else is set aside and said once,
    // or, where it cannot be, left as it is with nothing of this run kept over it, as is a later version's game.
    void theKeptGameIsOfferedSetAsideOrLeftAlone_data()
    {
        // clang-format off
        QTest::addColumn<QString>("kind");     // what lies where the game is kept
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<bool>("offered");
        QTest::addColumn<QString>("result");   // what the start says (%1 the path) | what is said after | the data folder after
        const QByteArray kept = test::KeptGameFile, largest = kept.chopped(1) + QByteArray(16384 - kept.size(), ' ') + '}';
        const QString aside = "kiramoku: the game kept in %1 cannot be read (%2); it is set aside as %1.damaged-TIME\n", notAFile = "not a regular file";
        QTest::newRow("no kept game") << "none" << kept << false << "||saved-game.json new";
        QTest::newRow("a good game, then another kept over it") << "file" << kept << true << "||saved-game.json new";
        QTest::newRow("the largest kept game") << "file" << largest << true << "||saved-game.json new";
        QTest::newRow("a byte too large") << "file" << largest + ' ' << false << aside.arg("%1", "larger than 16384 bytes") + "||saved-game.json new, saved-game.json.damaged-TIME 16385 bytes";
        QTest::newRow("a damaged game") << "file" << QByteArray(kept).replace("\"people\": 2", "\"people\": 5") << false
                                        << aside.arg("%1", "people is not a whole number from 1 to 4") + "||saved-game.json new, saved-game.json.damaged-TIME old";
        QTest::newRow("a later version's game") << "file" << QByteArray(kept).replace("\"format\": 1", "\"format\": 2") << false
                                                << "kiramoku: the game kept in %1 is from a later version of the game (format 2); it is left as it is, and this game is not kept\n||saved-game.json old";
        QTest::newRow("a named pipe") << "pipe" << kept << false << aside.arg("%1", notAFile) + "||saved-game.json new, saved-game.json.damaged-TIME not a file";
        QTest::newRow("a folder") << "folder" << kept << false << aside.arg("%1", notAFile) + "||saved-game.json new, saved-game.json.damaged-TIME/";
        QTest::newRow("a huge sparse file") << "huge" << kept << false << aside.arg("%1", "larger than 16384 bytes") + "||saved-game.json new, saved-game.json.damaged-TIME 1073741824 bytes";
        QTest::newRow("a link to a device") << "device" << kept << false << aside.arg("%1", notAFile) + "||saved-game.json new, saved-game.json.damaged-TIME link";
        QTest::newRow("a file where its folder goes") << "file for folder" << kept << false
                                                      << "kiramoku: the game kept in %1 cannot be read (Not a directory); it could not be set aside (Not a directory), so it is left as it is, and this game is not kept\n||kiramoku is a file";
        QTest::newRow("a link to a device put in its place later") << "device later" << kept << true << "|kiramoku: could not keep the game in progress in %1 (not a regular file)\n|saved-game.json link";
        QTest::newRow("a link to nowhere put in its place later") << "nowhere later" << kept << true << "|kiramoku: could not keep the game in progress in %1 (not a regular file)\n|saved-game.json link";
        QTest::newRow("a game as large as may be kept") << "largest to keep" << kept << true << "||saved-game.json new";
        QTest::newRow("games too large to read back, said once") << "too large" << kept << true << "|kiramoku: the game in progress is too large to keep (N bytes); the last kept game stays\n|saved-game.json old";
        QTest::newRow("a game forgotten twice") << "forget" << kept << true << "||";
        // clang-format on
    }
    void theKeptGameIsOfferedSetAsideOrLeftAlone()
    {
        QFETCH(QString, kind);
        QFETCH(QByteArray, bytes);
        QFETCH(bool, offered);
        QFETCH(QString, result);
        qputenv("XDG_DATA_HOME", QFile::encodeName(QDir::currentPath()));
        const QString path = QDir().absoluteFilePath(QStringLiteral("kiramoku/saved-game.json"));
        QString device;
        QVERIFY(kind == "file for folder" ? Put("kiramoku", bytes) : QDir().mkdir("kiramoku"));
        if (kind == "pipe" || kind == "folder")
            QVERIFY(kind == "pipe" ? ::mkfifo(qPrintable(path), 0600) == 0 : QDir().mkdir(path));
        else if (kind == "device")
            QVERIFY(!(device = LinkToADevice(path)).isEmpty());
        else if (kind != "none" && kind != "file for folder")
            QVERIFY(Put(path, bytes) && (kind != "huge" || QFile(path).resize(qint64(1) << 30)));
        SavedGame other = ReadSavedGame(test::KeptGameFile).game;  // as kept, but for the die
        other.die = 1;
        const uint descriptors = QDir(QStringLiteral("/proc/self/fd")).count();
        std::optional<KeptGame> keeper;
        std::optional<SavedGame> game;
        QString said = test::StandardError([&] { game = keeper.emplace().Offer(); }) + '|';  // a line of the start comes before it ends
        QCOMPARE(game.has_value(), offered);
        QVERIFY(!game || *game == ReadSavedGame(bytes).game);
        if (kind.endsWith("later"))
            QVERIFY(QFile::remove(path) && (kind == "nowhere later" ? QFile::link("/nonexistent/game", path) : !(device = LinkToADevice(path)).isEmpty()));
        said += test::StandardError([&] {
                    // Too large: each name alone larger than a file read back; the largest: a name that fills the file up.
                    const QString fill(int(MaxSavedGameBytes - WriteSavedGame(other).size()), u'a');
                    for (const QString &name : kind == "too large" ? QStringList{QString(6000, u'長'), QString(6000, u'永'), QString(6000, u'久')} : QStringList{kind == "largest to keep" ? fill : ""})
                        other.players[1].name += name, keeper->Keep(other);
                    if (kind == "forget")
                        keeper->Forget(), keeper->Forget();  // the second finds nothing to remove
                    keeper.reset();                          // waits for the write
                })
                + '|';
        said.replace(QRegularExpression("\\d{8}-\\d{6}-\\d{3}"), "TIME").replace(QRegularExpression("\\(\\d+ bytes\\)"), "(N bytes)");
        QStringList folder;
        for (const QFileInfo &entry : QDir("kiramoku").entryInfoList(QDir::AllEntries | QDir::System | QDir::NoDotAndDotDot, QDir::Name)) {
            QFile file(entry.filePath());
            const QByteArray read = entry.isFile() && entry.size() <= MaxSavedGameBytes && file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
            folder << entry.fileName().replace(QRegularExpression("\\d{8}-\\d{6}-\\d{3}"), "TIME")
                          + (entry.isSymLink() ? " link" : entry.isDir()               ? "/"
                                                       : !entry.isFile()               ? " not a file"
                                                       : read == bytes                 ? " old"
                                                       : read == WriteSavedGame(other) ? " new"
                                                                                       : QString(" %1 bytes").arg(entry.size()));
        }
        QCOMPARE(said + (QFileInfo("kiramoku").isFile() ? "kiramoku is a file" : folder.join(", ")), QString(result).replace("%1", path));
        QVERIFY(device.isEmpty() || !QFileInfo(device).isFile());              // the device stays as it was
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
