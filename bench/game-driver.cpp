// The game's benchmark driver, run by bench/run under public tools.
//
//   kiramoku_game_bench startup
//       Starts like the game and prints the milliseconds from the launch
//       (KIRAMOKU_BENCH_LAUNCH_NS, CLOCK_REALTIME, set by the caller) to the
//       selection window's first paint; then presses はじめる and prints the
//       milliseconds from the press to the board's first paint (the music
//       starting meanwhile), and quits.
//   kiramoku_game_bench minimal [text]
//       A plain Qt Widgets window started the same way: launch to first paint.
//       With "text" it shows one line of Japanese in the game's font, to
//       tell the cost of loading a Japanese font from the rest.
//   kiramoku_game_bench phases SECONDS [music]
//       Four humans at the board; SECONDS each of: idle, the die rolling,
//       walking (roll, stop, the walk, again). Prints the CPU share of each,
//       how many new values the die took a second and how many times a
//       second the die's label was drawn. With "music" the tune plays and
//       only the idle phase runs.
//   kiramoku_game_bench keeping [TURNS]
//       The rules alone, no windows, TURNS turns (default 1000) of each of two
//       games: an ordinary one (two people, two computers, a new game after
//       each win) and a long one (four people with names of 200 characters,
//       100 winners kept). At each point where a person is about to roll it
//       times what the window's thread does to keep the game (the snapshot,
//       the file's text, the hand-off to the writer) and, apart from that,
//       how long the writer then takes to have the file on disk, in a
//       temporary folder. Prints the median and the 95th percentile of each
//       in microseconds, and the file's size.
//   kiramoku_game_bench resting music-off|no-music
//       The board (はじめる pressed) with its music for PlayBeforeKey, then M
//       pressed as a player would (music-off); or the same with the music
//       off from the start, as `kiramoku --no-music` (no-music). OffSettle
//       later, prints the process's resident memory and its parts. Writes
//       the music choice into XDG_CONFIG_HOME: the caller points it away
//       from the player's own.
#include "board.h"
#include "form1.h"
#include "keptfile.h"
#include "mmcontrol.h"
#include "musicchoice.h"
#include "oneheap.h"
#include "resident.h"
#include "savedgame.h"
#include "session.h"
#include "windowlook.h"

#include <QApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>

#include <sys/resource.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <functional>
#include <random>

using namespace kiramoku;
using namespace kiramoku::screens;

namespace {

double NowMs()
{
    timespec ts{};
    clock_gettime(CLOCK_REALTIME, &ts);
    return double(ts.tv_sec) * 1e3 + double(ts.tv_nsec) / 1e6;
}

double LaunchMs()
{
    const char *launch = std::getenv("KIRAMOKU_BENCH_LAUNCH_NS");
    return launch ? std::strtod(launch, nullptr) / 1e6 : NowMs();
}

double CpuSeconds()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return double(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec)
           + double(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

// Calls `then` once, right after `widget` has painted for the first time.
class FirstPaint : public QObject {
public:
    FirstPaint(QWidget *widget, std::function<void()> then)
        : then_(std::move(then))
    {
        widget->installEventFilter(this);
    }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() == QEvent::Paint && then_) {
            watched->removeEventFilter(this);
            QTimer::singleShot(0, std::exchange(then_, {}));
        }
        return false;
    }

private:
    std::function<void()> then_;
};

// Counts the paints of one widget.
class PaintCount : public QObject {
public:
    explicit PaintCount(QWidget *widget) { widget->installEventFilter(this); }
    long long paints = 0;

protected:
    bool eventFilter(QObject *, QEvent *event) override
    {
        paints += event->type() == QEvent::Paint ? 1 : 0;
        return false;
    }
};

void Print(const char *what, double ms)
{
    std::printf("%s %.1f\n", what, ms);
    std::fflush(stdout);
}

int Startup()
{
    const double launch = LaunchMs();
    SetUpApplication();
    Session session(FindTuneFile());
    session.Start();
    double pressed = 0;
    std::unique_ptr<FirstPaint> boardPainted;
    FirstPaint selectionPainted(session.Selection(), [&] {
        Print("selection-drawn-ms", NowMs() - launch);
        pressed = NowMs();
        session.Selection()->findChild<QPushButton *>(QStringLiteral("Command1"))->click();
        boardPainted = std::make_unique<FirstPaint>(session.Board(), [&] {
            Print("board-drawn-ms", NowMs() - pressed);
            QCoreApplication::quit();
        });
    });
    return QApplication::exec();
}

int Minimal(bool withText)
{
    const double launch = LaunchMs();
    QWidget window;
    window.resize(311, 242);
    if (withText) {
        InstallFontSubstitutes();
        auto *line = new QLabel(QStringLiteral("参加人数"), &window);
        line->setFont(QFont(QStringLiteral("ＭＳ Ｐゴシック")));
    }
    window.show();
    FirstPaint painted(&window, [&] {
        Print("minimal-drawn-ms", NowMs() - launch);
        QCoreApplication::quit();
    });
    return QApplication::exec();
}

// Runs `phases` one after another, SECONDS each, reporting each one's CPU share.
struct Phase {
    const char *name;
    std::function<void()> begin;
    std::function<void()> end;
};

int Phases(int seconds, bool music)
{
    SetUpApplication();
    Session session(music ? FindTuneFile() : QStringLiteral("/nonexistent/kira.mid"));
    session.Start();
    session.Selection()->findChild<QListWidget *>(QStringLiteral("List1"))->setCurrentRow(3);
    session.Selection()->findChild<QPushButton *>(QStringLiteral("Command1"))->click();
    Form1 *board = session.Board();
    auto *roll = board->findChild<QPushButton *>(QStringLiteral("Command1"));
    auto *stop = board->findChild<QPushButton *>(QStringLiteral("Command2"));
    auto *timer1 = board->findChild<QTimer *>(QStringLiteral("Timer1"));

    long long ticks = 0;
    QObject::connect(timer1, &QTimer::timeout, [&] { ++ticks; });
    const PaintCount dieDrawn(board->findChild<QWidget *>(QStringLiteral("Label6")));
    // Walking: whenever the board is still, roll, and stop a moment later.
    QTimer walker;
    walker.setInterval(50);
    QObject::connect(&walker, &QTimer::timeout, [&] {
        if (session.Player().Busy()) {
            return;
        }
        if (stop->isEnabled()) {
            stop->click();
        } else {
            roll->click();
        }
    });

    std::vector<Phase> phases = {{"idle", [] {}, [] {}}};
    if (!music) {
        phases.push_back({"rolling", [&] { roll->click(); }, [&] { stop->click(); }});
        phases.push_back({"walking", [&] { walker.start(); }, [&] { walker.stop(); }});
    }
    size_t next = 0;
    double cpuAtStart = 0, wallAtStart = 0;
    long long ticksAtStart = 0, drawnAtStart = 0;
    std::function<void()> startNext = [&] {
        if (next == phases.size()) {
            QCoreApplication::quit();
            return;
        }
        phases[next].begin();
        cpuAtStart = CpuSeconds();
        wallAtStart = NowMs();
        ticksAtStart = ticks;
        drawnAtStart = dieDrawn.paints;
        QTimer::singleShot(seconds * 1000, [&] {
            const double wall = (NowMs() - wallAtStart) / 1000;
            const double cpu = CpuSeconds() - cpuAtStart;
            std::printf("%s-cpu-percent %.2f\n", phases[next].name, 100 * cpu / wall);
            if (std::string_view(phases[next].name) == "rolling") {
                std::printf("die-values-per-second %.0f\n", double(ticks - ticksAtStart) / wall);
                std::printf("die-drawn-per-second %.0f\n", double(dieDrawn.paints - drawnAtStart) / wall);
            }
            std::fflush(stdout);
            phases[next].end();
            ++next;
            // Let a walk under way finish before the next phase counts.
            QTimer::singleShot(3000, startNext);
        });
    };
    // Settle first: the window drawn, the music's SoundFont loaded.
    QTimer::singleShot(2000, startNext);
    return QApplication::exec();
}

// The rules' windows, music and questions, answered by nothing: the keeping
// bench plays turns as fast as the rules take them.
class Unseen : public TurnEffects, public WindowControl, public MusicControl, public Question, public SelectionWindow {
public:
    QStringList names;

    void Delay(int) override {}
    void Beep() override {}
    void ShowWinnerWindow() override {}
    void UnloadWinnerWindow() override {}
    void UnloadBoard() override {}
    void SetNotify(bool) override {}
    void SetWait(bool) override {}
    void SetShareable(bool) override {}
    void SetDeviceType(const QString &) override {}
    void SetFileName(const QString &) override {}
    void SetFrom(qint32) override {}
    void SetCommand(const QString &) override {}
    bool AskYes(const QString &, const QString &, bool, Dismissal) override { return true; }
    int ListIndex() const override { return int(names.size()) - 1; }
    void SetListIndex(int) override {}
    QString Text(int index) const override { return names.value(index); }
    void Hide() override {}
    void Unload() override {}
};

class SeededChance : public ChanceSource {
public:
    double Next() override { return std::uniform_real_distribution<double>(0.0, 1.0)(engine_); }

private:
    std::mt19937 engine_{20261208};
};

struct KeepingTable {
    SeededChance chance;
    Unseen unseen;
    Module1 module{chance, unseen};
    BoardRules rules{module, {unseen, unseen, unseen, unseen}, QString()};

    explicit KeepingTable(const QStringList &people)
    {
        unseen.names = people;
        rules.Form_Load(unseen);
    }
    // One person's roll and stop: their whole turn and the computers' after it.
    void PlayTurn()
    {
        rules.Command1_Click();
        rules.Timer1_Timer();
        rules.Command2_Click();
    }
};

using BenchClock = std::chrono::steady_clock;
constexpr std::chrono::seconds WriterPatience{10};
constexpr int LongNameLength = 200;
constexpr int LongWinners = 100;

double Microseconds(BenchClock::duration d)
{
    return std::chrono::duration<double, std::micro>(d).count();
}

// The smallest sample with at least `share` of the samples at or below it.
double Percentile(std::vector<double> samples, double share)
{
    std::sort(samples.begin(), samples.end());
    const auto rank = std::size_t(std::ceil(share * double(samples.size())));
    return samples[std::max<std::size_t>(rank, 1) - 1];
}

void PrintSpread(const char *game, const char *what, const std::vector<double> &samples)
{
    std::printf("keep-%s-%s-us %.1f %.1f\n", game, what, Percentile(samples, 0.5), Percentile(samples, 0.95));
}

// Keeps the game at each of `turns` points where a person is about to roll,
// as the session does; `afterTurn` is what the players do between turns.
void TimeKeeping(const char *name, KeepingTable &table, int turns, const std::function<void()> &afterTurn)
{
    QTemporaryDir folder;
    FileKeeper keeper(folder.filePath(QStringLiteral("saved-game.json")), QStringLiteral("bench: cannot write %1 (%2)"));
    std::vector<double> window, writer, bytes;
    SavedGame last;
    for (int turn = 0; turn < turns; ++turn) {
        if (!table.rules.AwaitingRoll()) {
            std::fprintf(stderr, "keeping: no person about to roll at turn %d\n", turn);
            std::exit(1);
        }
        const BenchClock::time_point start = BenchClock::now();
        const SavedGame game = table.rules.Snapshot();
        QByteArray text;
        if (game != last) {  // as the kept game does: an unchanged game is not written again
            last = game;
            text = WriteSavedGame(game);
            keeper.Write(text);
        }
        const BenchClock::time_point handedOver = BenchClock::now();
        if (!keeper.Settle(WriterPatience)) {
            std::fprintf(stderr, "keeping: the writer did not finish\n");
            std::exit(1);
        }
        window.push_back(Microseconds(handedOver - start));
        writer.push_back(Microseconds(BenchClock::now() - handedOver));
        bytes.push_back(double(text.size()));
        table.PlayTurn();
        afterTurn();
    }
    PrintSpread(name, "window", window);
    PrintSpread(name, "writer", writer);
    std::printf("keep-%s-bytes %.0f %.0f\n", name, Percentile(bytes, 0.5), Percentile(bytes, 0.95));
}

QStringList LongNames()
{
    QStringList names;
    for (int k = 1; k <= MaxPlayers; ++k) {
        names << QString::number(k) + QString(LongNameLength - 1, QChar(0x9577));  // 長
    }
    return names;
}

int Keeping(int turns)
{
    KeepingTable ordinary({DefaultNames(1), DefaultNames(2)});
    TimeKeeping("ordinary", ordinary, turns, [&] {
        if (ordinary.module.WinnerFlag == 1) {  // the winner window's Yes: a new game
            ordinary.rules.AllClear();
            ordinary.module.WinnerFlag = 0;
        }
    });

    KeepingTable longGame(LongNames());
    const auto keepWinnersAt = [&](int count) {
        SavedGame game = longGame.rules.Snapshot();
        while (game.winners.size() < count) {
            game.winners << int(game.winners.size() % MaxPlayers) + 1;
        }
        game.winners = game.winners.mid(game.winners.size() - count);
        longGame.rules.Resume(game);
    };
    keepWinnersAt(LongWinners);
    TimeKeeping("long", longGame, turns, [&] {
        if (longGame.module.WinnerText.count(QLatin1Char('\n')) > LongWinners) {
            keepWinnersAt(LongWinners);
        }
    });
    std::fflush(stdout);
    return 0;
}

}  // namespace

// The music's SoundFont loads and the tune plays a while before M.
constexpr std::chrono::seconds PlayBeforeKey{6};

int Resting(bool musicFirst)
{
    SetUpApplication();
    if (musicFirst)
        RememberMusicWanted(true);  // whatever an earlier run kept
    else
        ApplyMusicOption(true);
    Session session(FindTuneFile());
    session.Start(false);
    session.Selection()->findChild<QPushButton *>(QStringLiteral("Command1"))->click();
    QTimer::singleShot(PlayBeforeKey, [&session, musicFirst] {
        if (musicFirst) {
            QKeyEvent press(QEvent::KeyPress, Qt::Key_M, Qt::NoModifier, QStringLiteral("m"));
            QApplication::sendEvent(session.Board(), &press);
        }
    });
    QTimer::singleShot(PlayBeforeKey + bench::OffSettle, qApp, &QCoreApplication::quit);
    QApplication::exec();
    bench::PrintResident(musicFirst ? "the game after M" : "the game with --no-music");
    return 0;
}

int main(int argc, char *argv[])
{
    UseOneHeap();  // as the game does
    QApplication app(argc, argv);
    const QStringList args = QCoreApplication::arguments();
    const QString mode = args.value(1);
    if (mode == QLatin1String("startup")) {
        return Startup();
    }
    if (mode == QLatin1String("minimal")) {
        return Minimal(args.value(2) == QLatin1String("text"));
    }
    if (mode == QLatin1String("keeping")) {
        return Keeping(args.value(2, QStringLiteral("1000")).toInt());
    }
    if (mode == QLatin1String("phases")) {
        return Phases(args.value(2, QStringLiteral("10")).toInt(), args.value(3) == QLatin1String("music"));
    }
    if (mode == QLatin1String("resting") && args.size() >= 3) {
        return Resting(args.value(2) == QLatin1String("music-off"));
    }
    std::fprintf(stderr, "usage: kiramoku_game_bench startup | minimal | phases SECONDS [music] | keeping [TURNS]"
                         " | resting music-off|no-music\n");
    return 2;
}
