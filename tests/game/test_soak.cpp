// A million turns without a restart: the rules keep every invariant, winners
// are exactly those at 2500 or more at each round's end, and memory stays
// bounded apart from the winner text's own growth.
#include "board.h"
#include "expected_squares.h"

#include <QFile>
#include <QtTest>

#include <random>

using namespace kiramoku;

namespace {

// Counts what a turn asks for, keeping nothing.
struct Counters : TurnEffects, WindowControl, MusicControl, Question {
    long long pauses = 0, beeps = 0, winnerWindows = 0, musicPauses = 0;
    int lastMover = 0;
    int lastSquare = -1;
    void Delay(int) override { ++pauses; }
    void Beep() override { ++beeps; }
    void ShowWinnerWindow() override { ++winnerWindows; }
    void UnloadWinnerWindow() override {}
    void UnloadBoard() override {}
    void SetNotify(bool) override {}
    void SetWait(bool) override {}
    void SetShareable(bool) override {}
    void SetDeviceType(const QString &) override {}
    void SetFileName(const QString &) override {}
    void SetFrom(qint32) override {}
    void SetCommand(const QString &command) override { musicPauses += command == QLatin1String("Pause"); }
    bool AskYes(const QString &, const QString &, bool) override { return false; }
};

struct SeededDie : ChanceSource {
    std::mt19937_64 rng{1207};
    std::uniform_real_distribution<double> uniform{0.0, 1.0};
    double Next() override { return uniform(rng); }
};

struct FourHumans : SelectionWindow {
    int ListIndex() const override { return MaxPlayers - 1; }
    void SetListIndex(int) override {}
    QString Text(int) const override { return {}; }
    void Hide() override {}
    void Unload() override {}
};

long long ResidentKiB()
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly)) {
        return -1;
    }
    for (const QByteArray &line : status.readAll().split('\n')) {
        if (line.startsWith("VmRSS:")) {
            return line.mid(6).trimmed().split(' ').first().toLongLong();
        }
    }
    return -1;
}

} // namespace

class TestSoak : public QObject {
    Q_OBJECT

private slots:
    void aMillionTurnsKeepEveryInvariant()
    {
        constexpr long long Turns = 1'000'000;
        Counters ports;
        SeededDie die;
        Module1 module(die, ports);
        BoardRules board(module, {ports, ports, ports, ports}, QStringLiteral("kira.mid"));
        FourHumans selection;
        board.Form_Load(selection);

        std::array<long long, MaxPlayers + 1> purse{};
        purse.fill(StartMoney);
        long long winnerLines = 0, roundsWithWinners = 0, steps = 0;
        long long residentAtStart = 0;
        for (long long turn = 0; turn < Turns; ++turn) {
            const int mover = board.CurrentPlayer.value();
            const int start = board.Players[mover].Position.value();
            const long long beepsBefore = ports.beeps;
            board.Command1_Click();
            board.Timer1_Timer();
            const int face = board.State().Label6.toInt();
            board.Command2_Click();

            // The walk placed the piece on its start square and `face` more.
            QCOMPARE(ports.beeps - beepsBefore, face + 1);
            steps += face;
            const int landing = (start + face) % 25;
            purse[size_t(mover)] += expected::Squares[size_t(landing)].money;
            const PlayerRecord &record = board.Players[mover];
            if (record.Money.value() != purse[size_t(mover)] || record.Position != expected::NextStart(landing)) {
                QFAIL(qPrintable(QStringLiteral("turn %1: purse %2, expected %3; next start %4, expected %5")
                                     .arg(turn).arg(record.Money.value()).arg(purse[size_t(mover)])
                                     .arg(record.Position.value()).arg(expected::NextStart(landing))));
            }
            if (mover == MaxPlayers) {
                long long winners = 0;
                for (int k = 1; k <= MaxPlayers; ++k) {
                    winners += board.Players[k].Money >= 2500;
                }
                winnerLines += winners;
                roundsWithWinners += winners > 0;
                QCOMPARE(board.CurrentPlayer.value(), 1);
            }
            if (turn == 100'000) {
                residentAtStart = ResidentKiB();
            }
        }
        QCOMPARE(static_cast<long long>(module.WinnerText.count(QStringLiteral("\r\n"))), winnerLines);
        QCOMPARE(ports.pauses, ports.beeps);  // four humans: only walk pauses
        QCOMPARE(ports.beeps, steps + Turns);

        // Memory: whatever grew beyond the winner text's own characters.
        const long long textKiB = module.WinnerText.capacity() * 2 / 1024;
        const long long grown = ResidentKiB() - residentAtStart;
        qInfo("%lld turns, %lld winner lines in %lld rounds with winners, winner text %lld KiB, "
              "resident growth %lld KiB",
              Turns, winnerLines, roundsWithWinners, textKiB, grown);
#ifndef __SANITIZE_ADDRESS__
        // (AddressSanitizer holds freed memory back on purpose, so resident
        // size says nothing under it.)
        QVERIFY2(grown < textKiB + 8 * 1024, qPrintable(QString::number(grown)));
#endif
    }

};

QTEST_GUILESS_MAIN(TestSoak)
#include "test_soak.moc"
