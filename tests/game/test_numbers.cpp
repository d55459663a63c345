// Game numbers never wrap and arrays never read outside their bounds: a
// program error names what failed.
#include "checked.h"
#include "fakes.h"
#include "squares.h"

#include <QtTest>

using namespace kiramoku;

class TestNumbers : public QObject {
    Q_OBJECT

    static QString ErrorOf(const std::function<void()> &f)
    {
        try {
            f();
        } catch (const ProgramError &e) {
            return QString::fromStdString(e.what());
        }
        return {};
    }

private slots:
    void sixteenBitResultsOutsideTheRangeAreOverflowErrors_data()
    {
        QTest::addColumn<int>("a");
        QTest::addColumn<int>("b");
        QTest::addColumn<bool>("add");
        QTest::addColumn<QString>("error");  // empty: none
        QTest::newRow("largest plus one") << 32767 << 1 << true
                                          << "overflow: addition gives 32768, outside the 16-bit signed range";
        QTest::newRow("smallest minus one") << -32768 << 1 << false
                                            << "overflow: subtraction gives -32769, outside the 16-bit signed range";
        QTest::newRow("largest reached exactly") << 32766 << 1 << true << "";
        QTest::newRow("negative results are fine") << 30 << 50 << false << "";
    }
    void sixteenBitResultsOutsideTheRangeAreOverflowErrors()
    {
        QFETCH(int, a);
        QFETCH(int, b);
        QFETCH(bool, add);
        QFETCH(QString, error);
        QCOMPARE(ErrorOf([&] {
                     const Int16 r = add ? Int16(a) + Int16(b) : Int16(a) - Int16(b);
                     QCOMPARE(r.value(), add ? a + b : a - b);
                 }),
                 error);
    }

    void conversionsIntoGameNumbersAreRangeChecked()
    {
        QCOMPARE(ErrorOf([] { Int16 x = 40000; Q_UNUSED(x); }),
                 QStringLiteral("overflow: conversion gives 40000, outside the 16-bit signed range"));
        QVERIFY(ErrorOf([] { Int32 x = 3'000'000'000LL; Q_UNUSED(x); }).contains(QStringLiteral("32-bit")));
        QVERIFY(ErrorOf([] { Int32 x = 2'000'000'000LL; Q_UNUSED(x); }).isEmpty());
    }

    void purseArithmeticStopsAtThirtyTwoBitsInsteadOfWrapping()
    {
        Int32 purse = 2'147'483'000;
        purse += 500;
        QCOMPARE(purse.value(), 2'147'483'500);
        QVERIFY(ErrorOf([&] { purse += 1000; }).startsWith(QStringLiteral("overflow")));
        QCOMPARE(purse.value(), 2'147'483'500);  // unchanged by the failed step
    }

    void arrayIndexesOutsideTheirBoundsNameTheArray_data()
    {
        QTest::addColumn<QString>("array");
        QTest::addColumn<int>("index");
        QTest::addColumn<QString>("error");  // empty: none
        QTest::newRow("slot 0 exists") << "Players" << 0 << "";
        QTest::newRow("player 4") << "Players" << 4 << "";
        QTest::newRow("player 5") << "Players" << 5 << "index out of range: Players(5), valid 0 to 4";
        QTest::newRow("minus one") << "Players" << -1 << "index out of range: Players(-1), valid 0 to 4";
        QTest::newRow("a fifth name label") << "Label2" << 4 << "index out of range: Label2(4), valid 0 to 3";
        QTest::newRow("a fifth purse label") << "Label3" << 4 << "index out of range: Label3(4), valid 0 to 3";
        QTest::newRow("a fifth message label") << "Label5" << 4 << "index out of range: Label5(4), valid 0 to 3";
        QTest::newRow("a fifth piece") << "Image4" << 4 << "index out of range: Image4(4), valid 0 to 3";
    }
    void arrayIndexesOutsideTheirBoundsNameTheArray()
    {
        QFETCH(QString, array);
        QFETCH(int, index);
        QFETCH(QString, error);
        PlayerTable players{"Players"};
        BoardState board;
        const QHash<QString, std::function<void()>> touch{
            {"Players", [&] { players[index].Name = QStringLiteral("x"); }},
            {"Label2", [&] { board.Label2[index].clear(); }},
            {"Label3", [&] { board.Label3[index].clear(); }},
            {"Label5", [&] { board.Label5[index].clear(); }},
            {"Image4", [&] { board.Image4[index] = {}; }}};
        QCOMPARE(ErrorOf(touch[array]), error);
    }

    void squaresAndDefaultNamesOutsideTheTableAreErrors()
    {
        QCOMPARE(ErrorOf([] { SquareAt(25); }), QStringLiteral("index out of range: Image1(25), valid 0 to 24"));
        QCOMPARE(ErrorOf([] { SquareAt(-1); }), QStringLiteral("index out of range: Image1(-1), valid 0 to 24"));
        QCOMPARE(ErrorOf([] { DefaultNames(0); }), QStringLiteral("index out of range: DefaultNames(0), valid 1 to 4"));
        QCOMPARE(DefaultNames(4), QStringLiteral("旗本の三男坊"));
    }

    void slotZeroOfThePlayersStaysUntouchedByStartPlayAndRestart()
    {
        test::Table table(1);
        table.Roll(3, {2, 5, 1});
        table.board.AllClear();
        table.Roll(4, {6, 6, 6});
        const PlayerRecord &zero = table.Player(0);
        QVERIFY(zero.Name.isNull());
        QCOMPARE(zero.Money.value(), 0);
        QCOMPARE(zero.Position.value(), 0);
    }
};

QTEST_GUILESS_MAIN(TestNumbers)
#include "test_numbers.moc"
