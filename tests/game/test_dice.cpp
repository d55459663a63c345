// The die: its values, its animation state, and a stop before any value.
#include "fakes.h"

#include <QtTest>

#include <array>

using namespace kiramoku;

class TestDice : public QObject {
    Q_OBJECT

private slots:
    void theClockDieShowsEveryFaceAndNothingElseInQuickSuccession()
    {
        ClockChance chance;
        test::Recorder ports;
        Module1 module(chance, ports);
        constexpr int Draws = 60000;
        std::array<int, DieFaces + 1> seen{};
        for (int i = 0; i < Draws; ++i) {
            const int face = module.RollDie().value();
            QVERIFY2(face >= 1 && face <= DieFaces, qPrintable(QString::number(face)));
            ++seen[static_cast<std::size_t>(face)];
        }
        // Uniform: chi-square over 5 degrees of freedom stays far below 30
        // (p < 0.00002) for a fair die.
        double chi = 0;
        const double expected = Draws / double(DieFaces);
        for (int f = 1; f <= DieFaces; ++f) {
            const double diff = seen[static_cast<std::size_t>(f)] - expected;
            chi += diff * diff / expected;
        }
        QVERIFY2(chi < 30, qPrintable(QStringLiteral("chi-square %1").arg(chi)));
    }

    // A chance outside 0 to 1 is a program error, never a seven or a nought.
    void chanceAtItsEdgesGivesOneAndSix_data()
    {
        QTest::addColumn<double>("r");
        QTest::addColumn<int>("face");
        QTest::addColumn<QString>("error");  // instead of a face
        QTest::newRow("zero") << 0.0 << 1 << "";
        QTest::newRow("just under a sixth") << 0.1666 << 1 << "";
        QTest::newRow("a sixth") << 1.0 / 6 << 2 << "";
        QTest::newRow("just under one") << 0.9999999999 << 6 << "";
        QTest::newRow("one: no seven") << 1.0 << 0 << "die value out of range: chance gave 1.000000, expected 0 <= r < 1";
        QTest::newRow("below zero: no nought") << -0.01 << 0
                                               << "die value out of range: chance gave -0.010000, expected 0 <= r < 1";
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
            QCOMPARE(QString::fromStdString(e.what()), error);
        }
    }

    void rollingTicksShowValuesAndAStoppedDieIgnoresLateTicks()
    {
        test::Table table;
        // Before the first roll the stop is disabled and the die empty.
        QVERIFY(!table.State().Command2Enabled);
        QCOMPARE(table.State().Timer1Interval, 0);
        QVERIFY(table.State().Label6.isEmpty());
        table.board.Command1_Click();
        table.board.Command1_Click();  // twice is the same as once
        QCOMPARE(table.State().Timer1Interval, 1);  // milliseconds
        QVERIFY(table.State().Command2Enabled);
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
    }

    // A stop before the first tick of the first roll is ignored and the die
    // rolls on; before the first tick of a later roll it takes the value shown.
    void aStopBeforeAnyDieValueIsIgnoredAndTheDieRollsOn()
    {
        test::Table table;
        table.board.Command1_Click();
        table.board.Command2_Click();
        QCOMPARE(table.State().Timer1Interval, 1);  // milliseconds
        QVERIFY(table.State().Command2Enabled);
        QCOMPARE(table.board.CurrentPlayer.value(), 1);
        QCOMPARE(table.Player(1).Position.value(), 0);
        QVERIFY(table.ports.log.isEmpty());
        table.die.Push(2);
        table.board.Timer1_Timer();
        table.board.Command2_Click();
        QCOMPARE(table.Player(1).Position.value(), 2);
        table.board.Command1_Click();
        table.board.Command2_Click();  // player 2 moves by the 2 still shown
        QCOMPARE(table.Player(2).Position.value(), 2);
    }
};

QTEST_GUILESS_MAIN(TestDice)
#include "test_dice.moc"
