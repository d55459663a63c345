// Without sound the game's terminal stays clean: nothing from the synthesizer,
// the sound system or the SoundFont loaders, and one line of ours once per run,
// so each case runs in a process of its own (CTest names the function).
#include "beep.h"
#include "caught.h"
#include "leftbehind.h"
#include "musicchoice.h"
#include "musictest.h"
#include "sequencer.h"

#include <QtTest>

#include <cstdio>
#include <functional>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace kiramoku;
using namespace kiramoku::test;

namespace {
// What `work` writes on standard error, then a canary that proves the catching works.
QString CaughtStderr(const std::function<void()> &work)
{
    return StandardError([&] { work(), std::fputs("canary\n", stderr); });
}

// Runs `work` in a child process, whose music choice ends with it as a run's does; true if its checks pass.
bool PassesInAChild(const std::function<void()> &work)
{
    const pid_t child = fork();
    if (child == 0) {
        work();
        _exit(QTest::currentTestFailed() ? 1 : 0);
    }
    int status = -1;
    return child > 0 && waitpid(child, &status, 0) == child && status == 0;
}

// Waiting for a sound server is not a failure for good: the missing tune
// PlayBoardMusic opens after it is still told.
const QString MissingTuneLine = QStringLiteral("kiramoku: no music: the tune file /nonexistent/kira.mid is missing\n");

// The board's whole life on `options`: start, three ticks (each carried out,
// as ticks far apart are), `listening` on, a second cause of silence (a
// missing tune), and the close; whether a SoundFont was loaded by then.
bool PlayBoardMusic(SequencerOptions options, std::chrono::milliseconds listening = {})
{
    MMControl music(std::move(options));
    music.SetUpdateInterval(0);
    StartMusic(music, BuiltTune());
    for (int tick = 0; tick < 3; ++tick) {
        music.Device().WaitUntilIdle(Patience);
        RestartMusic(music);
    }
    music.Device().WaitUntilIdle(Patience);
    QTest::qWait(int(listening.count()));
    const bool loaded = music.Device().Snapshot().synthReady;
    music.SetFileName(QStringLiteral("/nonexistent/kira.mid"));
    RestartMusic(music);
    music.Device().WaitUntilIdle(Patience);
    return loaded;
}
}  // namespace

class TestQuiet : public QObject {
    Q_OBJECT

private slots:
    void noSoundDeviceMeansOneLine()
    {
        QTest::failOnWarning(QRegularExpression(QStringLiteral(".")));
        // ALSA told to use a device that exists nowhere: it fails on every
        // machine, and ALSA and FluidSynth would both complain aloud. The
        // music waits for one and looks again now and then, silently; a
        // failure for good later is still told.
        const QString text = CaughtStderr([] { PlayBoardMusic(OnDriver("alsa", "kiramoku_no_such_device"), 3 * Sequencer::ReopenEvery); });
        QCOMPARE(text, QStringLiteral("kiramoku: the music waits for a sound server: no sound device answered (tried "
                                      "PulseAudio, then ALSA)\n%1canary\n")
                           .arg(MissingTuneLine));
    }

    void aDamagedSoundFontIsNamedAsDamaged()
    {
        // The start of a real SoundFont, cut off: its header promises more.
        QTemporaryDir dir;
        const QString damaged = dir.filePath(QStringLiteral("cut.sf2"));
        QFile whole(QString::fromStdString(DefaultSoundFonts().front()));
        QFile cut(damaged);
        QVERIFY(whole.open(QIODevice::ReadOnly) && cut.open(QIODevice::WriteOnly));
        cut.write(whole.read(100000));
        cut.close();
        // A tune given as a SoundFont is damaged too; the output is never started.
        const auto output = std::make_shared<OfflineAudioOutput>();
        const QString text = CaughtStderr([&] {
            QVERIFY(!PlayBoardMusic({{damaged.toStdString(), BuiltTune().toStdString()}, output}));
        });
        QCOMPARE(text, QStringLiteral("kiramoku: no music: the SoundFont %1 is damaged\ncanary\n").arg(damaged));
        QCOMPARE(output->Starts(), 0);
    }

    void noSoundFontNamesWhereItLooked()
    {
        QCOMPARE(CaughtStderr([] { PlayBoardMusic({{"/none/a.sf2", "/none/b.sf2"}, std::make_shared<OfflineAudioOutput>()}); }),
                 QStringLiteral("kiramoku: no music: no General MIDI SoundFont (looked for /none/a.sf2, /none/b.sf2)\ncanary\n"));
    }

    void aFileThatIsNoTuneIsNamedWithWhy()
    {
        QTemporaryFile notes;
        QVERIFY(notes.open() && notes.write("not a tune at all\n") > 0);
        notes.close();
        const QString text = CaughtStderr([&] {
            OfflineMusic music;
            music.Start(notes.fileName());
            music.Settle();
            music.Start(BuiltTune());  // then a tune, which plays without a word
            music.Settle();
        });
        QCOMPARE(text, QStringLiteral("kiramoku: no music: the tune file %1 is not a tune we can play: not a MIDI file (no MThd "
                                      "header)\ncanary\n")
                           .arg(notes.fileName()));
    }

    void beepsWithAnUnusableRuntimeFolderSayItOnce()
    {
        // A runtime folder that belongs to someone else: the sound server
        // cannot be reached through it, and its library says so every time.
        qputenv("XDG_RUNTIME_DIR", "");  // none: the sound library finds its own place, and nothing is said
        QCOMPARE(CaughtStderr([] { Beeper beeper; beeper.Play(); QTest::qWait(300); }), QStringLiteral("canary\n"));
        QTemporaryDir dir;
        QVERIFY(chmod(QFile::encodeName(dir.path()).constData(), 0700) == 0);
        if (geteuid() == 0)
            QVERIFY(chown(QFile::encodeName(dir.path()).constData(), 65534, 65534) == 0);
        else
            QVERIFY(chmod(QFile::encodeName(dir.path()).constData(), 0500) == 0);  // not writable
        qputenv("XDG_RUNTIME_DIR", QFile::encodeName(dir.path()));
        const QString text = CaughtStderr([] {
            // The music does not try the server there either: no lines of its library.
            PlayBoardMusic(OnDriver("pulseaudio"));
            for (int round = 0; round < 3; ++round) {  // later games' beeps too
                Beeper beeper;
                for (int step = 0; step < 14; ++step)
                    beeper.Play();
                QTest::qWait(400);
            }
        });
        QVERIFY(!ThreadsLeftBehind());  // each game's beeps ended with it
        QCOMPARE(text, QStringLiteral("kiramoku: the music waits for a sound server: no sound device answered (tried "
                                      "PulseAudio, then ALSA)\n%1kiramoku: no beep sound: the runtime folder XDG_RUNTIME_DIR=%2 is not usable\ncanary\n")
                           .arg(MissingTuneLine, dir.path()));
    }

    void theSettingsFileIsReadOnlyWhenSane_data()
    {
        // clang-format off
        QTest::addColumn<QByteArray>("content");  // empty: a named pipe in its place; null: no file
        QTest::addColumn<qint64>("size");         // the file's size, grown sparse beyond its content
        QTest::addColumn<bool>("musicOn");
        QTest::addColumn<QByteArray>("kept");     // the whole file after M twice; null: left as it was
        QTest::addColumn<QString>("why");         // and then the reason the first M gives
        const QByteArray off("[music]\non=false\n"), on("[music]\non=true\n"), large("larger than 4096 bytes");
        for (const char *value : {"off", "NO", "0", "no", "FALSE", "yes"})
            QTest::addRow("on=%s", value) << "[music]\non=" + QByteArray(value) + "\n" << qint64(0) << (value[0] == 'y') << (value[0] == 'y' ? on : off) << QString();
        QTest::newRow("a blank first line") << QByteArray("\n[music]\non=off\n") << qint64(0) << false << "\n" + off << QString();
        QTest::newRow("no file") << QByteArray() << qint64(0) << true << on << QString();
        QTest::newRow("on without =, then on = 1 unended") << QByteArray("[music]\non\n on = 1") << qint64(0) << true
                                                           << QByteArray("[music]\non\non=true") << QString();
        QTest::newRow("no [music] section, unended") << QByteArray("k=1") << qint64(0) << true << "k=1\n" + on << QString();
        QTest::newRow("a named pipe, which would hang the reader") << QByteArray("") << qint64(0) << true << QByteArray()
                                                                   << QStringLiteral("not a regular file");
        const QByteArray mark("\xEF\xBB\xBF"), tail(4096 - 16, '\0');  // on=true's 16 bytes padded to 4096
        QTest::newRow("on=off after a byte-order mark") << mark + "[music]\non=off\n" << qint64(0) << false << mark + off << QString();
        QTest::newRow("a byte-order mark, no on line") << mark + "[music]\n" << qint64(0) << true << mark + on << QString();
        QTest::newRow("CRLF line ends") << QByteArray("[music]\r\non=off\r\n") << qint64(0) << false << QByteArray("[music]\r\non=false\r\n") << QString();
        QTest::newRow("CRLF, [music] without an on line") << QByteArray("[music]\r\nk=1\r\n") << qint64(0) << true << QByteArray("[music]\r\non=true\r\nk=1\r\n") << QString();
        QTest::newRow("CRLF first, no [music], unended") << QByteArray("k=1\r\nj=2\nx") << qint64(0) << true << QByteArray("k=1\r\nj=2\nx\r\n[music]\r\non=true\r\n") << QString();
        QTest::newRow("on in 4095 bytes: 4096 with off") << on << qint64(4095) << true << on + tail.chopped(1) << QString();
        QTest::newRow("on in 4096 bytes: 4097 with off") << on << qint64(4096) << true << on + tail << QString(large);
        QTest::newRow("on=off in 4096 bytes: 4097 with on") << QByteArray("[music]\non=off\n") << qint64(4096) << false << QByteArray("[music]\non=off\n") + tail + '\0' << QString(large);
        QTest::newRow("off, in a file of 4097 bytes") << QByteArray("[music]\non=off\n") << qint64(4097) << true
                                                      << QByteArray() << QString(large);
        QTest::newRow("off, in a sparse file of 1 GB") << QByteArray("[music]\non=off\n") << (qint64(1) << 30) << true
                                                       << QByteArray() << QString(large);
        // clang-format on
    }

    void theSettingsFileIsReadOnlyWhenSane()
    {
        QFETCH(QByteArray, content);
        QFETCH(qint64, size);
        QFETCH(bool, musicOn);
        QFETCH(QByteArray, kept);
        QFETCH(QString, why);
        static QTemporaryDir config;  // one folder for the run, as the game has
        qputenv("XDG_CONFIG_HOME", QFile::encodeName(config.path()));
        QVERIFY(QDir(config.path()).mkpath(QStringLiteral("kiramoku")));
        const QString path = config.filePath(QStringLiteral("kiramoku/kiramoku.conf"));
        QFile::remove(path);
        if (content.isEmpty() && !content.isNull()) {
            QVERIFY(mkfifo(QFile::encodeName(path).constData(), 0600) == 0);
        } else if (!content.isNull()) {
            QFile file(path);
            QVERIFY(file.open(QIODevice::WriteOnly) && file.write(content) == content.size());
            QVERIFY(size == 0 || file.resize(size));
        }
        const QFileInfo before(path);
        QCOMPARE(MusicWanted(), musicOn);
        const QFileInfo after(path);
        QCOMPARE(after.size(), before.size());
        QCOMPARE(after.lastModified(), before.lastModified());

        const QString told = why.isEmpty() ? QString() : QStringLiteral("kiramoku: could not save the music choice in %1 (%2); "
                                                                        "it holds until the game ends\n")
                                                             .arg(path, why);
        QVERIFY(PassesInAChild([&] {
            QCOMPARE(CaughtStderr([&] { RememberMusicWanted(!musicOn); }), told + QStringLiteral("canary\n"));
            QCOMPARE(CaughtStderr([&] { RememberMusicWanted(musicOn); }), QStringLiteral("canary\n"));
            QVERIFY(MusicChoiceSettled(Patience));
        }));
        QFile written(path);
        if (kept.isNull())
            QCOMPARE(QFileInfo(path).size(), before.size());
        else
            QCOMPARE(written.open(QIODevice::ReadOnly) ? written.readAll() : QByteArray("(unreadable)"), kept);
    }

    void theChoiceIsWrittenAwayFromTheWindowKeepingThePlayersLines()
    {
        QTemporaryDir config;
        qputenv("XDG_CONFIG_HOME", QFile::encodeName(config.path()));
        const QString folder = config.filePath(QStringLiteral("kiramoku"));
        const QString path = folder + QStringLiteral("/kiramoku.conf");
        QVERIFY(QDir().mkpath(path + QStringLiteral(".lock")));          // a lock left as a folder: no one waits on it
        QFile beside(config.filePath(QStringLiteral("kiramoku.conf")));  // where Qt's settings look too: never read
        QFile file(path);
        QVERIFY(beside.open(QIODevice::WriteOnly) && beside.write("[music]\non=false\n") > 0 && beside.flush());
        QVERIFY(file.open(QIODevice::WriteOnly) && file.write("# quiet at work\n[music]\r\n\n[x]\nk=1") > 0);
        file.close();
        QCOMPARE(MusicWanted(), true);
        const auto keptAfterM = [&path](bool on) {
            RememberMusicWanted(on);
            QFile kept(path);
            return MusicChoiceSettled(Patience) && kept.open(QIODevice::ReadOnly) ? kept.readAll() : QByteArray();
        };
        QCOMPARE(keptAfterM(false), QByteArray("# quiet at work\n[music]\r\non=false\n\n[x]\nk=1"));
        QCOMPARE(keptAfterM(true), QByteArray("# quiet at work\n[music]\r\non=true\n\n[x]\nk=1"));

        // A file where the game's folder goes: not even root can write the choice now.
        QVERIFY(QDir(folder).removeRecursively() && QFile(folder).open(QIODevice::WriteOnly));
        QCOMPARE(CaughtStderr([&] { keptAfterM(true); }), QStringLiteral("canary\n"));  // held already: not written
        const QString text = CaughtStderr([&] {
            keptAfterM(false);
            keptAfterM(true);
        });
        QCOMPARE(text, QStringLiteral("kiramoku: could not save the music choice in %1 (cannot make its folder); "
                                      "it holds until the game ends\ncanary\n")
                           .arg(path));
    }
};

QTEST_MAIN(TestQuiet)
#include "test_quiet.moc"
