// A million turns without a restart: the rules keep every invariant, winners
// are exactly those at 2500 or more at each round's end, and memory stays
// bounded apart from the winner text's own growth.
#include "board.h"
#include "squares.h"

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
    bool AskYes(const QString &, const QString &, bool, Dismissal) override { return false; }
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

        std::array<long long, MaxPlayers + 1> expected{};
        expected.fill(StartMoney);
        long long winnerLines = 0, roundsWithWinners = 0, steps = 0;
        long long residentAtStart = 0;
        for (long long turn = 0; turn < Turns; ++turn) {
            const int mover = board.CurrentPlayer.value();
            const long long beepsBefore = ports.beeps;
            board.Command1_Click();
            board.Timer1_Timer();
            const int face = board.State().Label6.toInt();
            board.Command2_Click();

            // The walk placed the piece on its start square and `face` more.
            QCOMPARE(ports.beeps - beepsBefore, face + 1);
            steps += face;
            const int landing = LandingSquare(board, mover);
            expected[size_t(mover)] += SquareAt(landing).Money;
            const PlayerRecord &record = board.Players[mover];
            QVERIFY(record.Position >= 0 && record.Position < SquareCount);
            if (record.Money.value() != expected[size_t(mover)]) {
                QFAIL(qPrintable(QStringLiteral("turn %1: purse %2, expected %3")
                                     .arg(turn).arg(record.Money.value()).arg(expected[size_t(mover)])));
            }
            if (mover == MaxPlayers) {
                long long winners = 0;
                for (int k = 1; k <= MaxPlayers; ++k) {
                    winners += board.Players[k].Money >= WinningMoney;
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

private:
    // The landing square: where the piece stands after the walk, which a
    // shift square leaves in place and a back-to-start square moves to 0.
    static int LandingSquare(const BoardRules &board, int mover)
    {
        const PiecePlace piece = board.State().Image4[mover - 1];
        const int position = board.Players[mover].Position.value();
        for (int k = 0; k < SquareCount; ++k) {
            const auto top = static_cast<float>(SquareTopCm(k) + PieceInset);
            const auto left = static_cast<float>(SquareLeftCm(k) + PieceInset + PieceStagger * (mover - 1));
            if (piece.Top == top && piece.Left == left) {
                if (k == 0 && position == 0) {
                    const QString message = board.State().Label5[mover - 1];
                    if (message == QString::fromUtf8(SquareAt(4).Text)) {
                        return 4;  // squares 4 and 18 give the same line and the same -700
                    }
                }
                return k;
            }
        }
        return -1;
    }
};

QTEST_GUILESS_MAIN(TestSoak)
#include "test_soak.moc"
