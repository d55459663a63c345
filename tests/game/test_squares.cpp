// Landings: each square's line, purse change and special move.
#include "fakes.h"

#include <QRegularExpression>
#include <QtTest>

using namespace kiramoku;

namespace {
const QString Merchant = QStringLiteral("番頭さん、これ持ってくよ！");
const QString Samurai = QStringLiteral("じい、持ってくよ！[(じい)わか、どこに行かれるのじゃ！]");
const QString Constable = QStringLiteral("八丁堀のだんな、またですかい？");
const QString BackToStart = QStringLiteral("おいおい！そりゃあないぜ・・・なんてこったい(-700)");
} // namespace

class TestSquares : public QObject {
    Q_OBJECT

    // Lands `player` on `square` with `money` in the purse, as a walk would.
    static void Land(test::Table &table, int player, int square, int money = StartMoney)
    {
        table.board.CurrentPlayer = player;
        table.Player(player).Position = square;
        table.Player(player).Money = money;
        table.board.ApplySquareEvent();
    }

private slots:
    void landingShowsTheLineAndMovesThePurse_data()
    {
        QTest::addColumn<int>("player");
        QTest::addColumn<int>("square");
        QTest::addColumn<QString>("message");
        QTest::addColumn<QString>("purse");
        QTest::newRow("start square")
            << 1 << 0 << QStringLiteral("おやじ、金持ってくぜ！[(おやじ)この馬鹿息子が！]（＋500）") << "1500";
        QTest::newRow("ukiyo-e found") << 2 << 1 << QStringLiteral("うへへ・・・。夜のおかずを手に入れたぜ（＋200）") << "1200";
        QTest::newRow("lottery") << 3 << 13 << QStringLiteral("やったぁー！富くじが当たったぁ！！！（+1000）") << "2000";
        QTest::newRow("pilgrimage")
            << 4 << 20
            << QStringLiteral("お伊勢参りの後は「あかふく」でもいただきましょ。[茶屋のおやじに金をぼったぐられる]（-500）")
            << "500";
        QTest::newRow("widow rescued") << 1 << 15 << QStringLiteral("へっ！どんなもんだい！[悪人に100両で手をうった。]（-100）") << "900";
        QTest::newRow("constable for player 1") << 1 << 2 << Constable << "950";
        QTest::newRow("constable for player 4") << 4 << 19 << Constable << "950";
        QTest::newRow("allowance of a merchant's son") << 3 << 3 << Merchant << "1050";
        QTest::newRow("allowance of the samurai's son") << 4 << 3 << Samurai << "1050";
        QTest::newRow("allowance on the last square") << 4 << 24 << Samurai << "1050";
    }
    void landingShowsTheLineAndMovesThePurse()
    {
        QFETCH(int, player);
        QFETCH(int, square);
        QFETCH(QString, message);
        QFETCH(QString, purse);
        test::Table table;
        Land(table, player, square);
        QCOMPARE(table.State().Label5[player - 1], message);
        QCOMPARE(table.State().Label3[player - 1], purse);
        QCOMPARE(table.Player(player).Money.value(), purse.toInt());
        for (int other = 1; other <= MaxPlayers; ++other) {
            if (other != player) {
                QVERIFY(table.State().Label5[other - 1].isEmpty());
                QCOMPARE(table.State().Label3[other - 1], QStringLiteral("1000"));
            }
        }
    }

    void theAmountInEveryLineEqualsTheSquaresMoney()
    {
        const QRegularExpression amount(QStringLiteral("[（(]([-+＋]?)(\\d+)[）)]$"));
        for (int k = 0; k < SquareCount; ++k) {
            const Square &square = SquareAt(k);
            if (square.Kind != Line::Own) {
                QCOMPARE(std::abs(square.Money), 50);
                continue;
            }
            const auto match = amount.match(QString::fromUtf8(square.Text));
            QVERIFY2(match.hasMatch(), qPrintable(QStringLiteral("square %1").arg(k)));
            const int sign = match.captured(1) == QLatin1String("-") ? -1 : 1;
            QCOMPARE(sign * match.captured(2).toInt(), square.Money);
        }
    }

    void theAllowanceLineFollowsThePlayerNumberNotTheTypedName()
    {
        test::Table table;
        table.Player(4).Name = QStringLiteral("番頭");
        table.Player(1).Name = QStringLiteral("じい");
        Land(table, 4, 17);
        Land(table, 1, 17);
        QCOMPARE(table.State().Label5[3], Samurai);
        QCOMPARE(table.State().Label5[0], Merchant);
    }

    void aPurseBelowZeroShowsAMinusSign()
    {
        test::Table table;
        Land(table, 2, 2, 30);
        QCOMPARE(table.State().Label3[1], QStringLiteral("-20"));
        Land(table, 2, 4, -20);
        QCOMPARE(table.State().Label3[1], QStringLiteral("-720"));
    }

    void backToStartPlacesThePieceAtOnceWithoutTheStartSquaresEvent_data()
    {
        QTest::addColumn<int>("square");
        QTest::newRow("square 4") << 4;
        QTest::newRow("square 18") << 18;
    }
    void backToStartPlacesThePieceAtOnceWithoutTheStartSquaresEvent()
    {
        QFETCH(int, square);
        test::Table table;
        Land(table, 3, square);
        QCOMPARE(table.State().Label5[2], BackToStart);
        QCOMPARE(table.State().Label3[2], QStringLiteral("300"));
        QCOMPARE(table.Player(3).Position.value(), 0);
        QCOMPARE(test::SquareUnderPiece(table.State(), 3), 0);
        QVERIFY(table.ports.log.isEmpty());  // no pause, no beep
    }

    void shiftsMoveTheNextStartButNotThePiece_data()
    {
        QTest::addColumn<int>("square");
        QTest::addColumn<int>("shiftedTo");
        QTest::addColumn<QString>("purse");
        QTest::newRow("square 21 shifts forward") << 21 << 22 << "1350";
        QTest::newRow("square 23 shifts back") << 23 << 22 << "500";
    }
    void shiftsMoveTheNextStartButNotThePiece()
    {
        QFETCH(int, square);
        QFETCH(int, shiftedTo);
        QFETCH(QString, purse);
        test::Table table;
        const PiecePlace before = table.State().Image4[0];
        Land(table, 1, square);
        QCOMPARE(table.Player(1).Position.value(), shiftedTo);
        QCOMPARE(table.State().Label3[0], purse);
        QVERIFY(table.State().Image4[0] == before);
    }

    void everyLandingOnTheLotteryPaysAgain()
    {
        test::Table table;
        Land(table, 1, 13);
        Land(table, 1, 13, table.Player(1).Money.value());
        QCOMPARE(table.State().Label3[0], QStringLiteral("3000"));
    }
};

QTEST_GUILESS_MAIN(TestSquares)
#include "test_squares.moc"
