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

}  // namespace

class TestNumbers : public QObject {
    Q_OBJECT

private slots:
    void outOfRangeIsAProgramErrorNamingWhatFailed_data()
    {
        // clang-format off
        QTest::addColumn<Action>("action");
        QTest::addColumn<QString>("error");  // the whole message; empty: no error
        QTest::newRow("16 bits: largest plus one") << Action([] { (void)(Int16(32767) + Int16(1)); })
                                                   << "overflow: addition gives 32768, outside the 16-bit signed range";
        QTest::newRow("16 bits: smallest minus one") << Action([] { (void)(Int16(-32768) - Int16(1)); })
                                                     << "overflow: subtraction gives -32769, outside the 16-bit signed range";
        QTest::newRow("16 bits: largest reached exactly") << Action([] { QCOMPARE((Int16(32766) + Int16(1)).value(), 32767); }) << "";
        QTest::newRow("16 bits: negative results are fine") << Action([] { QCOMPARE((Int16(30) - Int16(50)).value(), -20); }) << "";
        QTest::newRow("into 16 bits") << Action([] { Int16 x = 40000; Q_UNUSED(x); })
                                      << "overflow: conversion gives 40000, outside the 16-bit signed range";
        QTest::newRow("into 32 bits") << Action([] { Int32 x = 3'000'000'000LL; Q_UNUSED(x); })
                                      << "overflow: conversion gives 3000000000, outside the 32-bit signed range";
        // A purse near the top: a step past it fails and leaves the purse as it was.
        QTest::newRow("32 bits: a step past the largest") << Action([] {
            Int32 purse = 2'147'483'000;
            purse += 500;
            QCOMPARE(purse.value(), 2'147'483'500);
            try { purse += 1000; } catch (const ProgramError &) { QCOMPARE(purse.value(), 2'147'483'500); throw; }
        }) << "overflow: addition gives 2147484500, outside the 32-bit signed range";
        QTest::newRow("into 32 bits, fitting") << Action([] { Int32 x = 2'000'000'000LL; Q_UNUSED(x); }) << "";
        for (int k : {-1, 0, 4, 5})
            QTest::addRow("player %d", k) << Action([k] {
                PlayerTable players{"Players"};
                players[k].Name = QStringLiteral("x");
            }) << (k < 0 || k > 4 ? QStringLiteral("index out of range: Players(%1), valid 0 to 4").arg(k) : QString());
        for (auto [name, label] :
             {std::pair{"Label2", &BoardState::Label2}, {"Label3", &BoardState::Label3}, {"Label5", &BoardState::Label5}})
            QTest::addRow("a fifth %s", name) << Action([label] { (BoardState().*label)[4].clear(); })
                                              << QStringLiteral("index out of range: %1(4), valid 0 to 3").arg(name);
        QTest::newRow("a fifth piece") << Action([] { BoardState().Image4[4] = {}; }) << "index out of range: Image4(4), valid 0 to 3";
        for (int k : {25, -1})
            QTest::addRow("square %d", k) << Action([k] { (void)SquareAt(k); })
                                          << QStringLiteral("index out of range: Image1(%1), valid 0 to 24").arg(k);
        QTest::newRow("character 0") << Action([] { (void)DefaultNames(0); }) << "index out of range: DefaultNames(0), valid 1 to 4";
        QTest::newRow("character 4") << Action([] { QCOMPARE(DefaultNames(4), QStringLiteral("旗本の三男坊")); }) << "";
        // clang-format on
    }
    void outOfRangeIsAProgramErrorNamingWhatFailed()
    {
        QFETCH(Action, action);
        QFETCH(QString, error);
        QCOMPARE(ErrorOf(action), error);
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
