// The music control on offline rendering: the tune as it sounds, the board's
// commands in their orders, pause and resume, the restart on every tick.
#include "fakes.h"
#include "musictest.h"

#include <QDir>
#include <QSignalSpy>
#include <QtTest>

using namespace kiramoku;
using namespace kiramoku::test;

namespace {

// The opening seconds of the tune as a freshly opened control plays them.
const Sound &Reference()
{
    static const Sound sound = [] {
        OfflineMusic music;
        music.Start(BuiltTune());
        return music.Render(3000);
    }();
    return sound;
}

// Ticks of the built tune a second: 480 a quarter, a quarter 0.6875 s.
constexpr double TicksPerSecond = 480 / 0.6875;

// The board's rules, loaded with `humans` people, driving offline music.
struct BoardOnOfflineMusic {
    OfflineMusic music;
    ScriptedDie die;
    Recorder ports;
    Module1 module{die, ports};
    BoardRules board{module, {ports, ports, music.control, ports}, BuiltTune()};
    FakeSelection selection;

    explicit BoardOnOfflineMusic(int humans)
    {
        selection.index = humans - 1;
        board.Form_Load(selection);
        ports.board = &board;
    }
};

} // namespace

class TestPlayback : public QObject {
    Q_OBJECT

private slots:
    void theControlIsTheBoardsMMControl1()
    {
        OfflineMusic music;
        QCOMPARE(music.control.objectName(), QStringLiteral("MMControl1"));
        MMControl fresh(SequencerOptions{{}, std::make_shared<OfflineAudioOutput>()});
        QCOMPARE(fresh.UpdateInterval(), 22000);
    }

    void theTuneIsFoundBesideTheExecutable()
    {
        QCOMPARE(FindTuneFile(), QDir::cleanPath(BuiltTune()));
        QVERIFY(QFile::exists(FindTuneFile()));
    }

    void theTuneSoundsForTwentyTwoSecondsThenStops()
    {
        OfflineMusic music;
        music.Start(BuiltTune());
        QVERIFY(music.Settle());
        QCOMPARE(music.Status().state, TuneState::Playing);
        QCOMPARE(music.Status().tuneMs, 22000.0);

        // Rendered in tenths of a second, noting when the player says it is done.
        Sound whole;
        double finishedAt = -1;
        for (int tenth = 0; tenth < 240 && finishedAt < 0; ++tenth) {
            const Sound part = music.Render(100);
            whole.left.insert(whole.left.end(), part.left.begin(), part.left.end());
            whole.right.insert(whole.right.end(), part.right.begin(), part.right.end());
            if (music.Status().state == TuneState::Finished)
                finishedAt = (tenth + 1) / 10.0;
        }
        QVERIFY2(finishedAt >= 21.9 && finishedAt <= 22.2, qPrintable(QString::number(finishedAt)));
        for (int second = 0; second < 22; ++second) {
            const double rms = whole.Rms(FramesIn(second * 1000.0), FramesIn((second + 1) * 1000.0));
            QVERIFY2(rms > 0.01, qPrintable(QStringLiteral("second %1: %2").arg(second).arg(rms)));
        }
        QVERIFY(whole.Peak() < 0.9);  // no clipping

        // Ended, it falls silent (the last notes and the hall die away) until
        // something restarts it.
        const Sound after = music.Render(3000);
        QVERIFY(after.Rms(FramesIn(2000), FramesIn(3000)) < 1e-3);
        QVERIFY(after.Rms(FramesIn(2000), FramesIn(3000)) < after.Rms(0, FramesIn(1000)));
        QCOMPARE(music.Status().state, TuneState::Finished);
    }

    void pauseFallsSilentAtOnceThenPlayResumesWhereItStopped()
    {
        OfflineMusic music;
        music.Start(BuiltTune());
        music.Render(5000);
        music.control.SetCommand(QStringLiteral("Pause"));
        const Sound paused = music.Render(2000);
        const int pausedAt = music.Status().tick;
        QCOMPARE(music.Status().state, TuneState::Paused);
        QVERIFY(std::abs(pausedAt - 5.0 * TicksPerSecond) < 0.02 * TicksPerSecond);
        // Not cut off dead, but silent to the last sample within a tenth of a second.
        QVERIFY(paused.Rms(0, FramesIn(5)) > 0.0);
        QCOMPARE(paused.Peak(FramesIn(100), paused.Frames()), 0.0);

        music.control.SetCommand(QStringLiteral("Play"));
        const Sound resumed = music.Render(1000);
        QCOMPARE(music.Status().state, TuneState::Playing);
        QVERIFY(resumed.Rms() > 0.01);
        const int movedOn = music.Status().tick - pausedAt;
        QVERIFY2(std::abs(movedOn - TicksPerSecond) < 0.02 * TicksPerSecond, qPrintable(QString::number(movedOn)));
    }

    void theTicksCloseOpenPlayStartsAgainFromTheBeginning_data()
    {
        QTest::addColumn<int>("playedMs");
        QTest::addColumn<bool>("pauseFirst");
        QTest::newRow("at once after the start") << 0 << false;
        QTest::newRow("while it plays") << 7000 << false;
        QTest::newRow("at the loop point") << 22000 << false;
        QTest::newRow("long after its end") << 25000 << false;
        QTest::newRow("while a game end holds it paused") << 7000 << true;
    }

    void theTicksCloseOpenPlayStartsAgainFromTheBeginning()
    {
        QFETCH(int, playedMs);
        QFETCH(bool, pauseFirst);
        OfflineMusic music;
        music.Start(BuiltTune());
        music.Render(playedMs);
        if (pauseFirst)
            music.control.SetCommand(QStringLiteral("Pause"));
        QCOMPARE(music.output->Starts(), 1);

        music.Tick();
        QVERIFY(music.Settle());
        QCOMPARE(music.Status().state, TuneState::Playing);
        QCOMPARE(music.Status().tick, 0);
        QCOMPARE(music.Status().opens, 2);
        QCOMPARE(music.output->Starts(), 1);  // the tick restarts inside the synthesizer
        QVERIFY(music.output->Running());
        QVERIFY(music.Render(3000).StartsLike(Reference()));
    }

    void closeLetsTheLastNotesDieAwayAndOnlyTheControlsEndStopsTheOutput()
    {
        std::shared_ptr<OfflineAudioOutput> output;
        {
            OfflineMusic music;
            output = music.output;
            music.Start(BuiltTune());
            music.Render(1000);
            music.control.SetCommand(QStringLiteral("close"));
            QVERIFY(music.Settle());
            QCOMPARE(music.Status().state, TuneState::Closed);
            QVERIFY(output->Running());
            // The notes sounding at the close are released, not cut: the
            // first tenth of a second still sounds, and from two seconds on
            // all is below -60 dB.
            const Sound sound = music.Render(4000);
            QVERIFY2(sound.Rms(0, FramesIn(100)) > 1e-3, qPrintable(QString::number(sound.Rms(0, FramesIn(100)))));
            QVERIFY(sound.Rms(FramesIn(2000), FramesIn(4000)) < 1e-3);
        }
        QVERIFY(!output->Running());  // the control's end (the board's unload) ends the output
        QCOMPARE(output->Starts(), 1);
    }

    void musicOffTakesEveryCommandAndPlaysNothing_data()
    {
        QTest::addColumn<bool>("offBeforeTheStart");
        QTest::newRow("off before the board starts its music") << true;
        QTest::newRow("turned off while the tune plays") << false;
    }

    void musicOffTakesEveryCommandAndPlaysNothing()
    {
        QFETCH(bool, offBeforeTheStart);
        OfflineMusic music;
        if (offBeforeTheStart)
            music.control.SetMusicOn(false);
        music.Start(BuiltTune());  // Open, Play
        if (!offBeforeTheStart) {
            QVERIFY(music.Render(1000).Rms() > 0.01);
            music.control.SetMusicOn(false);
        }
        QVERIFY(!music.control.MusicOn());
        music.Tick();                                     // close, open, play
        music.control.SetCommand(QStringLiteral("Pause"));
        QCOMPARE(music.control.Requested(), TuneState::Paused);
        music.Tick();
        music.control.SetCommand(QStringLiteral("Eject"));  // unknown, yet heard
        QCOMPARE(music.control.CommandsHeard(), 2 + 3 + 1 + 3 + 1);
        QCOMPARE(music.control.Requested(), TuneState::Playing);
        QCOMPARE(music.control.FileName(), BuiltTune());
        const Sound quiet = music.Render(2000);  // after at most the fade of a tune turned off
        QCOMPARE(quiet.Peak(FramesIn(100), quiet.Frames()), 0.0);
        QCOMPARE(music.Status().opens, offBeforeTheStart ? 0 : 1);
        QCOMPARE(music.output->Starts(), offBeforeTheStart ? 0 : 1);
        // No stream and no SoundFont kept while off.
        QVERIFY(!music.output->Running());
        QVERIFY(!music.Status().synthReady);

        // On again, the tune the board left playing starts from its beginning.
        music.control.SetMusicOn(true);
        QVERIFY(music.Render(3000).StartsLike(Reference()));
        QCOMPARE(music.Status().state, TuneState::Playing);
        QCOMPARE(music.output->Starts(), offBeforeTheStart ? 1 : 2);
    }

    void lowerCaseCommandsActLikeCapitalisedOnes_data()
    {
        QTest::addColumn<QStringList>("words");  // open, play, pause, close
        QTest::newRow("lower case") << QStringList{"open", "play", "pause", "close"};
        QTest::newRow("upper case") << QStringList{"OPEN", "PLAY", "PAUSE", "CLOSE"};
        QTest::newRow("mixed case") << QStringList{"oPeN", "pLAY", "pAuse", "Close"};
        QTest::newRow("with spaces around") << QStringList{" open", "play ", " Pause ", "\tclose"};
    }

    void lowerCaseCommandsActLikeCapitalisedOnes()
    {
        QFETCH(QStringList, words);
        struct Heard {
            Sound sound;
            QList<TuneState> states;
        };
        auto run = [](const QStringList &w) {
            OfflineMusic music;
            music.control.SetFileName(BuiltTune());
            music.control.SetDeviceType(QStringLiteral("Sequencer"));
            Heard heard;
            auto take = [&](double ms) {
                const Sound part = music.Render(ms);
                heard.sound.left.insert(heard.sound.left.end(), part.left.begin(), part.left.end());
                heard.sound.right.insert(heard.sound.right.end(), part.right.begin(), part.right.end());
                heard.states << music.Status().state;
            };
            music.control.SetCommand(w[0]);
            take(100);
            music.control.SetCommand(w[1]);
            take(1000);
            music.control.SetCommand(w[2]);
            take(500);
            music.control.SetCommand(w[1]);
            take(500);
            music.control.SetCommand(w[3]);
            take(100);
            return heard;
        };
        const Heard expected = run({"Open", "Play", "Pause", "close"});
        QCOMPARE(expected.states, (QList<TuneState>{TuneState::Ready, TuneState::Playing, TuneState::Paused,
                                                    TuneState::Playing, TuneState::Closed}));
        const Heard heard = run(words);
        QCOMPARE(heard.states, expected.states);
        QVERIFY(heard.sound.SameStartAs(expected.sound, expected.sound.Frames() - 64));
    }

    void theBoardsStartSequenceSetsUpOpensAndPlaysFromTheStart()
    {
        BoardOnOfflineMusic table(1);
        OfflineMusic &music = table.music;
        BoardRules &board = table.board;

        QCOMPARE(music.control.Notify(), false);
        QCOMPARE(music.control.Wait(), true);
        QCOMPARE(music.control.Shareable(), false);
        QCOMPARE(music.control.DeviceType(), QStringLiteral("Sequencer"));
        QCOMPARE(music.control.FileName(), BuiltTune());
        QVERIFY(music.Settle());
        QCOMPARE(music.Status().state, TuneState::Playing);
        QCOMPARE(music.Status().opens, 1);
        QVERIFY(music.Render(3000).SameStartAs(Reference(), FramesIn(2900)));

        board.Form_Unload();
        QVERIFY(music.Settle());
        QCOMPARE(music.Status().state, TuneState::Closed);
    }

    void aGameEndPausesTheTuneAndTheNextTickRestartsIt()
    {
        BoardOnOfflineMusic table(2);  // two people, two computer players
        OfflineMusic &music = table.music;
        BoardRules &board = table.board;
        music.Render(4000);

        // A purse one good square short of winning, and two rounds.
        board.Players[3].Money = 2490;
        for (int round = 0; round < 2; ++round) {
            board.Command1_Click();
            table.die.Push(6);
            board.Timer1_Timer();
            board.Command2_Click();
            board.Command1_Click();
            table.die.Push(5);
            board.Timer1_Timer();
            table.die.Push(3);
            table.die.Push(4);
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
        QVERIFY(music.Settle());
        QCOMPARE(music.Status().state, TuneState::Playing);
        QCOMPARE(music.Status().tick, 0);
        QVERIFY(music.Render(3000).StartsLike(Reference()));
    }

    void thePositionToPlayFromServesTheNextPlayOnly_data()
    {
        QTest::addColumn<int>("fromMs");
        QTest::addColumn<int>("expectedTick");
        QTest::newRow("the start") << 0 << 0;
        QTest::newRow("five seconds in") << 5000 << int(5.0 * TicksPerSecond + 0.5);
        QTest::newRow("past the end") << 30000 << 15360;
    }

    void thePositionToPlayFromServesTheNextPlayOnly()
    {
        QFETCH(int, fromMs);
        QFETCH(int, expectedTick);
        OfflineMusic music;
        music.control.SetFileName(BuiltTune());
        music.control.SetCommand(QStringLiteral("Open"));
        music.control.SetFrom(fromMs);
        music.control.SetCommand(QStringLiteral("Play"));
        music.Render(20);  // the player takes up the position with its first sound
        QVERIFY(std::abs(music.Status().tick - expectedTick) <= 20);

        // Paused and played again, it resumes; the position given before is not used twice.
        music.Render(1000);
        const int before = music.Status().tick;
        music.control.SetCommand(QStringLiteral("Pause"));
        music.control.SetCommand(QStringLiteral("Play"));
        music.Render(20);
        QVERIFY(music.Status().tick >= before);
    }

    void aFinishedTuneStaysSilentUntilGivenAPosition()
    {
        OfflineMusic music;
        music.Start(BuiltTune());
        music.Render(26000);
        QCOMPARE(music.Status().state, TuneState::Finished);
        const int endedAt = music.Status().tick;
        music.control.SetCommand(QStringLiteral("Play"));
        QVERIFY(music.Render(1000).Rms() < 1e-3);
        QCOMPARE(music.Status().state, TuneState::Finished);
        QVERIFY(music.Status().tick >= endedAt);  // not started over

        music.control.SetFrom(0);
        music.control.SetCommand(QStringLiteral("Play"));
        QVERIFY(music.Render(3000).StartsLike(Reference()));
    }

    void commandsOnAClosedDeviceAreHarmless_data()
    {
        QTest::addColumn<QStringList>("commands");
        QTest::addColumn<bool>("openedBefore");
        QTest::newRow("play before any open") << QStringList{"Play"} << false;
        QTest::newRow("pause before any open") << QStringList{"Pause"} << false;
        QTest::newRow("close before any open") << QStringList{"close"} << false;
        QTest::newRow("play after close") << QStringList{"close", "Play"} << true;
        QTest::newRow("pause after close") << QStringList{"close", "Pause"} << true;
        QTest::newRow("close twice") << QStringList{"close", "close"} << true;
        QTest::newRow("a command it does not know") << QStringList{"close", "Eject", "", "play it again"} << true;
    }

    void commandsOnAClosedDeviceAreHarmless()
    {
        QFETCH(QStringList, commands);
        QFETCH(bool, openedBefore);
        OfflineMusic music;
        music.control.SetFileName(BuiltTune());
        if (openedBefore) {
            music.control.SetCommand(QStringLiteral("Open"));
            music.control.SetCommand(QStringLiteral("Play"));
            music.Render(500);
        }
        for (const QString &command : commands)
            music.control.SetCommand(command);
        QVERIFY(music.Settle());
        QCOMPARE(music.Status().state, TuneState::Closed);
        music.Render(2000);  // what was sounding dies away
        QVERIFY(music.Render(500).Rms() < 1e-3);

        // And the device opens as usual afterwards.
        music.Start(BuiltTune());
        QVERIFY(music.Render(3000).StartsLike(Reference()));
    }

    void aDeviceTypeOtherThanTheSequencerOpensNothing()
    {
        OfflineMusic music;
        music.control.SetDeviceType(QStringLiteral("WaveAudio"));
        music.control.SetFileName(BuiltTune());
        music.control.SetCommand(QStringLiteral("Open"));
        music.control.SetCommand(QStringLiteral("Play"));
        QVERIFY(music.Settle());
        QCOMPARE(music.Status().opens, 0);
        QCOMPARE(music.Render(200).Rms(), 0.0);
    }

    void statusTicksComeWhateverTheTuneIsDoing_data()
    {
        QTest::addColumn<QString>("tune");
        QTest::newRow("playing") << BuiltTune();
        QTest::newRow("with no tune to open") << QStringLiteral("/nonexistent/kira.mid");
    }

    void statusTicksComeWhateverTheTuneIsDoing()
    {
        QFETCH(QString, tune);
        OfflineMusic music;
        QSignalSpy ticks(&music.control, &MMControl::StatusUpdate);
        music.control.SetUpdateInterval(1);  // the shortest period ticks too
        music.Start(tune);
        while (ticks.count() < 3)
            QVERIFY(ticks.wait(2000));
        music.control.SetCommand(QStringLiteral("Pause"));
        const auto paused = ticks.count();
        QVERIFY(ticks.wait(2000));
        QVERIFY(ticks.count() > paused);

        music.control.SetUpdateInterval(0);  // and none once stopped
        const auto stopped = ticks.count();
        QTest::qWait(150);
        QCOMPARE(ticks.count(), stopped);
        // A tune that cannot be opened costs no SoundFont.
        QVERIFY(music.Settle());
        QCOMPARE(music.Status().synthReady, tune == BuiltTune());
    }
};

QTEST_GUILESS_MAIN(TestPlayback)
#include "test_playback.moc"
