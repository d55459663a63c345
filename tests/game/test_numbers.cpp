// Game numbers never wrap and arrays never read outside their bounds: a
// program error names what failed.
#include "checked.h"
#include "fakes.h"
#include "squares.h"

#include <QtTest>

#include <functional>

using namespace kiramoku;

using Action = std::function<void()>;
Q_DECLARE_METATYPE(Action)

namespace {

QString ErrorOf(const Action &f)
{
    try {
        f();
    } catch (const ProgramError &e) {
        return QString::fromStdString(e.what());
    }
    return {};
}

} // namespace

class TestNumbers : public QObject {
    Q_OBJECT

private slots:
    void outOfRangeIsAProgramErrorNamingWhatFailed_data()
    {
        QTest::addColumn<Action>("action");
        QTest::addColumn<QString>("error");  // what the message says; empty: no error
        QTest::newRow("16 bits: largest plus one") << Action([] { (void)(Int16(32767) + Int16(1)); }) << "overflow";
        QTest::newRow("16 bits: smallest minus one") << Action([] { (void)(Int16(-32768) - Int16(1)); }) << "overflow";
        QTest::newRow("16 bits: largest reached exactly")
            << Action([] { QCOMPARE((Int16(32766) + Int16(1)).value(), 32767); }) << "";
        QTest::newRow("16 bits: negative results are fine")
            << Action([] { QCOMPARE((Int16(30) - Int16(50)).value(), -20); }) << "";
        QTest::newRow("into 16 bits") << Action([] { Int16 x = 40000; Q_UNUSED(x); }) << "16-bit";
        QTest::newRow("into 32 bits") << Action([] { Int32 x = 3'000'000'000LL; Q_UNUSED(x); }) << "32-bit";
        QTest::newRow("into 32 bits, fitting") << Action([] { Int32 x = 2'000'000'000LL; Q_UNUSED(x); }) << "";
        for (int k : {-1, 0, 4, 5}) {
            QTest::addRow("player %d", k) << Action([k] {
                PlayerTable players{"Players"};
                players[k].Name = QStringLiteral("x");
            }) << (k < 0 || k > 4 ? QStringLiteral("Players(%1)").arg(k) : QString());
        }
        QTest::newRow("square 25") << Action([] { (void)SquareAt(25); }) << "Image1(25)";
        QTest::newRow("square -1") << Action([] { (void)SquareAt(-1); }) << "Image1(-1)";
        QTest::newRow("character 0") << Action([] { (void)DefaultNames(0); }) << "DefaultNames(0)";
        QTest::newRow("character 4")
            << Action([] { QCOMPARE(DefaultNames(4), QStringLiteral("旗本の三男坊")); }) << "";
    }
    void outOfRangeIsAProgramErrorNamingWhatFailed()
    {
        QFETCH(Action, action);
        QFETCH(QString, error);
        const QString message = ErrorOf(action);
        QVERIFY2(error.isEmpty() ? message.isEmpty() : message.contains(error), qPrintable(message));
    }

    void purseArithmeticStopsAtThirtyTwoBitsInsteadOfWrapping()
    {
        Int32 purse = 2'147'483'000;
        purse += 500;
        QCOMPARE(purse.value(), 2'147'483'500);
        QVERIFY(ErrorOf([&] { purse += 1000; }).startsWith(QStringLiteral("overflow")));
        QCOMPARE(purse.value(), 2'147'483'500);  // unchanged by the failed step
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
