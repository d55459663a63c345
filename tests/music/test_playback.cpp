// The music control on offline rendering: the tune as it sounds, the board's
// commands in their orders, pause and resume, the restart on every tick; and
// the restarts on a real sound driver's thread.
#include "fakes.h"
#include "leftbehind.h"
#include "midibytes.h"
#include "musictest.h"

#include <QtTest>

#include <cstdio>

using namespace kiramoku;
using namespace kiramoku::test;

// The opening seconds of the tune as a freshly opened control plays them.
static const Sound &Reference()
{
    static const Sound sound = [] { OfflineMusic music; music.Start(BuiltTune()); return music.Render(3000); }();
    return sound;
}

// Ticks of the built tune a second: 480 a quarter, a quarter 0.6875 s.
constexpr double TicksPerSecond = 480 / 0.6875;

constexpr std::chrono::milliseconds LastPressHeard{300};  // the music as the last of many M presses asked, this soon after it

class TestPlayback : public QObject {
    Q_OBJECT

private slots:
    void theTuneSoundsForTwentyTwoSecondsThenStops()
    {
        QCOMPARE(FindTuneFile(), QDir::cleanPath(BuiltTune()));  // found beside the executable
        OfflineMusic music;
        music.Start(BuiltTune());
        // Rendered in tenths of a second, noting when the player says it is done.
        Sound whole;
        double finishedAt = -1;
        for (int tenth = 0; tenth < 240 && finishedAt < 0; ++tenth) {
            whole.Append(music.Render(100));
            if (music.Status().state == TuneState::Finished)
                finishedAt = (tenth + 1) / 10.0;
        }
        QVERIFY2(finishedAt >= 21.9 && finishedAt <= 22.2, qPrintable(QString::number(finishedAt)));
        QCOMPARE(music.Status().tuneMs, 22000.0);
        QFile status(QStringLiteral("/proc/self/status"));  // the SoundFont's megabytes are not locked into memory
        QVERIFY(status.open(QIODevice::ReadOnly) && QString::fromLatin1(status.readAll()).contains(QRegularExpression(QStringLiteral("VmLck:\\s+0 kB"))));
        for (int second = 0; second < 22; ++second)
            QVERIFY2(whole.Rms(FramesIn(second * 1000.0), FramesIn((second + 1) * 1000.0)) > 0.01, qPrintable(QString::number(second)));
        for (const std::vector<float> *channel : {&whole.left, &whole.right})  // no clipping
            QVERIFY(std::all_of(channel->begin(), channel->end(), [](float sample) { return std::abs(sample) < 0.9f; }));

        // Ended, it falls silent (the last notes and the hall die away) until
        // something restarts it, even a Play: only a position given starts it over.
        const Sound after = music.Render(3000);
        QVERIFY(after.Rms(FramesIn(2000)) < 1e-3 && after.Rms(FramesIn(2000)) < after.Rms(0, FramesIn(1000)));
        music.Command("Play");
        QVERIFY(music.Render(1000).Rms() < 1e-3);
        music.control.SetFrom(-1);  // a position before the start is none
        music.Command("Play");
        QVERIFY(music.Render(1000).Rms() < 1e-3);
        QCOMPARE(music.Status().state, TuneState::Finished);
        music.control.SetFrom(0);
        music.Command("Play");
        QVERIFY(music.Render(3000).StartsLike(Reference()));
    }

    void theTicksCloseOpenPlayStartsAgainFromTheBeginning_data()
    {
        // clang-format off
        QTest::addColumn<int>("playedMs");
        QTest::addColumn<bool>("pauseFirst");
        QTest::newRow("at once after the start") << 0 << false;
        QTest::newRow("while it plays") << 7000 << false;
        QTest::newRow("at the loop point") << 22000 << false;
        QTest::newRow("long after its end") << 25000 << false;
        QTest::newRow("while a game end holds it paused") << 7000 << true;
        // clang-format on
    }

    void theTicksCloseOpenPlayStartsAgainFromTheBeginning()
    {
        QFETCH(int, playedMs);
        QFETCH(bool, pauseFirst);
        OfflineMusic music;
        music.Start(BuiltTune());
        music.Render(playedMs);
        if (pauseFirst)
            music.Command("Pause");
        music.Tick();
        QVERIFY(music.Render(3000).StartsLike(Reference()));
        QCOMPARE(music.Status().state, TuneState::Playing);
        QCOMPARE(music.Status().opens, 2);
        QCOMPARE(music.Status().reads, 1);    // the same file, read once
        QCOMPARE(music.output->Starts(), 1);  // the tick restarts inside the synthesizer
        QVERIFY(music.output->Running());
    }

    void aTuneFileReplacedBetweenTwoOpensIsReadAnew_data()
    {
        // clang-format off
        QTest::addColumn<int>("change");  // 0 none, 1 written over in place, 2 another file moved over it
        QTest::newRow("the same file") << 0;
        QTest::newRow("another tune of the same size written over it") << 1;
        QTest::newRow("another tune moved over it") << 2;
        // clang-format on
    }

    void aTuneFileReplacedBetweenTwoOpensIsReadAnew()
    {
        QFETCH(int, change);
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("tune.mid"));
        // One quarter note, then a half note: the same bytes but for one delta time.
        const QByteArray quarter = Header(0, 1, 480) + Track(OneNote());
        QByteArray half = quarter;
        half.replace(Bytes({0x83, 0x60, 0x80}), Bytes({0x87, 0x40, 0x80}));
        const auto write = [](const QString &to, const QByteArray &bytes) {
            QFile file(to);
            return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
        };
        QVERIFY(half.size() == quarter.size() && half != quarter && write(path, quarter));
        OfflineMusic music;
        music.Start(path);
        QCOMPARE(music.Status().endTick, 480);
        QTest::qWait(20);  // past the file system's clock step, so that a write shows in the file's times
        if (change == 1)
            QVERIFY(write(path, half));
        if (change == 2)
            QVERIFY(write(path + QStringLiteral(".new"), half) && std::rename(qPrintable(path + QStringLiteral(".new")), qPrintable(path)) == 0);
        music.Tick();
        QCOMPARE(music.Status().state, TuneState::Playing);
        QCOMPARE(music.Status().endTick, change == 0 ? 480 : 960);
        QCOMPARE(music.Status().reads, change == 0 ? 1 : 2);
    }

    void musicOffTakesEveryCommandAndPlaysNothing_data()
    {
        // clang-format off
        QTest::addColumn<bool>("offBeforeTheStart");
        QTest::newRow("off before the board starts its music") << true;
        QTest::newRow("turned off while the tune plays") << false;
        // clang-format on
    }

    void musicOffTakesEveryCommandAndPlaysNothing()
    {
        QFETCH(bool, offBeforeTheStart);
        OfflineMusic music;
        if (offBeforeTheStart)
            music.control.SetMusicOn(false);
        music.Start(BuiltTune());
        if (!offBeforeTheStart) {
            QVERIFY(music.Render(1000).Rms() > 0.01);
            music.control.SetMusicOn(false);
        }
        music.Tick();
        music.Command("Pause");
        music.Tick();
        music.Command("Eject");
        QCOMPARE(music.control.CommandsHeard(), 2 + 3 + 1 + 3 + 1);  // each tick's close, open and play heard too
        const Sound quiet = music.Render(2000);                      // after at most the fade of a tune turned off
        QCOMPARE(quiet.Rms(FramesIn(100)), 0.0);
        QCOMPARE(music.Status().opens, offBeforeTheStart ? 0 : 1);
        QCOMPARE(music.output->Starts(), offBeforeTheStart ? 0 : 1);
        QVERIFY(!music.output->Running() && !music.Status().synthReady);  // no stream and no SoundFont kept while off

        // On again, the tune the board left playing starts from its beginning.
        music.control.SetMusicOn(true);
        QVERIFY(music.Render(3000).StartsLike(Reference()));
        QCOMPARE(music.Status().state, TuneState::Playing);
        QCOMPARE(music.output->Starts(), offBeforeTheStart ? 1 : 2);
    }

    // M pressed as fast as keys go, on ALSA's null device, which plays each
    // fade of music off at once; after the third burst the board closes at once.
    void aBurstOfMEndsAsTheLastPressAsked()
    {
        auto music = std::make_unique<MMControl>(OnDriver("alsa", "null"));
        music->SetUpdateInterval(0);
        StartMusic(*music, BuiltTune());
        QVERIFY(music->Device().WaitUntilIdle(Patience));
        for (int burst = 1;; ++burst) {
            for (int press = 0; press < 199; ++press)
                music->SetMusicOn(!music->MusicOn());
            if (burst == 3)
                break;
            QVERIFY(music->Device().WaitUntilIdle(LastPressHeard));
            // Played (the null device hurries the tune to its end), or no stream and no synthesizer.
            const Sequencer::Status now = music->Device().Snapshot();
            const bool played = now.state == TuneState::Playing || now.state == TuneState::Finished;
            QCOMPARE(QList<bool>({played, now.outputOn, now.synthReady}), QList<bool>(3, burst == 2));
        }
        music.reset();
        QVERIFY(!ThreadsLeftBehind());  // which would blame the sound server as the game ends
    }

    void commandsActInAnyLetterCase_data()
    {
        // clang-format off
        QTest::addColumn<QStringList>("words");  // open, play, pause, close
        QTest::newRow("capitalised") << QStringList{"Open", "Play", "Pause", "close"};
        QTest::newRow("lower case") << QStringList{"open", "play", "pause", "close"};
        QTest::newRow("upper case") << QStringList{"OPEN", "PLAY", "PAUSE", "CLOSE"};
        QTest::newRow("mixed case") << QStringList{"oPeN", "pLAY", "pAuse", "Close"};
        QTest::newRow("with spaces around") << QStringList{" open", "play ", " Pause ", "\tclose"};
        // clang-format on
    }

    // Open, play, pause, play, close, in any letter case: the pause falls silent at once, play resumes where it
    // stopped, the close lets the last notes die away and only the control's end stops the output.
    void commandsActInAnyLetterCase()
    {
        QFETCH(QStringList, words);
        auto music = std::make_unique<OfflineMusic>();
        const auto output = music->output;
        music->control.SetFileName(BuiltTune());
        const TuneState states[] = {TuneState::Ready, TuneState::Playing, TuneState::Paused, TuneState::Playing, TuneState::Closed};
        const int word[] = {0, 1, 2, 1, 3};
        Sound heard[5];
        int tick[5];
        for (int step = 0; step < 5; ++step) {
            music->control.SetCommand(words[word[step]]);
            heard[step] = music->Render(3000);
            QCOMPARE(music->Status().state, states[step]);
            tick[step] = music->Status().tick;
        }
        QVERIFY(heard[1].StartsLike(Reference()));  // the first play, from the start
        QVERIFY(std::abs(tick[2] - 3.0 * TicksPerSecond) < 0.02 * TicksPerSecond);
        QVERIFY(heard[2].Rms(0, FramesIn(5)) > 0.0);  // not cut off dead, but silent within a tenth of a second
        QCOMPARE(heard[2].Rms(FramesIn(100)), 0.0);
        QVERIFY(heard[3].Rms() > 0.01);
        QVERIFY(std::abs(tick[3] - tick[2] - 3.0 * TicksPerSecond) < 0.02 * TicksPerSecond);
        // Closed, the notes are released, not cut; from two seconds on all is below -60 dB.
        QVERIFY(heard[4].Rms(0, FramesIn(100)) > 1e-3 && heard[4].Rms(FramesIn(2000)) < 1e-3);
        QVERIFY(output->Running());
        music.reset();  // the board's unload
        QVERIFY(!output->Running());
        QCOMPARE(output->Starts(), 1);
    }

    // A note on a channel that never chose an instrument is heard; a pitch bend
    // and an organ's note still held do not carry over into the next tune.
    void aTunesNotesAndControllersEndWithIt()
    {
        QTemporaryFile tune;
        QVERIFY(tune.open() && tune.write(Header(0, 1, 480) + Track(OneNote().chopped(4) + Bytes({0x00, 0xE0, 0x00, 0x00, 0x00, 0xC1, 0x13, 0x00, 0x91, 0x45, 0x60, 0xC7, 0x20, 0xFF, 0x2F, 0x00}))));
        tune.close();
        OfflineMusic music;
        music.Start(tune.fileName());
        QVERIFY(music.Render(1000).Rms(0, FramesIn(400)) > 0.01);
        music.Start(BuiltTune());
        QVERIFY(music.Render(3000).StartsLike(Reference()));
    }

    // The board opens its music and plays it from the start; a game end
    // pauses it, the next tick restarts it, the board's unload closes it.
    void theBoardsMusicFromStartToGameEnd()
    {
        OfflineMusic music;
        Table table(2, {}, &music.control, BuiltTune());  // two people, two computer players
        BoardRules &board = table.board;
        QCOMPARE(music.control.objectName(), QStringLiteral("MMControl1"));
        QCOMPARE(MMControl(SequencerOptions{{}, std::make_shared<OfflineAudioOutput>()}).UpdateInterval(), 22000);
        QVERIFY(music.Render(3000).StartsLike(Reference()));
        QCOMPARE(music.Status().opens, 1);
        music.Render(1000);

        // A purse one good square short of winning, and two rounds of two people's turns.
        board.Players[3].Money = 2490;
        for (int face : {6, 5, 3, 4, 6, 5, 3, 4})
            table.die.Push(face);
        for (int turn = 0; turn < 4; ++turn) {
            board.Command1_Click();
            board.Timer1_Timer();
            board.Command2_Click();
        }
        QCOMPARE(table.module.WinnerFlag.value(), 1);
        QVERIFY(music.Settle());
        QCOMPARE(music.Status().state, TuneState::Paused);
        const int pausedAt = music.Status().tick;
        QVERIFY(pausedAt > 0);
        music.Render(1000);
        QCOMPARE(music.Status().tick, pausedAt);

        board.MMControl1_StatusUpdate();
        QVERIFY(music.Render(3000).StartsLike(Reference()));
        QCOMPARE(music.Status().state, TuneState::Playing);
        board.Form_Unload();
        QVERIFY(music.Settle());
        QCOMPARE(music.Status().state, TuneState::Closed);
    }

    void thePositionToPlayFromServesTheNextPlayOnly_data()
    {
        // clang-format off
        QTest::addColumn<int>("fromMs");
        QTest::addColumn<int>("expectedTick");
        QTest::newRow("the start") << 0 << 0;
        QTest::newRow("five seconds in") << 5000 << 3491;
        QTest::newRow("past the end") << 30000 << 15360;
        // clang-format on
    }

    void thePositionToPlayFromServesTheNextPlayOnly()
    {
        QFETCH(int, fromMs);
        QFETCH(int, expectedTick);
        OfflineMusic music;
        music.control.SetFileName(BuiltTune());
        music.Command("Open");
        music.control.SetFrom(fromMs);
        music.Command("Play");
        music.Render(20);  // the player takes up the position with its first sound
        QVERIFY(std::abs(music.Status().tick - expectedTick) <= 20);

        // Paused and played again, it resumes; the position given before is not used twice.
        music.Render(1000);
        const int before = music.Status().tick;
        music.Command("Pause");
        music.Command("Play");
        music.Render(20);
        QVERIFY(music.Status().tick >= before);
    }

    void commandsOnAClosedDeviceAreHarmless_data()
    {
        // clang-format off
        QTest::addColumn<QStringList>("commands");
        QTest::addColumn<bool>("sequencer");  // the device type, or another one
        QTest::newRow("play before any open") << QStringList{"Play"} << true;
        QTest::newRow("pause before any open") << QStringList{"Pause"} << true;
        QTest::newRow("close before any open") << QStringList{"close"} << true;
        QTest::newRow("play after close") << QStringList{"Open", "Play", "close", "Play"} << true;
        QTest::newRow("pause after close") << QStringList{"Open", "Play", "close", "Pause"} << true;
        QTest::newRow("close twice") << QStringList{"Open", "Play", "close", "close"} << true;
        QTest::newRow("a command it does not know") << QStringList{"Open", "Play", "close", "Eject", "", "play it again"} << true;
        QTest::newRow("a device other than the sequencer") << QStringList{"Open", "Play"} << false;
        // clang-format on
    }

    void commandsOnAClosedDeviceAreHarmless()
    {
        QFETCH(QStringList, commands);
        QFETCH(bool, sequencer);
        OfflineMusic music;
        music.control.SetFileName(BuiltTune());
        music.control.SetDeviceType(QLatin1String(sequencer ? "Sequencer" : "WaveAudio"));
        for (const QString &command : commands) {
            music.control.SetCommand(command);
            music.Render(command == QLatin1String("Play") ? 500 : 0);
        }
        music.control.SetMusicOn(false);  // and M twice leaves a closed tune closed
        music.control.SetMusicOn(true);
        QCOMPARE(music.Status().state, TuneState::Closed);
        QCOMPARE(music.Status().opens, sequencer ? commands.count(QStringLiteral("Open")) : 0);
        QVERIFY(music.Render(2500).Rms(FramesIn(2000)) < 1e-3);  // what was sounding has died away

        // And the device opens as usual afterwards.
        music.Start(BuiltTune());
        QVERIFY(music.Render(3000).StartsLike(Reference()));
    }

    // ALSA's "null" device takes sound as fast as it comes and plays none: the
    // synthesizer renders on the driver's own thread while the commands arrive,
    // as on a sound card. Each restart makes and deletes a player under the
    // running driver, which must never render the synthesizer meanwhile, or this crashes.
    void theTicksRestartTheTuneOnARunningDriver()
    {
        MMControl music(OnDriver("alsa", "null"));
        music.SetUpdateInterval(0);
        const auto reaches = [&music](TuneState state) {  // the null device hurries the tune through
            return QTest::qWaitFor([&] { return music.Device().Snapshot().state == state; }, 10000);
        };
        StartMusic(music, BuiltTune());
        QVERIFY(reaches(TuneState::Finished));
        for (int tick = 0; tick < 20; ++tick) {  // restarts, each carried out, with pauses and resumes among them
            RestartMusic(music);
            QVERIFY(music.Device().WaitUntilIdle(Patience));
            if (tick % 4 == 1) {
                music.SetCommand(QStringLiteral("Pause"));
                QVERIFY(music.Device().WaitUntilIdle(Patience));
                QVERIFY(music.Device().Snapshot().state == TuneState::Paused || music.Device().Snapshot().state == TuneState::Finished);
                music.SetCommand(QStringLiteral("Play"));
            }
        }
        QVERIFY(reaches(TuneState::Finished));
        QCOMPARE(music.Device().Snapshot().opens, 21);
        music.SetCommand(QStringLiteral("close"));
        QVERIFY(reaches(TuneState::Closed));
    }

    // The status ticks, which restart the tune, come while it is paused and
    // when there is no tune to open, which costs no SoundFont.
    void statusTicksComeWithNoTuneToOpenAndWhilePaused()
    {
        OfflineMusic music;
        // From its creation on, a tick each play of the tune, never late by a coarse timer's 5 %.
        const MMControl fresh(SequencerOptions{{}, music.output});
        const QTimer *timer = fresh.findChild<QTimer *>();
        QVERIFY(timer && timer->isActive());
        QCOMPARE(timer->interval(), 22000);
        QCOMPARE(timer->timerType(), Qt::PreciseTimer);
        QSignalSpy ticks(&music.control, &MMControl::StatusUpdate);
        music.control.SetUpdateInterval(1);  // the shortest period ticks too
        music.Start(QStringLiteral("/nonexistent/kira.mid"));
        music.Command("Pause");
        QTRY_VERIFY_WITH_TIMEOUT(ticks.count() >= 3, 5000);
        music.control.SetUpdateInterval(0);  // and none once stopped
        ticks.clear();
        QTest::qWait(100);
        QVERIFY(ticks.isEmpty());
        QVERIFY(music.Settle());
        QVERIFY(!music.Status().synthReady);
    }
};

QTEST_GUILESS_MAIN(TestPlayback)
#include "test_playback.moc"
