// Random rounds held against the hand-written square table: a thousand with
// every mix of humans and computers, and a million turns without a restart,
// in which memory stays bounded apart from the winner text's own growth. Play
// goes on after a win; each round's end congratulates whoever holds 2500.
#include "fakes.h"

#include <QtTest>

#include <random>

#include <sys/resource.h>

using namespace kiramoku;

namespace {

// What a game should have come to, kept from the hand-written squares.
struct Expected {
    QList<int> money{0, 1000, 1000, 1000, 1000}, start = QList<int>(MaxPlayers + 1);
    QStringList message = QStringList(MaxPlayers + 1);  // each player's last landing line
    QString winnerText;                                 // a line for each player at 2500 or more at each round's end, in player order
};

// One round with random faces: each human rolls and stops, and the computers'
// faces are scripted for the last human's stop. Closely: also each walk square
// by square, with the mover's last line still shown, and the winner text.
void PlayRound(test::Table &table, Expected &want, std::mt19937 &rng, bool closely)
{
    std::uniform_int_distribution<int> die(1, DieFaces);
    QList<int> face(MaxPlayers + 1);
    std::generate(face.begin() + 1, face.end(), [&] { return die(rng); });
    const int humans = table.board.HumanPlayers.value();
    table.ports.log.clear();
    table.ports.pauses.clear();
    for (int human = 1; human <= humans; ++human) {
        QCOMPARE(table.board.CurrentPlayer.value(), human);
        table.Roll(face[human], human == humans ? face.mid(humans + 1) : QList<int>());
    }
    QList<int> walk;    // every placement of the round, player after player
    QStringList lines;  // the mover's message at each of them
    for (int k = 1; k <= MaxPlayers; ++k) {
        for (int step = 0; step <= face[k]; ++step) {
            walk << (want.start[k] + step) % 25;
            lines << want.message[k];
        }
        const int landing = (want.start[k] + face[k]) % 25;
        want.message[k] = expected::LineFor(landing, k);
        want.money[k] += expected::Squares[std::size_t(landing)].money;
        want.start[k] = expected::NextStart(landing);
        if (want.money[k] >= 2500)  // no later landing of the round changes this purse
            want.winnerText += QStringLiteral("おめでとう。") + table.Player(k).Name + QStringLiteral("さん\r\n");
    }
    QVERIFY(table.die.Empty());  // every computer turn ran
    QCOMPARE(qsizetype(table.ports.Count(QStringLiteral("Beep"))), walk.size());
    for (int k = 1; k <= MaxPlayers; ++k) {
        QCOMPARE(table.Player(k).Position.value(), want.start[k]);
        QCOMPARE(table.Player(k).Money.value(), want.money[k]);
        QCOMPARE(table.State().Label3[k - 1], QString::number(want.money[k]));
        QCOMPARE(table.State().Label5[k - 1], want.message[k]);
    }
    // Once a game is won, every round's end shows the winner window and pauses the music.
    const int won = want.winnerText.isEmpty() ? 0 : 1;
    QCOMPARE(table.module.WinnerFlag.value(), won);
    QCOMPARE(table.ports.Count(QStringLiteral("ShowWinnerWindow")), won);
    QCOMPARE(table.ports.Count(QStringLiteral("Command Pause")), won);
    QCOMPARE(table.board.CurrentPlayer.value(), 1);
    QVERIFY(!table.State().Command2Enabled);
    QCOMPARE(table.State().Timer1Interval, 0);
    if (closely) {
        QCOMPARE(table.ports.Walked(&test::Recorder::Pause::square), walk);
        QCOMPARE(table.ports.Walked(&test::Recorder::Pause::message), lines);
        QCOMPARE(table.module.WinnerText, want.winnerText);
    }
}

// The most memory the process has held at once so far.
long long PeakResidentKiB()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

}  // namespace

class TestRandomRounds : public QObject {
    Q_OBJECT

private slots:
    void aThousandRandomRoundsWithEveryMixOfHumansKeepEveryInvariant()
    {
        std::mt19937 rng(20261207);
        for (int game = 0; game < 10; ++game) {  // a fresh table now and then, as a new game would be
            test::Table table(game % MaxPlayers + 1);
            Expected want;
            for (int round = 0; round < 100 && !QTest::currentTestFailed(); ++round)
                PlayRound(table, want, rng, true);
        }
    }

    void aMillionTurnsWithoutARestartKeepEveryInvariantInBoundedMemory()
    {
        constexpr int Rounds = 250'000;  // of four humans
        std::mt19937 rng(1207);
        test::Table table(4);
        table.ports.board = nullptr;  // no picture of the board at each pause: too slow for a million
        Expected want;
        long long peakAtStart = 0;
        for (int round = 0; round < Rounds && !QTest::currentTestFailed(); ++round) {
            PlayRound(table, want, rng, false);
            if (round == Rounds / 10)
                peakAtStart = PeakResidentKiB();
        }
        QCOMPARE(table.module.WinnerText, want.winnerText);

        // Memory: whatever grew beyond the winner text's own characters.
        const long long textKiB = table.module.WinnerText.capacity() * 2 / 1024;
        const long long grown = PeakResidentKiB() - peakAtStart;
        qInfo("%d rounds, %lld winner lines, winner text %lld KiB, resident growth %lld KiB", Rounds,
              static_cast<long long>(want.winnerText.count(QLatin1Char('\n'))), textKiB, grown);
#ifndef __SANITIZE_ADDRESS__
        // (AddressSanitizer holds freed memory back on purpose, so resident
        // size says nothing under it.)
        QVERIFY2(grown < textKiB + 8 * 1024, qPrintable(QString::number(grown)));
#endif
    }
};

QTEST_GUILESS_MAIN(TestRandomRounds)
#include "test_random_rounds.moc"
