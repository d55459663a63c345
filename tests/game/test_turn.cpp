// Whole turns: the die (its values, its animation state, a stop before any
// value), the walk square by square with its pauses and beeps, the computer's
// turns in their rhythm, and landings on every square by every player, held
// against the hand-written table: the line, the purse, where the next walk
// starts, where the piece is.
#include "fakes.h"

#include <QtTest>

#include <numeric>

using namespace kiramoku;

using Squares = QList<int>;

class TestTurn : public QObject {
    Q_OBJECT

private slots:
    void theClockDieShowsEveryFaceAndNothingElseInQuickSuccession()
    {
        ClockChance chance;
        test::Recorder ports;
        Module1 module(chance, ports);
        constexpr int Draws = 60000;
        QList<int> seen(DieFaces + 1);
        for (int i = 0; i < Draws; ++i) {
            const int face = module.RollDie().value();
            QVERIFY2(face >= 1 && face <= DieFaces, qPrintable(QString::number(face)));
            ++seen[face];
        }
        // Uniform: chi-square over 5 degrees of freedom stays far below 30
        // (p < 0.00002) for a fair die.
        const double expected = Draws / double(DieFaces);
        const double chi = std::accumulate(seen.begin() + 1, seen.end(), 0.0,
                                           [expected](double sum, int n) { return sum + (n - expected) * (n - expected) / expected; });
        QVERIFY2(chi < 30, qPrintable(QStringLiteral("chi-square %1").arg(chi)));
    }

    // A chance outside 0 to 1 is a program error, never a seven or a nought.
    void chanceAtItsEdgesGivesOneAndSix_data()
    {
        // clang-format off
        QTest::addColumn<double>("r");
        QTest::addColumn<int>("face");
        QTest::addColumn<QString>("error");  // instead of a face, in "die value out of range: %1, expected 0 <= r < 1"
        QTest::newRow("zero") << 0.0 << 1 << "";
        QTest::newRow("just under a sixth") << 0.1666 << 1 << "";
        QTest::newRow("a sixth") << 1.0 / 6 << 2 << "";
        QTest::newRow("just under one") << 0.9999999999 << 6 << "";
        QTest::newRow("one: no seven") << 1.0 << 0 << "chance gave 1.000000";
        QTest::newRow("below zero: no nought") << -0.01 << 0 << "chance gave -0.010000";
        // clang-format on
    }
    void chanceAtItsEdgesGivesOneAndSix()
    {
        QFETCH(double, r);
        QFETCH(int, face);
        QFETCH(QString, error);
        struct Fixed : ChanceSource {
            double r;
            double Next() override { return r; }
        } chance;
        chance.r = r;
        test::Recorder ports;
        Module1 module(chance, ports);
        try {
            QCOMPARE(module.RollDie().value(), face);
            QVERIFY(error.isEmpty());
        } catch (const ProgramError &e) {
            QCOMPARE(QString::fromStdString(e.what()), QStringLiteral("die value out of range: %1, expected 0 <= r < 1").arg(error));
        }
    }

    // Before the first roll the stop is disabled and the die empty. A stop
    // before the first tick of the first roll is ignored and the die rolls on;
    // before the first tick of a later roll it takes the value shown.
    void rollingTicksShowValuesAndAStopTakesTheValueShown()
    {
        test::Table table;
        QVERIFY(!table.State().Command2Enabled);
        QCOMPARE(table.State().Timer1Interval, 0);
        QVERIFY(table.State().Label6.isEmpty());
        table.board.Command1_Click();
        table.board.Command1_Click();  // twice is the same as once
        table.board.Command2_Click();
        QCOMPARE(table.State().Timer1Interval, 1);  // milliseconds
        QVERIFY(table.State().Command2Enabled);
        QCOMPARE(table.board.CurrentPlayer.value(), 1);
        QCOMPARE(table.Player(1).Position.value(), 0);
        QVERIFY(table.ports.log.isEmpty());
        for (int face : {4, 1, 6}) {
            table.die.Push(face);
            table.board.Timer1_Timer();
            QCOMPARE(table.State().Label6, QString::number(face));
        }
        table.board.Command2_Click();
        QCOMPARE(table.State().Timer1Interval, 0);
        table.board.Timer1_Timer();  // a tick queued before the stop: no draw, no change
        QCOMPARE(table.State().Label6, QStringLiteral("6"));
        QCOMPARE(table.Player(1).Position.value(), 6);
        table.board.Command1_Click();
        table.board.Command2_Click();  // player 2 moves by the 6 still shown
        QCOMPARE(table.Player(2).Position.value(), 6);
    }

    void aWalkShowsEverySquareWithAPauseAndABeep_data()
    {
        // clang-format off
        QTest::addColumn<int>("from");
        QTest::addColumn<int>("die");
        QTest::addColumn<Squares>("placements");
        QTest::addColumn<int>("landing");
        QTest::newRow("3 from square 5") << 5 << 3 << Squares{5, 6, 7, 8} << 8;
        QTest::newRow("6 from 22 round past the start") << 22 << 6 << Squares{22, 23, 24, 0, 1, 2, 3} << 3;
        QTest::newRow("5 from 20 exactly onto the start") << 20 << 5 << Squares{20, 21, 22, 23, 24, 0} << 0;
        QTest::newRow("1 from 24 exactly onto the start") << 24 << 1 << Squares{24, 0} << 0;
        QTest::newRow("1 from the start") << 0 << 1 << Squares{0, 1} << 1;
        QTest::newRow("2 from 22 as square 21 leaves it") << 22 << 2 << Squares{22, 23, 24} << 24;
        QTest::newRow("1 from 22 as square 23 leaves it, back on 23") << 22 << 1 << Squares{22, 23} << 23;
        // clang-format on
    }
    void aWalkShowsEverySquareWithAPauseAndABeep()
    {
        QFETCH(int, from);
        QFETCH(int, die);
        QFETCH(Squares, placements);
        QFETCH(int, landing);
        test::Table table;
        table.Player(1).Position = from;
        table.Roll(die);

        QCOMPARE(table.ports.Walked(&test::Recorder::Pause::square), placements);
        QCOMPARE(table.ports.log.join('|'), QStringLiteral("Delay %1|Beep|").arg(test::WalkPause).repeated(placements.size()).chopped(1));
        QCOMPARE(expected::SquareUnder(table.State().Image4[0], 1), landing);
        QCOMPARE(table.Player(1).Position.value(), expected::NextStart(landing));
    }

    // What the board shows at each pause of one stop click by the only human
    // (a 3), then the computers' 2, 5 and 6. Each computer turn pauses a unit
    // before its roll, a unit while the die rolls still showing the last
    // value, two units with its own value, then walks.
    void oneHumanStopPlaysTheThreeComputerTurnsInTheirRhythm()
    {
        test::Table table(1);
        table.Roll(3, {2, 5, 6});
        const auto moment = [](int units, int player, const char *die, const QString &shows, int square) {
            return QStringLiteral("%1 units: player %2, die %3 showing \"%4\", piece on %5")
                .arg(units)
                .arg(player)
                .arg(QString::fromUtf8(die), shows)
                .arg(square);
        };
        QStringList want;
        QString last;
        for (const auto &[player, face] : {std::pair{1, 3}, {2, 2}, {3, 5}, {4, 6}}) {
            const QString own = QString::number(face);
            // Before its first walk a piece stands at its creation place, on no square.
            if (player > 1)
                want << moment(1, player, "still", last, -1) << moment(1, player, "rolling", last, -1) << moment(2, player, "rolling", own, -1);
            for (int k = 0; k <= face; ++k)
                want << moment(test::WalkPause, player, "still", own, k);
            last = own;
        }
        QStringList seen;
        for (const auto &p : table.ports.pauses) {
            const char *die = p.rolling && p.stopEnabled ? "rolling" : !p.rolling && !p.stopEnabled ? "still"
                                                                                                    : "half";
            seen << moment(p.units, p.mover, die, p.die, p.square);
        }
        QCOMPARE(seen, want);
        QCOMPARE(table.ports.Count(QStringLiteral("Beep")), 4 + 3 + 6 + 7);
        QVERIFY(table.die.Empty());
        for (const auto &[player, square] : {std::pair{1, 3}, {2, 2}, {3, 5}, {4, 6}})
            QCOMPARE(table.Player(player).Position.value(), square);
        QCOMPARE(table.board.CurrentPlayer.value(), 1);
        QCOMPARE(table.State().Label1, QStringLiteral("   備前屋の若旦那の番でありんすぅ"));
        QVERIFY(!table.State().Command2Enabled);
        QCOMPARE(table.State().Timer1Interval, 0);
    }

    void everyLandingShowsItsLinePaysAndSetsTheNextStart_data()
    {
        // clang-format off
        QTest::addColumn<int>("square");
        QTest::addColumn<int>("player");
        for (int k = 0; k < int(expected::Squares.size()); ++k)
            for (int p = 1; p <= MaxPlayers; ++p)
                QTest::addRow("square %d, player %d", k, p) << k << p;
        // clang-format on
    }
    void everyLandingShowsItsLinePaysAndSetsTheNextStart()
    {
        QFETCH(int, square);
        QFETCH(int, player);
        const expected::Square &want = expected::Squares[std::size_t(square)];
        test::Table table;
        // Names that would mislead a line chosen by the name, not the player.
        table.Player(player).Name = player == 4 ? QStringLiteral("番頭") : QStringLiteral("じい");
        const PiecePlace before = table.State().Image4[player - 1];
        for (int landings = 1; landings <= 2; ++landings) {  // a square pays every time
            table.board.CurrentPlayer = player;
            table.Player(player).Position = square;
            table.board.ApplySquareEvent();
            QCOMPARE(table.State().Label5[player - 1], expected::LineFor(square, player));
            QCOMPARE(table.Player(player).Money.value(), 1000 + landings * want.money);
            QCOMPARE(table.State().Label3[player - 1], QString::number(1000 + landings * want.money));
            QCOMPARE(table.Player(player).Position.value(), expected::NextStart(square));
        }
        // Only going back to the start moves the piece: at once, no pause, no beep.
        if (want.then == expected::BackToStart)
            QCOMPARE(expected::SquareUnder(table.State().Image4[player - 1], player), 0);
        else
            QVERIFY(table.State().Image4[player - 1] == before);
        QVERIFY(table.ports.log.isEmpty());
        for (int other = 1; other <= MaxPlayers; ++other)  // the others' lines and purses untouched
            QVERIFY2(other == player || (table.State().Label5[other - 1].isEmpty() && table.State().Label3[other - 1] == QLatin1String("1000")),
                     qPrintable(QStringLiteral("player %1").arg(other)));
    }
};

QTEST_GUILESS_MAIN(TestTurn)
#include "test_turn.moc"
