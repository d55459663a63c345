// A thousand random rounds with every mix of humans and computers: the
// invariants that examples miss, with each landing's purse change and next
// start taken from the hand-written square table.
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
            std::array<int, MaxPlayers + 1> money{}, start{};
            money.fill(StartMoney);
            int lines = 0;
            for (int round = 0; round < Rounds / Restarts; ++round) {
                for (int human = 1; human <= humans; ++human) {
                    QCOMPARE(table.board.CurrentPlayer.value(), human);
                    table.ports.pauses.clear();
                    table.board.Command1_Click();
                    table.die.Push(face(rng));
                    table.board.Timer1_Timer();
                    for (int computer = humans + 1; human == humans && computer <= MaxPlayers; ++computer) {
                        table.die.Push(face(rng));
                    }
                    table.board.Command2_Click();
                    // Each walk starts where the last one left the player, lands
                    // its die value further on, and every step stands on a square.
                    for (qsizetype i = 0; i < table.ports.pauses.size(); ++i) {
                        const auto &pause = table.ports.pauses[i];
                        const auto mover = std::size_t(pause.mover);
                        const bool first = i == 0 || table.ports.pauses[i - 1].mover != pause.mover;
                        const bool last = i + 1 == table.ports.pauses.size()
                                          || table.ports.pauses[i + 1].mover != pause.mover;
                        if (pause.units != test::WalkPause) {
                            continue;
                        }
                        QVERIFY(pause.square >= 0);
                        if (first || table.ports.pauses[i - 1].units != test::WalkPause) {
                            QCOMPARE(pause.square, start[mover]);
                        }
                        if (last) {
                            QCOMPARE(pause.square, (start[mover] + pause.die.toInt()) % 25);
                            money[mover] += expected::Squares[std::size_t(pause.square)].money;
                            start[mover] = expected::NextStart(pause.square);
                        }
                    }
                }
                // Leftover scripted faces belong to no one: all computer turns ran.
                QVERIFY(table.die.Empty());
                int winners = 0;
                for (int k = 1; k <= MaxPlayers; ++k) {
                    const PlayerRecord &p = table.Player(k);
                    QCOMPARE(p.Position.value(), start[std::size_t(k)]);
                    QCOMPARE(p.Money.value(), money[std::size_t(k)]);
                    QCOMPARE(table.State().Label3[k - 1], QString::number(money[std::size_t(k)]));
                    winners += money[std::size_t(k)] >= 2500;
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
