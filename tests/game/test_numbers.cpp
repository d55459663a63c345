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
        QTest::addColumn<bool>("overflows");
        QTest::newRow("largest plus one") << 32767 << 1 << true << true;
        QTest::newRow("smallest minus one") << -32768 << 1 << false << true;
        QTest::newRow("largest reached exactly") << 32766 << 1 << true << false;
        QTest::newRow("negative results are fine") << 30 << 50 << false << false;
    }
    void sixteenBitResultsOutsideTheRangeAreOverflowErrors()
    {
        QFETCH(int, a);
        QFETCH(int, b);
        QFETCH(bool, add);
        QFETCH(bool, overflows);
        const QString error = ErrorOf([&] {
            const Int16 r = add ? Int16(a) + Int16(b) : Int16(a) - Int16(b);
            QCOMPARE(r.value(), add ? a + b : a - b);
        });
        QCOMPARE(error.startsWith(QStringLiteral("overflow")), overflows);
    }

    void conversionsIntoGameNumbersAreRangeChecked()
    {
        QVERIFY(ErrorOf([] { Int16 x = 40000; Q_UNUSED(x); }).contains(QStringLiteral("16-bit")));
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
        QTest::addColumn<bool>("fails");
        QTest::newRow("slot 0 exists") << "Players" << 0 << false;
        QTest::newRow("player 4") << "Players" << 4 << false;
        QTest::newRow("player 5") << "Players" << 5 << true;
        QTest::newRow("minus one") << "Players" << -1 << true;
        QTest::newRow("a fifth name label") << "Label2" << 4 << true;
        QTest::newRow("a fifth purse label") << "Label3" << 4 << true;
        QTest::newRow("a fifth message label") << "Label5" << 4 << true;
        QTest::newRow("a fifth piece") << "Image4" << 4 << true;
    }
    void arrayIndexesOutsideTheirBoundsNameTheArray()
    {
        QFETCH(QString, array);
        QFETCH(int, index);
        QFETCH(bool, fails);
        PlayerTable players{"Players"};
        BoardState board;
        const QHash<QString, std::function<void()>> touch{
            {"Players", [&] { players[index].Name = QStringLiteral("x"); }},
            {"Label2", [&] { board.Label2[index].clear(); }},
            {"Label3", [&] { board.Label3[index].clear(); }},
            {"Label5", [&] { board.Label5[index].clear(); }},
            {"Image4", [&] { board.Image4[index] = {}; }}};
        const QString error = ErrorOf(touch[array]);
        QCOMPARE(!error.isEmpty(), fails);
        if (fails) {
            QVERIFY2(error.contains(QStringLiteral("%1(%2)").arg(array).arg(index)), qPrintable(error));
        }
    }

    void squaresAndDefaultNamesOutsideTheTableAreErrors()
    {
        QVERIFY(ErrorOf([] { SquareAt(25); }).contains(QStringLiteral("Image1(25)")));
        QVERIFY(ErrorOf([] { SquareAt(-1); }).contains(QStringLiteral("Image1(-1)")));
        QVERIFY(ErrorOf([] { DefaultNames(0); }).contains(QStringLiteral("DefaultNames(0)")));
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
