// The board's load, restart, quit and unload, the music's commands, and the
// winner window's answer.
#include "fakes.h"

#include <QtTest>

using namespace kiramoku;

namespace {
const QStringList Defaults = test::FakeSelection().texts;  // the boxes' first texts, the characters' names

// Everything a player sees of a board and everything its next walk starts from.
QStringList Seen(const test::Table &table)
{
    const BoardState &s = table.State();
    QStringList seen{s.Label1, s.Label6, table.module.WinnerText, QString::number(table.module.WinnerFlag.value()),
                     QString::number(table.board.HumanPlayers.value()), QString::number(table.board.CurrentPlayer.value())};
    for (int k = 1; k <= MaxPlayers; ++k) {
        const PlayerRecord &p = table.board.Players[k];
        seen << p.Name << QString::number(p.Money.value()) << QString::number(p.Position.value()) << s.Label2[k - 1]
             << s.Label3[k - 1] << s.Label5[k - 1]
             << QStringLiteral("%1,%2").arg(double(s.Image4[k - 1].Left)).arg(double(s.Image4[k - 1].Top));
    }
    return seen;
}

}  // namespace

class TestStartRestartQuit : public QObject {
    Q_OBJECT

private slots:
    // The load hides the selection, takes its players over and discards it.
    void theLoadTakesThePlayersFromTheSelection_data()
    {
        // clang-format off
        QTest::addColumn<int>("index");
        QTest::addColumn<QStringList>("texts");
        QTest::addColumn<QStringList>("names");
        QTest::newRow("nothing chosen: one human") << -1 << Defaults << Defaults;
        QTest::newRow("two humans, first box emptied")
            << 1 << QStringList{"", "おきく", "x", "y"} << QStringList{Defaults[0], "おきく", Defaults[2], Defaults[3]};
        QTest::newRow("hidden boxes do not count") << 1 << QStringList{"一", "二", "三", "四"} << QStringList{"一", "二", Defaults[2], Defaults[3]};
        QTest::newRow("four typed names") << 3 << QStringList{"一", "二", "三", "四"} << QStringList{"一", "二", "三", "四"};
        QTest::newRow("blanks and markup are names as typed")
            << 2 << QStringList{"   ", "<b>x</b>", "", "z"} << QStringList{"   ", "<b>x</b>", Defaults[2], Defaults[3]};
        // clang-format on
    }
    void theLoadTakesThePlayersFromTheSelection()
    {
        QFETCH(int, index);
        QFETCH(QStringList, texts);
        QFETCH(QStringList, names);
        test::Table table(index + 1, texts);
        QCOMPARE(table.selection.calls, (index < 0 ? QStringList{"Hide", "SetListIndex 0", "Unload"} : QStringList{"Hide", "Unload"}));
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

    // A name keeps its own direction inside the lines that carry it, and the
    // rest of the line keeps the game's.
    void aNameNeverTurnsTheLineAroundIt_data()
    {
        // clang-format off
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("set");  // as the lines hold it
        const QString fsi = QStringLiteral("\u2068"), pdi = QStringLiteral("\u2069");
        QTest::newRow("left to right, digits and marks") << "Bob 2 (お)" << "Bob 2 (お)";
        QTest::newRow("Hebrew") << "שלום" << fsi + "שלום" + pdi;
        QTest::newRow("Arabic digits") << "x٣" << fsi + "x٣" + pdi;
        QTest::newRow("Adlam, beyond 16 bits") << "𞤀" << fsi + "𞤀" + pdi;
        QTest::newRow("an override") << "\u202Eab" << fsi + "\u202Eab" + pdi;
        QTest::newRow("an isolate left open") << "\u2067ab" << fsi + "\u2067ab" + pdi + pdi;
        QTest::newRow("an isolate closed within") << "\u2067ab\u2069" << fsi + "\u2067ab\u2069" + pdi;
        QTest::newRow("a closing mark of its own") << "\u2069\u202Eab" << fsi + fsi + "\u2069\u202Eab" + pdi + pdi;
        // clang-format on
    }
    void aNameNeverTurnsTheLineAroundIt()
    {
        QFETCH(QString, name);
        QFETCH(QString, set);
        QCOMPARE(TurnAnnouncement(name), "   " + set + "の番でありんすぅ");
        QCOMPARE(Congratulation(name), "おめでとう。" + set + "さん\r\n");
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
        // clang-format off
        QTest::addColumn<QString>("moment");
        QTest::addColumn<QStringList>("commands");
        QTest::newRow("at the board's load") << "load" << QStringList{"Notify 0", "Wait 1", "Shareable 0", "DeviceType Sequencer",
                                     "FileName " + test::TuneFile, "Command Open", "From 0", "Command Play"};
        QTest::newRow("at each tick") << "tick" << QStringList{"Command close", "Command open", "Command play"};
        QTest::newRow("at a game end, after the winner window") << "win" << QStringList{"ShowWinnerWindow", "Command Pause"};
        QTest::newRow("at the unload") << "unload" << QStringList{"Command close"};
        // clang-format on
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

    // Yes plays again with the same players, and the next game's window
    // shows only its own winners; No unloads both windows.
    void theWinnerWindowsYesPlaysAgainWithTheSamePlayersAndNoEndsTheGame()
    {
        test::Table table;
        const auto win = [&table](int player, int purse, int face, const QString &shown, bool again) {
            table.Player(player).Money = purse;
            table.Round(face);
            WinnerRules winner(table.module, table.board, table.ports, table.ports);
            winner.Form_Load();
            QCOMPARE(winner.Label1, shown);
            table.ports.log.clear();
            table.ports.answers = {again};
            winner.Command1_Click();
        };
        win(1, 2550, 2, "おめでとう。備前屋の若旦那さん\r\n", true);  // the constable takes 50
        QCOMPARE(table.ports.questions, QStringList{"もう一回やる？|きらもく|1"});
        QCOMPARE(table.ports.log, QStringList{"UnloadWinnerWindow"});
        QCOMPARE(table.module.WinnerFlag.value(), 0);
        QVERIFY(table.module.WinnerText.isEmpty());
        QCOMPARE(table.State().Label3[0], "1000");
        win(2, 2600, 1, "おめでとう。越後屋の若旦那さん\r\n", false);
        QCOMPARE(table.ports.log, (QStringList{"UnloadWinnerWindow", "UnloadBoard"}));
    }

    // Kept when player 1 is about to roll again after a round of `face`s,
    // written, read back and put on a new board: the same board, and the
    // same game when both play on.
    void aKeptGameComesBackAsItWasAndPlaysOnAlike_data()
    {
        // clang-format off
        QTest::addColumn<int>("humans");
        QTest::addColumn<QStringList>("typed");
        QTest::addColumn<int>("from");      // player 1's start square for the round
        QTest::addColumn<int>("face");      // of every die in the round; 0: no round yet
        QTest::addColumn<int>("rich");      // the player given 5000 ryō first, 0 for none
        QTest::addColumn<bool>("restart");  // the winner's Yes after the round
        QTest::addColumn<QString>("kept");  // player 1's next start and piece; the first winner, 0 for none
        const QStringList none;
        QTest::newRow("kept before the first roll") << 2 << none << 0 << 0 << 0 << false << "0 -2 0";
        QTest::newRow("one walk more pending") << 1 << none << 15 << 6 << 0 << false << "22 21 0";
        QTest::newRow("one walk less pending") << 2 << none << 17 << 6 << 0 << false << "22 23 0";
        QTest::newRow("round the ring onto the start square") << 1 << none << 19 << 6 << 0 << false << "0 0 0";
        QTest::newRow("a winner round, computers in the seats") << 1 << none << 0 << 1 << 3 << false << "1 1 3";
        QTest::newRow("names with symbols and markup")
            << 4 << QStringList{"<b>おきく</b>", "&amp;", "   ", "名\t前"} << 0 << 6 << 1 << false << "6 6 1";
        QTest::newRow("a restart's row") << 3 << none << 0 << 6 << 2 << true << "0 0 0";
        // clang-format on
    }
    void aKeptGameComesBackAsItWasAndPlaysOnAlike()
    {
        QFETCH(int, humans);
        QFETCH(QStringList, typed);
        QFETCH(int, from);
        QFETCH(int, face);
        QFETCH(int, rich);
        QFETCH(bool, restart);
        QFETCH(QString, kept);
        test::Table table(humans, typed);
        table.Player(1).Position = from;
        if (rich > 0)
            table.Player(rich).Money = 5000;
        if (face > 0)
            table.Round(face);
        if (restart) {
            table.ports.answers = {true};
            WinnerRules(table.module, table.board, table.ports, table.ports).Command1_Click();
        }
        QVERIFY(table.board.AwaitingRoll());
        const SavedGame game = table.board.Snapshot();
        const SavedPlayer &first = game.players[0];
        QCOMPARE(QStringLiteral("%1 %2 %3").arg(first.from).arg(first.piece).arg(game.winners.value(0)), kept);
        const SavedGameReading read = ReadSavedGame(WriteSavedGame(game));
        QCOMPARE(read.status, SavedGameReading::Good);

        test::Table again(1);
        again.module.WinnerText = QStringLiteral("おめでとう。前の勝者さん\r\n");  // a text from before gives way
        again.board.Resume(read.game);
        QCOMPARE(Seen(again), Seen(table));
        QCOMPARE(again.ports.log, again.loadLog + (restart || !rich ? QStringList() : QStringList{"ShowWinnerWindow"}));
        table.Round(2);
        again.Round(2);
        QCOMPARE(Seen(again), Seen(table));
        // Nobody is about to roll while the die rolls, or on a computer's turn.
        table.board.Command1_Click();
        again.board.CurrentPlayer = humans + 1;
        QVERIFY(!table.board.AwaitingRoll() && !again.board.AwaitingRoll());
    }

    // Each value of the hand-written kept game at and past its limits, with
    // the reason a damaged file is set aside for.
    void aKeptGameIsReadOnlyWithinTheRulesLimits_data()
    {
        // clang-format off
        QTest::addColumn<QString>("written");  // in the hand-written kept game; empty: the whole file
        QTest::addColumn<QString>("instead");
        QTest::addColumn<int>("status");       // SavedGameReading::Status
        QTest::addColumn<QString>("why");      // how the reason begins
        const int good = SavedGameReading::Good, damaged = SavedGameReading::Damaged;
        const QString purse = "player 1's purse is not a whole number from -2147482948 to 2147482647",
                      from = "player 1's from is not a whole number from 0 to 24",
                      piece = "player 1's piece is neither a square nor a start place",
                      fourth = R"(,
             {"name": "旗本の三男坊", "purse": 1000, "from": 0, "piece": "row"})";
        QTest::newRow("as written") << "" << "" << good << "";
        QTest::newRow("cut short") << "[3]}" << "[" << damaged << "not a saved game: ";
        QTest::newRow("a list, not a game") << "" << "[]" << damaged << "not a saved game: not an object";
        QTest::newRow("a later format") << R"("format": 1)" << R"("format": 2)" << int(SavedGameReading::Newer) << "format 2";
        QTest::newRow("format 0") << R"("format": 1)" << R"("format": 0)" << damaged << "no known format";
        QTest::newRow("no format") << R"("format": 1, )" << "" << damaged << "no known format";
        QTest::newRow("four people, two named as their characters") << R"("people": 2)" << R"("people": 4)" << good << "";
        QTest::newRow("five people") << R"("people": 2)" << R"("people": 5)" << damaged << "people is not a whole number from 1 to 4";
        QTest::newRow("nobody") << R"("people": 2)" << R"("people": 0)" << damaged << "people is not a whole number from 1 to 4";
        QTest::newRow("a computer's turn") << R"("turn": 2)" << R"("turn": 3)" << damaged << "turn is not a whole number from 1 to 2";
        QTest::newRow("nobody's turn") << R"("turn": 2)" << R"("turn": 0)" << damaged << "turn is not a whole number from 1 to 2";
        QTest::newRow("no die yet") << R"("die": 5)" << R"("die": 0)" << good << "";
        QTest::newRow("a die below it") << R"("die": 5)" << R"("die": -1)" << damaged << "die is not a whole number from 0 to 6";
        QTest::newRow("a die of 6") << R"("die": 5)" << R"("die": 6)" << good << "";
        QTest::newRow("a die of 7") << R"("die": 5)" << R"("die": 7)" << damaged << "die is not a whole number from 0 to 6";
        // A purse from which the dearest square (-700) and the richest (+1000) still fit in 32 bits.
        QTest::newRow("the deepest debt") << "-300" << "-2147482948" << good << "";
        QTest::newRow("a debt beyond it") << "-300" << "-2147482949" << damaged << purse;
        QTest::newRow("the largest purse") << "-300" << "2147482647" << good << "";
        QTest::newRow("a purse beyond it") << "-300" << "2147482648" << damaged << purse;
        QTest::newRow("the largest number") << "-300" << "2147483647" << damaged << purse;
        QTest::newRow("half a ryō") << "-300" << "-300.5" << damaged << purse;
        QTest::newRow("a purse in words") << "-300" << R"("-300")" << damaged << purse;
        QTest::newRow("from the last square") << R"("from": 22)" << R"("from": 24)" << good << "";
        QTest::newRow("from past the ring") << R"("from": 22)" << R"("from": 25)" << damaged << from;
        QTest::newRow("from before it") << R"("from": 22)" << R"("from": -1)" << damaged << from;
        QTest::newRow("a piece on no square") << R"("piece": 21)" << R"("piece": 25)" << damaged << piece;
        QTest::newRow("a piece in no place") << R"("piece": 21)" << R"("piece": "corner")" << damaged << piece;
        QTest::newRow("a line of the start square") << R"("landed": 21)" << R"("landed": 0)" << good << "";
        QTest::newRow("a line of no square") << R"("landed": 21)" << R"("landed": -1)" << damaged << "player 1's landed is not a whole number from 0 to 24";
        QTest::newRow("an empty name") << R"("おきく")" << R"("")" << damaged << "player 1's name is not a name";
        QTest::newRow("a name in numbers") << R"("<b>x</b>")" << "7" << damaged << "player 2's name is not a name";
        QTest::newRow("a computer renamed") << R"("旗本の三男坊")" << R"("x")" << damaged << "player 4's name is not the computer's character";
        QTest::newRow("a player in numbers") << fourth << ", 7" << damaged << "player 4's entry is not an object";
        QTest::newRow("three players") << fourth << "" << damaged << "players is not a list of four";
        QTest::newRow("the last player wins") << "[3]" << "[4]" << good << "";
        QTest::newRow("a winner past the players") << "[3]" << "[5]" << damaged << "a winner is not a player from 1 to 4";
        QTest::newRow("nobody wins") << "[3]" << "[0]" << damaged << "a winner is not a player from 1 to 4";
        QTest::newRow("winners not in a list") << "[3]" << "7" << damaged << "winners is not a list";
        // clang-format on
    }
    void aKeptGameIsReadOnlyWithinTheRulesLimits()
    {
        QFETCH(QString, written);
        QFETCH(QString, instead);
        QFETCH(int, status);
        QFETCH(QString, why);
        QString file = QString::fromUtf8(test::KeptGameFile);
        QVERIFY(file.contains(written));
        file = written.isEmpty() && !instead.isEmpty() ? instead : file.replace(written, instead);
        const SavedGameReading read = ReadSavedGame(file.toUtf8());
        QCOMPARE(int(read.status), status);
        QCOMPARE(read.why.left(why.size()), why);
        QCOMPARE(read.why.isEmpty(), why.isEmpty());
        if (QTest::currentDataTag() == QLatin1String("as written")) {
            const SavedPlayer first = read.game.players[0], fourth = read.game.players[3];
            QCOMPARE((QList<int>{read.game.humans, read.game.current, read.game.die, first.purse, first.from, first.piece,
                                 first.landed, fourth.piece, fourth.landed, read.game.players[1].piece}),
                     (QList<int>{2, 2, 5, -300, 22, 21, 21, PieceInRow, NoLanding, PieceInCluster}));
            QCOMPARE(read.game.players[1].name, QStringLiteral("<b>x</b>"));
            QCOMPARE(read.game.winners, QList<int>{3});
        }
    }
};

QTEST_GUILESS_MAIN(TestStartRestartQuit)
#include "test_start_restart_quit.moc"
