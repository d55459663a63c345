// A player's way through the three windows, with the mouse and the keyboard,
// on the real widgets (offscreen). Pauses are shortened; the die is loaded.
#include "gamefixture.h"
#include "mmcontrol.h"
#include "musicchoice.h"
#include "windowlook.h"

#include <QElapsedTimer>
#include <QLineEdit>
#include <QStandardPaths>

using namespace kiramoku;
using namespace kiramoku::test;


class TestWindows : public QObject {
    Q_OBJECT

private slots:
    void initTestCase()
    {
        // The game's settings of a test, never the player's own: before the
        // first board reads them, since the settings keep the place first found.
        QStandardPaths::setTestModeEnabled(true);
        SetUpApplication();
    }

    void startingWithoutAChoiceGivesOneHumanAndTheDefaultNames()
    {
        Game game;
        QVERIFY(QTest::qWaitForWindowExposed(game.Selection()));
        QCOMPARE(game.Selection()->windowTitle(), QStringLiteral("設定画面"));
        QCOMPARE(QApplication::focusWidget(), Find(game.Selection(), QStringLiteral("Text1(0)")));
        game.Begin();
        QTRY_VERIFY(!game.Selection());  // discarded for good

        Form1 *board = game.Board();
        QCOMPARE(board->objectName(), QStringLiteral("Form1"));
        QCOMPARE(board->size(), QSize(907, 631));
        QCOMPARE(board->windowTitle(), QStringLiteral("きらもく"));
        QCOMPARE(Caption(board, QStringLiteral("Label1")), QStringLiteral("   備前屋の若旦那の番でありんすぅ"));
        const QStringList names{QStringLiteral("備前屋の若旦那"), QStringLiteral("越後屋の若旦那"),
                                QStringLiteral("錠前屋の若旦那"), QStringLiteral("旗本の三男坊")};
        for (int i = 0; i < MaxPlayers; ++i) {
            QCOMPARE(Caption(board, QStringLiteral("Label2(%1)").arg(i)), names[i]);
            QCOMPARE(Caption(board, QStringLiteral("Label3(%1)").arg(i)), QStringLiteral("1000"));
        }
        QCOMPARE(board->Rules().HumanPlayers.value(), 1);
        QVERIFY(Caption(board, QStringLiteral("Label6")).isEmpty());
        QVERIFY(!game.Button("Command2")->isEnabled());
        QCOMPARE(QApplication::focusWidget(), game.Button("Command1"));
        // The elements carry their names, timer and music included.
        for (const char *name : {"Timer1", "MMControl1", "Image1(24)", "Line1(7)", "Shape2(0)", "Image4(3)"}) {
            QVERIFY2(board->findChild<QObject *>(QString::fromUtf8(name)), name);
        }
    }

    void twoHumansWithTheFirstBoxEmptiedAndATypedName()
    {
        Game game;
        game.ChooseHumans(2);
        auto *first = Find<QLineEdit>(game.Selection(), QStringLiteral("Text1(0)"));
        auto *second = Find<QLineEdit>(game.Selection(), QStringLiteral("Text1(1)"));
        QVERIFY(second->isVisible());
        first->clear();
        second->clear();
        QTest::keyClicks(second, QStringLiteral("<b>"));
        QInputMethodEvent composed;  // Japanese arrives from the input method
        composed.setCommitString(QStringLiteral("お菊"));
        QApplication::sendEvent(second, &composed);
        QTest::keyClicks(second, QStringLiteral("</b>"));
        game.Begin();
        QCOMPARE(Caption(game.Board(), QStringLiteral("Label2(0)")), QStringLiteral("備前屋の若旦那"));
        // Typed text is shown as typed, never as markup.
        auto *label = Find<TextLabel>(game.Board(), QStringLiteral("Label2(1)"));
        QCOMPARE(label->text(), QStringLiteral("<b>お菊</b>"));
        QCOMPARE(label->textFormat(), Qt::PlainText);
        QCOMPARE(game.Board()->Rules().HumanPlayers.value(), 2);
    }

    void choosingFourThenTwoHidesTheLastBoxes()
    {
        Game game;
        QVERIFY(QTest::qWaitForWindowExposed(game.Selection()));
        const auto visible = [&](int i) { return Find(game.Selection(), QStringLiteral("Text1(%1)").arg(i))->isVisible(); };
        QVERIFY(visible(0) && !visible(1) && !visible(2) && !visible(3));
        game.ChooseHumans(4);
        QVERIFY(visible(1) && visible(2) && visible(3));
        game.ChooseHumans(2);
        QVERIFY(visible(0) && visible(1) && !visible(2) && !visible(3));
        game.ChooseHumans(2);  // the same choice again changes nothing
        QVERIFY(visible(1) && !visible(2));
        for (int i = 0; i < 4; ++i) {
            QVERIFY(Find(game.Selection(), QStringLiteral("Label2(%1)").arg(i))->isVisible());
        }
    }

    void aRollThenAStopWalksThePieceOntoItsSquare()
    {
        Game game;
        game.ChooseHumans(4);
        game.Begin();
        Form1 *board = game.Board();
        game.Click("Command1");
        QVERIFY(Find<QTimer>(board, QStringLiteral("Timer1"))->isActive());
        QVERIFY(game.Button("Command2")->isEnabled());
        game.die.face = 3;
        QTRY_COMPARE(Caption(board, QStringLiteral("Label6")), QStringLiteral("3"));
        game.Click("Command2");
        QVERIFY(game.Busy());
        game.WaitUntilStill();

        QCOMPARE(board->Rules().Players[1].Position.value(), 3);
        QCOMPARE(Caption(board, QStringLiteral("Label5(0)")), QStringLiteral("番頭さん、これ持ってくよ！"));
        QCOMPARE(Caption(board, QStringLiteral("Label3(0)")), QStringLiteral("1050"));
        QCOMPARE(Caption(board, QStringLiteral("Label1")), QStringLiteral("   越後屋の若旦那の番でありんすぅ"));
        QVERIFY(!Find<QTimer>(board, QStringLiteral("Timer1"))->isActive());

        // The piece lies inside square 3 and is drawn over its picture.
        QWidget *piece = Find(board, QStringLiteral("Image4(0)"));
        const QRect square = game.Geometry(QStringLiteral("Image1(3)"));
        QVERIFY(square.contains(piece->geometry()));
        const QPoint centre = piece->geometry().center();
        const QColor onBoard = PixelAt(board, centre);
        const QColor ownColour = piece->grab().toImage().pixelColor(piece->rect().center());
        QCOMPARE(onBoard, ownColour);
        QVERIFY(onBoard != PixelAt(Find(board, QStringLiteral("Image1(3)")), centre - square.topLeft()));
    }

    void theBoardIsDrawnInItsColours()
    {
        Game game;
        game.Begin();
        const QImage shot = game.Board()->grab().toImage();
        QCOMPARE(shot.size(), QSize(907, 631));
        QCOMPARE(shot.pixelColor(150, 330), QColor(255, 224, 192));  // the peach field inside the ring
        QCOMPARE(shot.pixelColor(688, 250), QColor(255, 128, 128));  // player 2's pink panel
        QCOMPARE(shot.pixelColor(500, 500), QColor(255, 128, 0));    // the orange window
        QCOMPARE(shot.pixelColor(10, 200), QColor(Qt::black));       // the field's thick border
        if (const QByteArray dir = qgetenv("KIRAMOKU_SCREENSHOTS"); !dir.isEmpty()) {
            shot.save(QString::fromLocal8Bit(dir) + QStringLiteral("/board.png"));
        }
    }

    void oneStopPlaysTheThreeComputerTurnsWhileTheWindowStaysAlive()
    {
        Game game(1ms);
        game.Begin();
        Form1 *board = game.Board();
        game.die.face = 2;
        game.Click("Command1");
        QTRY_COMPARE(Caption(board, QStringLiteral("Label6")), QStringLiteral("2"));

        // A heartbeat on the event loop measures how long it ever waits.
        QElapsedTimer clock;
        qint64 last = 0, longestGap = 0;
        int beats = 0;
        QTimer heartbeat;
        QObject::connect(&heartbeat, &QTimer::timeout, [&] {
            const qint64 now = clock.elapsed();
            longestGap = std::max(longestGap, now - last);
            last = now;
            ++beats;
        });
        clock.start();
        heartbeat.start(2);
        game.Click("Command2");
        QSet<int> shownSquares;
        while (game.Busy()) {
            QTest::qWait(1);
            shownSquares << Find(board, QStringLiteral("Image4(3)"))->x();
        }
        heartbeat.stop();
        qInfo("resolution of four walks: %lld ms, %d heartbeats, longest gap %lld ms",
              static_cast<long long>(clock.elapsed()), beats, static_cast<long long>(longestGap));
        QVERIFY(beats > 20);
        QVERIFY(longestGap < 200);
        QVERIFY(shownSquares.size() >= 3);  // player 4's walk was seen square by square
        for (int k = 1; k <= MaxPlayers; ++k) {
            QCOMPARE(board->Rules().Players[k].Position.value(), 2);
        }
        QCOMPARE(Caption(board, QStringLiteral("Label1")), QStringLiteral("   備前屋の若旦那の番でありんすぅ"));
        QVERIFY(!game.Button("Command2")->isEnabled());
    }

    void clicksDuringAWalkWaitForItsEndInOrder()
    {
        Game game(5ms);
        game.ChooseHumans(4);
        game.Begin();
        game.die.face = 6;
        game.Click("Command1");
        QTRY_COMPARE(Caption(game.Board(), QStringLiteral("Label6")), QStringLiteral("6"));
        game.Click("Command2");
        QVERIFY(game.Busy());
        // The keyboard presses the focused roll button mid-walk: kept for later.
        game.Button("Command1")->setFocus();
        QTest::keyClick(game.Button("Command1"), Qt::Key_Space);
        QVERIFY(!Find<QTimer>(game.Board(), QStringLiteral("Timer1"))->isActive());
        QCOMPARE(game.Board()->Rules().CurrentPlayer.value(), 2);
        QVERIFY(!game.Board()->Rules().State().Command2Enabled);
        game.WaitUntilStill();
        // Then it rolls for player 2.
        QVERIFY(game.Board()->Rules().State().Command2Enabled);
        QVERIFY(Find<QTimer>(game.Board(), QStringLiteral("Timer1"))->isActive());
        game.die.face = 1;
        QTest::keyClick(game.Button("Command1"), Qt::Key_Tab);
        QCOMPARE(QApplication::focusWidget(), game.Button("Command2"));
        QTRY_COMPARE(Caption(game.Board(), QStringLiteral("Label6")), QStringLiteral("1"));
        QTest::keyClick(game.Button("Command2"), Qt::Key_Return);
        game.WaitUntilStill();
        QCOMPARE(game.Board()->Rules().Players[2].Position.value(), 1);
    }

    void aWinnerIsShownAndYesPlaysAgainWithTheSameNames()
    {
        Game game;
        game.ChooseHumans(4);
        game.Begin();
        QWidget *winner = game.PlayRoundWonBy(3);
        QVERIFY(winner);
        QVERIFY(QTest::qWaitForWindowExposed(winner));
        QCOMPARE(Caption(winner, QStringLiteral("Label1")), QStringLiteral("おめでとう。錠前屋の若旦那さん\r\n"));
        QCOMPARE(QApplication::focusWidget(), Find(winner, QStringLiteral("Command1")));
        if (const QByteArray dir = qgetenv("KIRAMOKU_SCREENSHOTS"); !dir.isEmpty()) {
            winner->grab().save(QString::fromLocal8Bit(dir) + QStringLiteral("/winner.png"));
        }
        // The balloon's white lies under the label's corner.
        QCOMPARE(PixelAt(winner, QPoint(30, 30)), QColor(Qt::white));

        Answer yes(QMessageBox::Yes);
        QTest::mouseClick(Find<QPushButton>(winner, QStringLiteral("Command1")), Qt::LeftButton);
        QVERIFY(yes.seen);
        QCOMPARE(yes.text, QStringLiteral("もう一回やる？"));
        QCOMPARE(yes.title, QStringLiteral("きらもく"));
        QTRY_VERIFY(!game.session.Winner());
        QCOMPARE(game.session.Data().WinnerFlag.value(), 0);
        QVERIFY(game.session.Data().WinnerText.isEmpty());
        for (int i = 0; i < MaxPlayers; ++i) {
            QCOMPARE(Caption(game.Board(), QStringLiteral("Label3(%1)").arg(i)), QStringLiteral("1000"));
        }
        QCOMPARE(Caption(game.Board(), QStringLiteral("Label2(2)")), QStringLiteral("錠前屋の若旦那"));
    }

    void theWinnersNoEndsTheProgram()
    {
        Game game;
        game.ChooseHumans(4);
        game.Begin();
        QVERIFY(game.PlayRoundWonBy(1));
        Answer no(QMessageBox::No);
        QTest::mouseClick(Find<QPushButton>(game.session.Winner(), QStringLiteral("Command1")), Qt::LeftButton);
        QVERIFY(no.seen);
        QTRY_VERIFY(!game.session.Board());
        QTRY_VERIFY(!game.session.Winner());
        QVERIFY(NoWindowLeft());
    }

    void theQuitQuestionAnsweredNoThenYes()
    {
        Game game;
        game.Begin();
        Answer no(QMessageBox::No);
        game.Click("Command3");
        QVERIFY(no.seen);
        QCOMPARE(no.text, QStringLiteral("本当によいですか？"));
        QVERIFY(no.title.isEmpty() || no.title == QStringLiteral("きらもく"));
        QVERIFY(game.Board()->isVisible());

        const QPointer<MMControl> music = &game.Board()->Music();
        Answer yes(QMessageBox::Yes);
        game.Click("Command3");
        QVERIFY(yes.seen);
        QTRY_VERIFY(!game.Board());
        QVERIFY(NoWindowLeft());
        QTRY_VERIFY(!music);  // the music control goes with the board, and its sound output with it
    }

    void closingTheBoardMidWalkEndsCleanlyAndTakesTheWinnerWindow()
    {
        Game game(5ms);
        game.ChooseHumans(4);
        game.Begin();
        QVERIFY(game.PlayRoundWonBy(1));
        game.die.face = 6;
        game.Click("Command1");
        QTRY_COMPARE(Caption(game.Board(), QStringLiteral("Label6")), QStringLiteral("6"));
        game.Click("Command2");
        QVERIFY(game.Busy());
        game.Board()->close();
        QVERIFY(!game.Busy());
        QTRY_VERIFY(!game.session.Board());
        QTRY_VERIFY(!game.session.Winner());
        QTest::qWait(50);  // nothing left to play fires into a dead window
        QVERIFY(NoWindowLeft());
    }

    void theMKeyTurnsTheMusicOffAndOnAndTheNextStartRemembers_data()
    {
        QTest::addColumn<bool>("noMusicGiven");
        QTest::addColumn<bool>("keptBefore");
        QTest::addColumn<bool>("onAtTheStart");
        QTest::newRow("first run, plain start") << false << true << true;
        QTest::newRow("started with --no-music") << true << true << false;
        QTest::newRow("off kept from the last run") << false << false << false;
        QTest::newRow("--no-music when already off") << true << false << false;
    }

    void theMKeyTurnsTheMusicOffAndOnAndTheNextStartRemembers()
    {
        QFETCH(bool, noMusicGiven);
        QFETCH(bool, keptBefore);
        QFETCH(bool, onAtTheStart);
        RememberMusicWanted(keptBefore);
        QVERIFY(QFile::exists(QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation)
                              + QStringLiteral("/kiramoku/kiramoku.conf")));
        ApplyMusicOption(noMusicGiven);

        bool expected = onAtTheStart;
        for (int run = 0; run < 2; ++run) {
            Game game;
            game.Begin();
            MMControl &music = game.Board()->Music();
            QCOMPARE(music.MusicOn(), expected);
            // Whichever button has the focus, and while the die rolls.
            QTest::keyClick(game.Button("Command1"), Qt::Key_M);
            QCOMPARE(music.MusicOn(), !expected);
            game.Click("Command1");
            QTest::keyClick(game.Button("Command2"), Qt::Key_M);
            QCOMPARE(music.MusicOn(), expected);
            QTest::keyClick(game.Board(), Qt::Key_M, Qt::ControlModifier);  // not plain M: ignored
            QCOMPARE(music.MusicOn(), expected);
            QTest::keyClick(game.Button("Command3"), Qt::Key_M);
            QCOMPARE(music.MusicOn(), !expected);
            QCOMPARE(MusicWanted(), !expected);
            expected = !expected;  // what the next start finds
        }
    }

    void closingTheSelectionWindowEndsTheProgram()
    {
        Game game;
        QVERIFY(QTest::qWaitForWindowExposed(game.Selection()));
        if (const QByteArray dir = qgetenv("KIRAMOKU_SCREENSHOTS"); !dir.isEmpty()) {
            game.Selection()->grab().save(QString::fromLocal8Bit(dir) + QStringLiteral("/selection.png"));
        }
        game.Selection()->close();
        QVERIFY(NoWindowLeft());
        QTRY_VERIFY(!game.Selection());
        QVERIFY(!game.Board());
    }
};

QTEST_MAIN(TestWindows)
#include "test_windows.moc"
