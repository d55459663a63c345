// Whatever the tune file holds, or whatever is missing, every command returns
// quietly, nothing is left stuck, and the music works again with a good tune.
#include "midibytes.h"
#include "musictest.h"
#include "tunecheck.h"

#include <QTemporaryDir>
#include <QtTest>

#include <random>

using namespace kiramoku;
using namespace kiramoku::test;

namespace {

QByteArray ReadAll(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

bool Write(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write(bytes) == bytes.size();
}

QByteArray RandomBytes(std::mt19937 &random, int count)
{
    QByteArray bytes(count, '\0');
    for (char &b : bytes)
        b = static_cast<char>(random() & 0xFF);
    return bytes;
}

// A copy of the tune with one kind of damage, chosen by the random source.
QByteArray Mutate(const QByteArray &tune, std::mt19937 &random)
{
    QByteArray copy = tune;
    auto at = [&](qsizetype size) { return static_cast<qsizetype>(random() % std::uint32_t(size)); };
    switch (random() % 7) {
    case 0:  // a few bytes changed anywhere
        for (int i = 0, n = 1 + int(random() % 4); i < n; ++i)
            copy[at(copy.size())] = static_cast<char>(random() & 0xFF);
        break;
    case 1:  // cut short
        copy.truncate(at(copy.size()));
        break;
    case 2:  // a byte set to one the reader has to treat with care
        copy[at(copy.size())] = static_cast<char>(std::array{0x00, 0x7F, 0x80, 0xF0, 0xF7, 0xFF}[random() % 6]);
        break;
    case 3:  // random bytes slipped in
        copy.insert(at(copy.size()), RandomBytes(random, 1 + int(random() % 16)));
        break;
    case 4:  // a stretch taken out
        copy.remove(at(copy.size()), 1 + int(random() % 32));
        break;
    case 5: {  // a chunk length changed
        const qsizetype track = copy.indexOf("MTrk", at(copy.size() - 8));
        const qsizetype where = track >= 0 ? track + 4 : 4;
        copy.replace(where, 4, BigEndian(std::uint32_t(random()), 4));
        break;
    }
    default:  // a stretch copied over another place
        {
            const qsizetype from = at(copy.size()), to = at(copy.size());
            const qsizetype length = std::min<qsizetype>(1 + qsizetype(random() % 24), copy.size() - std::max(from, to));
            copy.replace(to, length, copy.mid(from, length));
        }
        break;
    }
    return copy;
}

// After whatever went before, the control plays the good tune from its start.
void PlaysAgain(OfflineMusic &music)
{
    music.control.SetFileName(BuiltTune());
    music.Tick();
    QVERIFY(music.Settle());
    QCOMPARE(music.Status().state, TuneState::Playing);
    QVERIFY(music.Render(1000).Rms() > 0.01);
}

} // namespace

class TestBadFiles : public QObject {
    Q_OBJECT

    QTemporaryDir dir_;

    QString Make(const QString &name, const QByteArray &bytes)
    {
        const QString path = dir_.filePath(name);
        return Write(path, bytes) ? path : QString();
    }

private slots:
    void aBadTuneFileLeavesTheGameRunning_data()
    {
        QTest::addColumn<QString>("path");
        const QByteArray tune = ReadAll(BuiltTune());
        std::mt19937 random(4);
        QTest::newRow("a missing file") << dir_.filePath(QStringLiteral("missing.mid"));
        QTest::newRow("no file name at all") << QString();
        QTest::newRow("an empty file") << Make(QStringLiteral("empty.mid"), {});
        QTest::newRow("the tune cut after its header") << Make(QStringLiteral("header.mid"), tune.left(22));
        QTest::newRow("the tune cut in half") << Make(QStringLiteral("half.mid"), tune.left(tune.size() / 2));
        QTest::newRow("the tune one byte short") << Make(QStringLiteral("short.mid"), tune.chopped(1));
        QTest::newRow("random bytes") << Make(QStringLiteral("random.mid"), RandomBytes(random, 4096));
        QTest::newRow("random bytes behind a MIDI header")
            << Make(QStringLiteral("header-random.mid"), Header(1, 4, 480) + RandomBytes(random, 4096));
        // Found by the tune fuzzer: a quarter note of 1 microsecond at 32767
        // ticks a quarter ran the player's position count past its largest
        // number while the last notes rang out.
        QTest::newRow("a tempo too fast for the player to count")
            << Make(QStringLiteral("fast.mid"), Header(0, 1, 32767) + Track(Bytes({0x00}) + Tempo(1) + OneNote()));
        QTest::newRow("a text file") << Make(QStringLiteral("notes.mid"), "not a tune at all\n");
        QTest::newRow("a folder") << dir_.path();
        QTest::newRow("a device that never ends") << QStringLiteral("/dev/zero");

        // 64 MiB with a good beginning: refused by its size, never read in.
        const QString huge = Make(QStringLiteral("huge.mid"), tune);
        QFile file(huge);
        if (file.open(QIODevice::ReadWrite))
            file.resize(qint64(64) << 20);
        QTest::newRow("a huge file") << huge;
    }

    void aBadTuneFileLeavesTheGameRunning()
    {
        QFETCH(QString, path);
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
        PlaysAgain(music);
    }

    // Hundreds of damaged copies of the tune, each opened, played a moment,
    // paused and restarted: the sequencer opens exactly those the check
    // accepts, never gets stuck, and plays the real tune afterwards.
    void aFewHundredDamagedCopiesOfTheTuneLeaveTheGameRunning()
    {
        const QByteArray tune = ReadAll(BuiltTune());
        QVERIFY(!tune.isEmpty());
        OfflineMusic music;
        std::mt19937 random(20240607);
        int opened = 0, refused = 0;
        for (int copy = 0; copy < 300; ++copy) {
            const QByteArray damaged = Mutate(tune, random);
            const QString path = Make(QStringLiteral("copy%1.mid").arg(copy), damaged);
            const bool accepted =
                CheckTune({reinterpret_cast<const std::uint8_t *>(damaged.constData()), std::size_t(damaged.size())})
                    .accepted;
            const int opensBefore = music.Status().opens;
            music.control.SetFileName(path);
            music.Tick();
            music.Render(30);
            music.control.SetCommand(QStringLiteral("Pause"));
            music.Render(10);
            music.control.SetCommand(QStringLiteral("play"));
            music.Render(10);
            QVERIFY2(music.Settle(), qPrintable(QStringLiteral("stuck on copy %1").arg(copy)));
            const bool open = music.Status().opens > opensBefore;
            QVERIFY2(open == accepted, qPrintable(QStringLiteral("copy %1").arg(copy)));
            (accepted ? opened : refused) += 1;
            QFile::remove(path);
        }
        // Both kinds were met, or the damage was not varied enough to mean much.
        QVERIFY(opened > 10);
        QVERIFY(refused > 100);
        PlaysAgain(music);
    }

    void withoutASoundFontEveryCommandReturnsQuietly()
    {
        // One SoundFont missing, and a file that is there but no SoundFont.
        OfflineMusic music({dir_.filePath(QStringLiteral("none.sf2")).toStdString(), BuiltTune().toStdString()});
        music.Start(BuiltTune());
        music.Tick();
        music.control.SetCommand(QStringLiteral("Pause"));
        music.control.SetCommand(QStringLiteral("close"));
        QVERIFY(music.Settle());
        const Sequencer::Status status = music.Status();
        QVERIFY(!status.synthReady);
        QCOMPARE(status.state, TuneState::Closed);
        QCOMPARE(music.output->Starts(), 0);
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
