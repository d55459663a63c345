// Whatever the tune file holds, or whatever is missing, every command returns
// quietly, nothing is left stuck, and the music works again with a good tune.
// (Damaged copies of the tune by the hundred are the tune fuzzer's work.)
#include "midibytes.h"
#include "musictest.h"
#include "sequencer.h"

#include <QTemporaryDir>
#include <QtTest>

#include <random>

using namespace kiramoku;
using namespace kiramoku::test;

class TestBadFiles : public QObject {
    Q_OBJECT

    QTemporaryDir dir_;

    QString Make(const QString &name, const QByteArray &bytes, qint64 size = -1)
    {
        QFile file(dir_.filePath(name));
        const bool made = file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size() && (size < 0 || file.resize(size));
        return made ? file.fileName() : QString();
    }

private slots:
    void aBadTuneFileLeavesTheGameRunning_data()
    {
        // clang-format off
        QTest::addColumn<QString>("path");
        QTest::addColumn<QString>("why");  // the reason its reading gives, %1 the path; empty: read, then refused as a tune
        QFile built(BuiltTune());
        QVERIFY(built.open(QIODevice::ReadOnly));
        const QByteArray tune = built.readAll();
        std::mt19937 random(4);
        QByteArray noise(4096, '\0');
        std::generate(noise.begin(), noise.end(), [&] { return char(random() & 0xFF); });
        const QString read, missing = "the tune file %1 is missing", notAFile = "the tune file %1 is not a regular file",
                            tooLarge = "the tune file %1 is too large";
        const qint64 mebibyte = qint64(1) << 20;
        QTest::newRow("a missing file") << dir_.filePath(QStringLiteral("missing.mid")) << missing;
        QTest::newRow("no file name at all") << QString() << missing;
        QTest::newRow("an empty file") << Make(QStringLiteral("empty.mid"), {}) << read;
        QTest::newRow("the tune cut after its header") << Make(QStringLiteral("header.mid"), tune.left(22)) << read;
        QTest::newRow("the tune cut in half") << Make(QStringLiteral("half.mid"), tune.left(tune.size() / 2)) << read;
        QTest::newRow("the tune one byte short") << Make(QStringLiteral("short.mid"), tune.chopped(1)) << read;
        QTest::newRow("random bytes") << Make(QStringLiteral("random.mid"), noise) << read;
        QTest::newRow("random bytes behind a MIDI header") << Make(QStringLiteral("header-random.mid"), Header(1, 4, 480) + noise) << read;
        // Found by the tune fuzzer: a quarter note of 1 microsecond at 32767
        // ticks a quarter ran the player's position count past its largest
        // number while the last notes rang out.
        QTest::newRow("a tempo too fast for the player to count")
            << Make(QStringLiteral("fast.mid"), Header(0, 1, 32767) + Track(Bytes({0x00}) + Tempo(1) + OneNote())) << read;
        QTest::newRow("a text file") << Make(QStringLiteral("notes.mid"), "not a tune at all\n") << read;
        QTest::newRow("a folder") << dir_.path() << notAFile;
        QTest::newRow("a device that never ends") << QStringLiteral("/dev/zero") << notAFile;
        QTest::newRow("a file that cannot be read") << QStringLiteral("/proc/self/mem") << QStringLiteral("the tune file %1 cannot be read");
        // 64 MiB with a good beginning: refused by its size, never read in; 1 MiB is the most read.
        QTest::newRow("a huge file") << Make(QStringLiteral("huge.mid"), tune, 64 * mebibyte) << tooLarge;
        QTest::newRow("1 MiB") << Make(QStringLiteral("largest.mid"), noise, mebibyte) << read;
        QTest::newRow("1 MiB and a byte") << Make(QStringLiteral("larger.mid"), noise, mebibyte + 1) << tooLarge;
        QTest::newRow("a file that tells no size: read to a byte past 1 MiB, then refused") << QStringLiteral("/proc/kallsyms") << read;
        // clang-format on
    }

    void aBadTuneFileLeavesTheGameRunning()
    {
        QFETCH(QString, path);
        QFETCH(QString, why);
        std::string said;
        TuneFile file;
        QVERIFY(!file.Load(path.toStdString(), said));
        const qint64 whole = path.startsWith(QLatin1String("/proc/")) ? (qint64(1) << 20) + 1 : QFileInfo(path).size();
        QCOMPARE(qint64(file.bytes.size()), why.isEmpty() ? whole : 0);  // the whole file, or nothing
        QCOMPARE(file.reads, why.isEmpty() ? 1 : 0);
        const QString told = QString::fromStdString(said);
        if (why.isEmpty())
            QVERIFY2(told.startsWith(QStringLiteral("the tune file %1 is not a tune we can play: ").arg(path)), qPrintable(told));
        else
            QCOMPARE(told, why.arg(path));
        OfflineMusic music;
        music.Start(path);
        music.Render(200);
        music.Tick();
        music.control.SetCommand(QStringLiteral("Pause"));
        music.Tick();
        QVERIFY(music.Settle());
        QCOMPARE(music.Status().state, TuneState::Closed);
        QCOMPARE(music.Status().opens, 0);
        QCOMPARE(music.output->Starts(), 0);  // the sound device was never taken
        QCOMPARE(music.Render(200).Rms(), 0.0);
        // Then the good tune plays from its start.
        music.control.SetFileName(BuiltTune());
        music.Tick();
        QVERIFY(music.Settle());
        QCOMPARE(music.Status().state, TuneState::Playing);
        QVERIFY(music.Render(1000).Rms() > 0.01);
        music.control.SetFileName(path);  // and the bad file opened over it closes it
        music.Command("Open");
        QVERIFY(music.Settle() && music.Status().state == TuneState::Closed);
    }

    // The board may close while the SoundFont is still loading.
    void aControlDestroyedRightAfterOpeningLetsTheDeviceGo()
    {
        for (int i = 0; i < 10; ++i) {
            auto output = std::make_shared<OfflineAudioOutput>();
            {
                MMControl control(SequencerOptions{DefaultSoundFonts(), output});
                control.SetFileName(BuiltTune());
                control.SetCommand(QStringLiteral("Open"));
                control.SetCommand(QStringLiteral("Play"));
            }
            QVERIFY(!output->Running());
        }
    }
};

QTEST_GUILESS_MAIN(TestBadFiles)
#include "test_badfiles.moc"
