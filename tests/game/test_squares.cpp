// Landings on every square by every player, held against the hand-written
// table: the line, the purse, where the next walk starts, where the piece is.
#include "fakes.h"

#include <QtTest>

using namespace kiramoku;
using expected::Squares;

class TestSquares : public QObject {
    Q_OBJECT

private slots:
    void everyLandingShowsItsLinePaysAndSetsTheNextStart_data()
    {
        QTest::addColumn<int>("square");
        QTest::addColumn<int>("player");
        for (int k = 0; k < int(Squares.size()); ++k) {
            for (int p = 1; p <= MaxPlayers; ++p) {
                QTest::addRow("square %d, player %d", k, p) << k << p;
            }
        }
    }
    void everyLandingShowsItsLinePaysAndSetsTheNextStart()
    {
        QFETCH(int, square);
        QFETCH(int, player);
        const expected::Square &want = Squares[std::size_t(square)];
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
        if (want.then == expected::BackToStart) {
            QCOMPARE(expected::SquareUnder(table.State().Image4[player - 1], player), 0);
        } else {
            QVERIFY(table.State().Image4[player - 1] == before);
        }
        QVERIFY(table.ports.log.isEmpty());
        for (int other = 1; other <= MaxPlayers; ++other) {
            if (other != player) {
                QVERIFY(table.State().Label5[other - 1].isEmpty());
                QCOMPARE(table.State().Label3[other - 1], QStringLiteral("1000"));
            }
        }
    }
};

QTEST_GUILESS_MAIN(TestSquares)
#include "test_squares.moc"
