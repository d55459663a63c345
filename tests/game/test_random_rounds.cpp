// A thousand random rounds with every mix of humans and computers: the
// invariants that examples miss.
#include "fakes.h"

#include <QtTest>

#include <random>

using namespace kiramoku;

class TestRandomRounds : public QObject {
    Q_OBJECT

private slots:
    void aThousandRandomRoundsKeepEveryInvariant()
    {
        std::mt19937 rng(20261207);
        std::uniform_int_distribution<int> face(1, DieFaces);
        constexpr int Rounds = 1000;
        constexpr int Restarts = 10;  // a fresh table now and then, as a new game would be
        for (int game = 0; game < Restarts; ++game) {
            const int humans = game % MaxPlayers + 1;
            test::Table table(humans);
            std::array<long long, MaxPlayers + 1> expectedMoney{};
            expectedMoney.fill(StartMoney);
            int lines = 0;
            for (int round = 0; round < Rounds / Restarts; ++round) {
                for (int human = 1; human <= humans; ++human) {
                    QCOMPARE(table.board.CurrentPlayer.value(), human);
                    table.ports.walked.clear();
                    table.board.Command1_Click();
                    table.die.Push(face(rng));
                    table.board.Timer1_Timer();
                    if (human == humans) {
                        for (int computer = humans + 1; computer <= MaxPlayers; ++computer) {
                            table.die.Push(face(rng));
                        }
                    }
                    table.board.Command2_Click();
                    // Every walk's last placement is its landing square.
                    QVERIFY(!table.ports.walked.isEmpty());
                    for (qsizetype i = 0; i < table.ports.walked.size(); ++i) {
                        const auto [mover, square] = table.ports.walked[i];
                        QVERIFY(square >= 0 && square < SquareCount);
                        const bool landing = i + 1 == table.ports.walked.size()
                                             || table.ports.walked[i + 1].first != mover;
                        if (landing) {
                            expectedMoney[static_cast<std::size_t>(mover)] += SquareAt(square).Money;
                        }
                    }
                }
                // Leftover scripted faces belong to no one: all computer turns ran.
                QVERIFY(table.die.Empty());
                int winners = 0;
                for (int k = 1; k <= MaxPlayers; ++k) {
                    const PlayerRecord &p = table.Player(k);
                    QVERIFY(p.Position >= 0 && p.Position < SquareCount);
                    QCOMPARE(static_cast<long long>(p.Money.value()), expectedMoney[static_cast<std::size_t>(k)]);
                    QCOMPARE(table.State().Label3[k - 1], QString::number(p.Money.value()));
                    winners += p.Money >= WinningMoney;
                }
                lines += winners;
                QCOMPARE(table.module.WinnerText.count(QStringLiteral("\r\n")), lines);
                QCOMPARE(table.module.WinnerFlag.value(), lines > 0 ? 1 : 0);
                QCOMPARE(table.board.CurrentPlayer.value(), 1);
                QVERIFY(!table.State().Command2Enabled);
                QCOMPARE(table.State().Timer1Interval, 0);
            }
        }
    }

    void aFullGameWithFakesTakesMilliseconds()
    {
        // Four computer-free humans for 500 rounds: the rules never wait.
        QElapsedTimer clock;
        clock.start();
        test::Table table(4);
        for (int turn = 0; turn < 2000; ++turn) {
            table.Roll(turn % DieFaces + 1);
        }
        QCOMPARE(table.board.CurrentPlayer.value(), 1);
        qInfo("2000 turns in %lld ms", static_cast<long long>(clock.elapsed()));
    }
};

QTEST_GUILESS_MAIN(TestRandomRounds)
#include "test_random_rounds.moc"
