// Two hundred rounds on the real windows: one human, three computer
// characters, random dice. Nothing crashes, and the windows hold no more
// widgets at the end than at the start.
#include "gamefixture.h"
#include "windowlook.h"

#include <random>

using namespace kiramoku;
using namespace kiramoku::test;

class TestWindowSoak : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { SetUpApplication(); }

    void twoHundredRoundsLeaveTheWidgetCountAsItWas()
    {
        constexpr int Rounds = 200;
        Game game;
        game.Begin();
        Form1 *board = game.Board();
        QTRY_VERIFY(!game.Selection());
        const qsizetype widgetsAtStart = QApplication::allWidgets().size();

        std::mt19937 rng(2026);
        std::uniform_int_distribution<int> face(1, DieFaces);
        int winnerWindowsSeen = 0;
        for (int round = 0; round < Rounds; ++round) {
            if (round % 20 == 10) {
                board->Rules().Players[2].Money = 3000;  // a winner now and then
            }
            game.die.face = face(rng);
            game.Click("Command1");
            board->Timer1_Timer();  // one tick shows the face at once
            game.die.face = face(rng);  // the computer's rolls
            game.Click("Command2");
            while (game.Busy()) {
                QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 5);
            }
            QCOMPARE(board->Rules().CurrentPlayer.value(), 1);
            if (game.session.Winner()) {
                ++winnerWindowsSeen;
                game.session.UnloadWinnerWindow();
            }
            QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        }
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        qInfo("%d rounds, winner window shown after %d of them", Rounds, winnerWindowsSeen);
        QVERIFY(winnerWindowsSeen >= Rounds / 20);
        QCOMPARE(QApplication::allWidgets().size(), widgetsAtStart);
        for (int k = 1; k <= MaxPlayers; ++k) {
            QCOMPARE(Caption(board, QStringLiteral("Label3(%1)").arg(k - 1)),
                     QString::number(board->Rules().Players[k].Money.value()));
        }
    }
};

QTEST_MAIN(TestWindowSoak)
#include "test_window_soak.moc"
