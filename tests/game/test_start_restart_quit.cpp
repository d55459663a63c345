// The board's load, restart, quit and unload, the music's commands, and the
// winner window's answer.
#include "fakes.h"

#include <QtTest>

using namespace kiramoku;

namespace {
const QStringList Defaults = test::FakeSelection().texts;  // the boxes' first texts, the characters' names

} // namespace

class TestStartRestartQuit : public QObject {
    Q_OBJECT

private slots:
    // The load hides the selection, takes its players over and discards it.
    void theLoadTakesThePlayersFromTheSelection_data()
    {
        QTest::addColumn<int>("index");
        QTest::addColumn<QStringList>("texts");
        QTest::addColumn<QStringList>("names");
        QTest::newRow("nothing chosen: one human") << -1 << Defaults << Defaults;
        QTest::newRow("two humans, first box emptied")
            << 1 << QStringList{"", "おきく", "x", "y"} << QStringList{Defaults[0], "おきく", Defaults[2], Defaults[3]};
        QTest::newRow("hidden boxes do not count")
            << 1 << QStringList{"一", "二", "三", "四"} << QStringList{"一", "二", Defaults[2], Defaults[3]};
        QTest::newRow("four typed names") << 3 << QStringList{"一", "二", "三", "四"} << QStringList{"一", "二", "三", "四"};
        QTest::newRow("blanks and markup are names as typed")
            << 2 << QStringList{"   ", "<b>x</b>", "", "z"} << QStringList{"   ", "<b>x</b>", Defaults[2], Defaults[3]};
    }
    void theLoadTakesThePlayersFromTheSelection()
    {
        QFETCH(int, index);
        QFETCH(QStringList, texts);
        QFETCH(QStringList, names);
        test::Table table(index + 1, texts);
        const QStringList calls = index < 0 ? QStringList{"Hide", "SetListIndex 0", "Unload"} : QStringList{"Hide", "Unload"};
        QCOMPARE(table.selection.calls, calls);
        QCOMPARE(table.board.HumanPlayers.value(), std::max(index, 0) + 1);
        QCOMPARE(table.board.CurrentPlayer.value(), 1);
        QStringList taken;
        for (int k = 1; k <= MaxPlayers; ++k) {
            taken << table.Player(k).Name;
            QCOMPARE(table.Player(k).Position.value(), 0);
        }
        QCOMPARE(taken, names);
        QCOMPARE(table.State().Label1, QStringLiteral("   ") + names[0] + QStringLiteral("の番でありんすぅ"));
    }

    void aRestartKeepsNamesAndHumansAndResetsPursesPiecesAndText()
    {
        test::Table table(2);
        table.Player(1).Name = QStringLiteral("おきく");
        table.Player(3).Money = 2490;
        for (int round = 0; round < 2; ++round) {
            table.Roll(6);
            table.Roll(5, {3, 4});
        }
        QVERIFY(!table.module.WinnerText.isEmpty());
        const QString announcement = table.State().Label1;

        table.board.AllClear();
        QVERIFY(table.module.WinnerText.isEmpty());
        QCOMPARE(table.board.HumanPlayers.value(), 2);
        QCOMPARE(table.State().Label2[0], QStringLiteral("おきく"));
        QCOMPARE(table.State().Label1, announcement);
        for (int k = 1; k <= MaxPlayers; ++k) {
            QCOMPARE(table.Player(k).Money.value(), 1000);
            QCOMPARE(table.Player(k).Position.value(), 0);
            QCOMPARE(table.State().Label3[k - 1], QStringLiteral("1000"));
            // The pieces stand in a diagonal row on the start square, a stagger apart.
            const PiecePlace piece = table.State().Image4[k - 1];
            const double inset = expected::PieceInsetTwips + expected::PieceStaggerTwips * (k - 1);
            QVERIFY(std::abs(piece.Left * expected::TwipsPerCm - (expected::Squares[0].left + inset)) < 1);
            QVERIFY(std::abs(piece.Top * expected::TwipsPerCm - (expected::Squares[0].top + inset)) < 1);
        }
    }

    void theQuitQuestionUnloadsOnlyOnYes()
    {
        test::Table table;
        table.Roll(3);
        const QStringList logBefore = table.ports.log;
        table.ports.answers = {false, true};
        table.board.Command3_Click();
        QCOMPARE(table.ports.log, logBefore);
        QCOMPARE(table.Player(1).Position.value(), 3);
        table.board.Command3_Click();
        QCOMPARE(table.ports.log.last(), QStringLiteral("UnloadBoard"));
        QCOMPARE(table.ports.questions, QStringList(2, QStringLiteral("本当によいですか？||1")));
    }

    // The settings and commands the music control receives, in order.
    void theMusicHearsItsCommandsInOrder_data()
    {
        QTest::addColumn<QString>("moment");
        QTest::addColumn<QStringList>("commands");
        QTest::newRow("at the board's load")
            << "load" << QStringList{"Notify 0", "Wait 1", "Shareable 0", "DeviceType Sequencer",
                                     "FileName " + test::TuneFile, "Command Open", "From 0", "Command Play"};
        QTest::newRow("at each tick") << "tick" << QStringList{"Command close", "Command open", "Command play"};
        QTest::newRow("at a game end, after the winner window")
            << "win" << QStringList{"ShowWinnerWindow", "Command Pause"};
        QTest::newRow("at the unload") << "unload" << QStringList{"Command close"};
    }
    void theMusicHearsItsCommandsInOrder()
    {
        QFETCH(QString, moment);
        QFETCH(QStringList, commands);
        test::Table table;
        if (moment == QLatin1String("load")) {
            table.ports.log = table.loadLog;
        } else if (moment == QLatin1String("tick")) {
            table.board.MMControl1_StatusUpdate();
        } else if (moment == QLatin1String("unload")) {
            table.board.Form_Unload();
        } else {
            table.Player(1).Money = 2600;
            table.Round(1);
        }
        QStringList heard = table.ports.log;
        heard.removeIf([](const QString &e) { return e.startsWith(QLatin1String("Delay")) || e == QLatin1String("Beep"); });
        QCOMPARE(heard, commands);
    }

    void theWinnerWindowsYesPlaysAgainWithTheSamePlayers()
    {
        test::Table table;
        table.Player(1).Money = 2550;
        table.Round(2);  // the constable takes 50
        WinnerRules winner(table.module, table.board, table.ports, table.ports);
        winner.Form_Load();
        QCOMPARE(winner.Label1, QStringLiteral("おめでとう。備前屋の若旦那さん\r\n"));
        table.ports.log.clear();
        table.ports.answers = {true};
        winner.Command1_Click();
        QCOMPARE(table.ports.questions.last(), QStringLiteral("もう一回やる？|きらもく|1"));
        QCOMPARE(table.ports.log, QStringList{QStringLiteral("UnloadWinnerWindow")});
        QCOMPARE(table.module.WinnerFlag.value(), 0);
        QVERIFY(table.module.WinnerText.isEmpty());
        QCOMPARE(table.State().Label3[0], QStringLiteral("1000"));
        // The next game's window shows only the new game's winners.
        table.Player(2).Money = 2600;
        table.Round(1);
        WinnerRules next(table.module, table.board, table.ports, table.ports);
        next.Form_Load();
        QCOMPARE(next.Label1, QStringLiteral("おめでとう。越後屋の若旦那さん\r\n"));
    }

    void theWinnerWindowsNoUnloadsBothWindows()
    {
        test::Table table;
        WinnerRules winner(table.module, table.board, table.ports, table.ports);
        table.ports.answers = {false};
        winner.Command1_Click();
        QCOMPARE(table.ports.log, (QStringList{QStringLiteral("UnloadWinnerWindow"), QStringLiteral("UnloadBoard")}));
    }
};

QTEST_GUILESS_MAIN(TestStartRestartQuit)
#include "test_start_restart_quit.moc"
