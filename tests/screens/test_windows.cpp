// A player's way through the three windows, with the mouse and the keyboard, on the real widgets (offscreen). Pauses
// are shortened; the die is loaded.
#include "caught.h"
#include "gamefixture.h"
#include "mmcontrol.h"
#include "musicchoice.h"
#include "programerror.h"
#include "windowlook.h"

#include <optional>

#include <QAccessible>
#include <QBitmap>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QMenu>
#include <QPainter>
#include <QStandardPaths>
#include <QSvgRenderer>

using namespace kiramoku;
using namespace kiramoku::test;

namespace {

// What a player sees of an element, and what the table says, side by side: the colour most of its face shows, its font,
// its text.
void Describe(QWidget *w, const QImage &shot, const expected::Element &e, QStringList &seen, QStringList &wanted)
{
    const QString name = w->objectName() + QLatin1Char(' ');
    if (e.colour != expected::NoOneColour) {
        QHash<QRgb, int> count;
        const QRect face = w->geometry() & shot.rect();
        EachPixel(face, [&](int x, int y) { ++count[shot.pixel(x, y)]; });
        const auto most = std::max_element(count.keyValueBegin(), count.keyValueEnd(),
                                           [](auto a, auto b) { return a.second < b.second; });
        seen << name + QColor(most->first).name();
        wanted << name + Colour(e.colour).name();
    }
    if (e.text) {  // where the table names no font, the window's own: a 9-point gothic
        const expected::Font font = e.font.face ? e.font : expected::Font{"ＭＳ Ｐゴシック", 9, 400};
        const QFont f = w->font();
        const QString face = QString::fromUtf8(font.face);
        seen << name + QStringLiteral("%1 %2pt %3 drawn in %4").arg(f.family()).arg(f.pointSizeF()).arg(f.weight()).arg(QFontInfo(f).family());
        wanted << name + QStringLiteral("%1 %2pt %3 drawn in %4").arg(face).arg(font.points).arg(font.weight).arg(face.contains(QStringLiteral("明朝")) ? QStringLiteral("IPAPMincho") : QStringLiteral("IPAPGothic"));
        QString text = w->property("text").toString();  // a label's, a button's or a box's
        if (auto *list = qobject_cast<QListWidget *>(w))
            for (int i = 0; i < list->count(); ++i)
                text += (i ? QStringLiteral("|") : QString()) + list->item(i)->text();
        seen << name + text;
        wanted << name + QString::fromUtf8(e.text);
    }
}

}  // namespace

class TestWindows : public QObject {
    Q_OBJECT

private slots:
    void initTestCase()
    {
        // The game's settings of a test, never the player's own: before the first board reads them, since the settings
        // keep the place first found.
        QStandardPaths::setTestModeEnabled(true);
        SetUpApplication();
        QApplication::setFont(QFont(QStringLiteral("Sans Serif"), 13));  // a desktop's larger type: the windows keep their own
    }

    // Each window held against its hand-written table: title, size, every element's place, colour, font and text,
    // chosen spots, and the Tab order. The board opens without a choice of players: the default names.
    void eachWindowOpensAsItsTableSays_data()
    {
        // clang-format off
        QTest::addColumn<QString>("window");
        QTest::addColumn<QPoint>("corner");  // the client area's on the screen, in pixels; none: the board's is open
        QTest::newRow("the selection window") << "Form2" << QPoint(417, 101);
        QTest::newRow("the board") << "Form1" << QPoint();
        QTest::newRow("the winner window, player 3 having won") << "Form3" << QPoint(274, 234);
        // clang-format on
    }
    void eachWindowOpensAsItsTableSays()
    {
        QFETCH(QString, window);
        Game game;
        QVERIFY(QTest::qWaitForWindowExposed(game.Selection()));
        QWidget *shown = game.Selection();
        const expected::Window *want = &expected::Selection;
        if (window == QLatin1String("Form1")) {
            game.Begin();
            QVERIFY(QTest::qWaitForWindowActive(game.Board()));  // in front, with the keyboard's focus
            QTRY_VERIFY(!game.Selection());                      // discarded for good
            shown = game.Board();
            want = &expected::Board;
        } else if (window == QLatin1String("Form3")) {
            game.ChooseHumans(4);
            game.Begin();
            shown = game.PlayRoundWonBy(3);
            QVERIFY(shown && QTest::qWaitForWindowExposed(shown));
            want = &expected::Winner;
        }
        QCOMPARE(shown->objectName(), window);
        QCOMPARE(shown->style()->name(), QStringLiteral("fusion"));
        // The title as the window system shows it, with nothing added.
        QCOMPARE(SystemTitle(shown), QString::fromUtf8(want->title));
        QCOMPARE(shown->size(), QSize(Px(want->width), Px(want->height)));
        QFETCH(QPoint, corner);
        QCOMPARE(corner.isNull() ? corner : shown->mapToGlobal(QPoint(0, 0)), corner);
        shown->activateWindow();  // with no window manager (Xvfb), ask for the focus
        QVERIFY(QTest::qWaitForWindowActive(shown));
        QCOMPARE(QApplication::focusWidget(), Find(shown, want->tabOrder.first()));
        CheckPlaces(shown, *want);
        const QImage shot = shown->grab().toImage();
        QStringList seen, wanted;
        for (const expected::Element &e : want->elements)
            Describe(Find(shown, QString::fromUtf8(e.name)), shot, e, seen, wanted);
        for (const expected::Sight &s : want->sights) {
            seen << QString::fromUtf8(s.what) + shot.pixelColor(Px(s.x), Px(s.y)).name();
            wanted << QString::fromUtf8(s.what) + Colour(s.colour).name();
        }
        for (int i = 0; want == &expected::Board && i < int(std::size(expected::Lines)); ++i) {  // the ring drawn in black
            const expected::Join &j = expected::Lines[i];
            for (int across : {-2, 0, 2}) {  // 5 px wide
                const QPoint mid(Px((j.x1 + j.x2) / 2) + (j.x1 == j.x2) * across, Px((j.y1 + j.y2) / 2) + (j.y1 == j.y2) * across);
                seen << QStringLiteral("Line1(%1)").arg(i) + shot.pixelColor(mid).name();
                wanted << QStringLiteral("Line1(%1)").arg(i) + QColor(Qt::black).name();
            }
        }
        QCOMPARE(seen, wanted);
        if (const QByteArray dir = qgetenv("KIRAMOKU_SCREENSHOTS"); !dir.isEmpty())
            shot.save(QString::fromLocal8Bit(dir) + QLatin1Char('/') + window + QStringLiteral(".png"));

        // Tab goes round the controls in order, with every name box shown and the stop button enabled (a disabled one
        // is skipped).
        if (window == QLatin1String("Form2"))
            game.ChooseHumans(4);
        else if (window == QLatin1String("Form1"))
            game.Click("Command1");
        Find(shown, want->tabOrder.first())->setFocus();
        QStringList visited;
        for (qsizetype i = 0; i < want->tabOrder.size(); ++i) {
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
            visited << QApplication::focusWidget()->objectName();
        }
        QCOMPARE(visited, want->tabOrder.mid(1) << want->tabOrder.first());
    }

    void twoHumansWithTheFirstBoxEmptiedAndATypedName()
    {
        Game game;
        game.ChooseHumans(2);
        Find<QLineEdit>(game.Selection(), QStringLiteral("Text1(0)"))->clear();
        auto *second = Find<QLineEdit>(game.Selection(), QStringLiteral("Text1(1)"));
        second->clear();
        QTest::keyClicks(second, QStringLiteral("<b>"));
        QInputMethodEvent composed;  // Japanese arrives from the input method
        composed.setCommitString(QStringLiteral("お菊"));
        QApplication::sendEvent(second, &composed);
        QTest::keyClicks(second, QStringLiteral("</b>"));
        // The name box's own menu speaks Japanese too.
        QCOMPARE(std::unique_ptr<QMenu>(second->createStandardContextMenu())->actions().constFirst()->text().section(QLatin1Char('\t'), 0, 0),
                 QStringLiteral("元に戻す(&U)"));
        game.Begin();
        // The emptied box's default name and plain text for markup: the soak, with hostile names.
        QCOMPARE(Captions(game.Board(), QStringLiteral("Label2(%1)")).mid(0, 2), (QStringList{"備前屋の若旦那", "<b>お菊</b>"}));
    }

    void choosingFourThenTwoHidesTheLastBoxes()
    {
        Game game;
        QVERIFY(QTest::qWaitForWindowExposed(game.Selection()));
        const auto shown = [&](const char *element) {  // 'x' for each shown, '-' for each hidden
            QString marks;
            for (int i = 0; i < MaxPlayers; ++i)
                marks += Find(game.Selection(), QStringLiteral("%1(%2)").arg(element).arg(i))->isVisible() ? 'x' : '-';
            return marks;
        };
        QString seen = shown("Text1");  // then after each choice; the same choice twice changes nothing
        for (const int humans : {4, 2, 2, 1, 2})
            game.ChooseHumans(humans), seen += ' ' + shown("Text1");
        QCOMPARE(seen + ' ' + shown("Label2"), QStringLiteral("x--- xxxx xx-- xx-- x--- xx-- xxxx"));
        // Ctrl with a click or Space on the chosen count does not leave the list without a choice.
        auto *list = Find<QListWidget>(game.Selection(), QStringLiteral("List1"));
        QTest::mouseClick(list->viewport(), Qt::LeftButton, Qt::ControlModifier, list->visualItemRect(list->item(1)).center());
        QCOMPARE(shown("Text1") + QString::number(list->item(1)->isSelected()), QStringLiteral("xx--1"));
        QTest::keyClick(list, Qt::Key_Space, Qt::ControlModifier);
        QCOMPARE(shown("Text1") + QString::number(list->item(1)->isSelected()), QStringLiteral("xx--1"));
        // The start button's second press, before its window has gone, begins no second board.
        auto *start = Find<QPushButton>(game.Selection(), QStringLiteral("Command1"));
        QTest::keyClick(start, Qt::Key_Space);
        QTest::keyClick(start, Qt::Key_Space);
        const QWidgetList windows = QApplication::topLevelWidgets();
        QCOMPARE(std::count_if(windows.begin(), windows.end(), [](QWidget *w) { return w->objectName() == QLatin1String("Form1"); }), 1);
    }

    void aRollThenAStopWalksThePieceOntoItsSquare()
    {
        Game game(4);
        Form1 *board = game.Board();
        const MMControl &music = board->Music();  // set up as the board's start asks
        QCOMPARE((QStringList{QString::number(music.Wait()), music.DeviceType(), music.FileName()}),
                 (QStringList{"1", "Sequencer", "/nonexistent/kira.mid"}));
        game.Click("Command1");
        QVERIFY(Find<QTimer>(board, QStringLiteral("Timer1"))->isActive());
        QVERIFY(game.Button("Command2")->isEnabled());
        game.die.face = 3;
        int beeps = 0;
        game.session.Player().SetBeep([&beeps] { ++beeps; });
        QTRY_COMPARE(Caption(board, QStringLiteral("Label6")), QStringLiteral("3"));
        // At most one new value for each frame of the screen, and not much fewer: a die slow enough to pick a face by
        // eye fails.
        const int draws = game.die.draws, frames = int(board->screen()->refreshRate()) / 2;  // in half a second
        QTest::qWait(500);
        QVERIFY2(game.die.draws - draws >= frames / 4 && game.die.draws - draws <= frames + 2, qPrintable(QString::number(game.die.draws - draws)));
        QSignalSpy rollComesNext(board, &Form1::RollComesNext);
        game.Click("Command2");
        QVERIFY(game.Busy());
        const int heard = board->Music().CommandsHeard();
        emit board->Music().StatusUpdate();  // the tune restarts at once, not after the walk
        QCOMPARE(board->Music().CommandsHeard() - heard, 3);
        game.WaitUntilStill();
        QCOMPARE(beeps, 4);  // one for each square the piece was set on: its own and three more
        QTest::qWait(20);
        QCOMPARE(rollComesNext.count(), 1);  // the walk's end comes once: player 2's roll is next

        QCOMPARE(board->Rules().Players[1].Position.value(), 3);
        QCOMPARE(Caption(board, QStringLiteral("Label5(0)")), QStringLiteral("番頭さん、これ持ってくよ！"));
        QCOMPARE(Caption(board, QStringLiteral("Label3(0)")), QStringLiteral("1050"));
        QCOMPARE(Caption(board, QStringLiteral("Label1")), QStringLiteral("   越後屋の若旦那の番でありんすぅ"));
        QVERIFY(!Find<QTimer>(board, QStringLiteral("Timer1"))->isActive());

        // The piece lies inside square 3 and is drawn over its picture.
        QWidget *piece = Find(board, QStringLiteral("Image4(0)"));
        const QRect square = Find(board, QStringLiteral("Image1(3)"))->geometry();
        QVERIFY(square.contains(piece->geometry()));
        const QPoint centre = piece->geometry().center();
        const QColor onBoard = board->grab().toImage().pixelColor(centre);
        QCOMPARE(onBoard, piece->grab().toImage().pixelColor(piece->rect().center()));
        QVERIFY(onBoard != Find(board, QStringLiteral("Image1(3)"))->grab().toImage().pixelColor(centre - square.topLeft()));
    }

    void oneStopPlaysTheThreeComputerTurnsWhileTheWindowStaysAlive()
    {
        Game game(0, 1ms);
        Form1 *board = game.Board();
        game.Roll(2);

        // Each wait of a millisecond comes back soon: nothing holds the event loop.
        QElapsedTimer clock;
        clock.start();
        game.Click("Command2");
        qint64 longestGap = 0;
        int beats = 0;
        QSet<int> shownSquares;
        for (; game.Busy(); ++beats, longestGap = std::max(longestGap, clock.restart())) {
            QTest::qWait(1);
            shownSquares << Find(board, QStringLiteral("Image4(3)"))->x();
        }
        QVERIFY(beats > 20);
        QVERIFY2(longestGap < 200, qPrintable(QString::number(longestGap)));
        QVERIFY(shownSquares.size() >= 3);  // player 4's walk was seen square by square
        for (int k = 1; k <= MaxPlayers; ++k)
            QCOMPARE(board->Rules().Players[k].Position.value(), 2);
        QCOMPARE(Caption(board, QStringLiteral("Label1")), QStringLiteral("   備前屋の若旦那の番でありんすぅ"));
        QVERIFY(!game.Button("Command2")->isEnabled());
    }

    void clicksDuringAWalkWaitForItsEndInOrder()
    {
        Game game(4, 5ms);
        game.Roll(6);
        game.Click("Command2");
        QVERIFY(game.Busy());
        // The keyboard presses the focused roll button mid-walk: kept for later.
        game.Button("Command1")->setFocus();
        QTest::keyClick(game.Button("Command1"), Qt::Key_Space);
        QVERIFY(!Find<QTimer>(game.Board(), QStringLiteral("Timer1"))->isActive());
        QCOMPARE(game.Board()->Rules().CurrentPlayer.value(), 2);
        QVERIFY(!game.Board()->Rules().State().Command2Enabled);
        game.WaitUntilStill();
        // Then it rolls for player 2, whose roll was kept as coming next.
        QTRY_COMPARE_WITH_TIMEOUT(ReadSavedGame(ReadSmallFile(KeptPath(), MaxSavedGameBytes).bytes).game.current, 2, DiskWaitMs);
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

    void theWinnersYesClosesItAndTheBoardShowsTheNewGame()
    {
        Game game(4);
        QWidget *winner = game.PlayRoundWonBy(3);
        QVERIFY(winner);
        game.Board()->activateWindow();  // the next round's end brings it forward, its button focused
        QVERIFY(QTest::qWaitForWindowActive(game.Board()));
        QCOMPARE(game.PlayRoundWonBy(3), winner);
        QTRY_COMPARE(QApplication::focusWidget(), Find(winner, QStringLiteral("Command1")));

        // Escape and the frame's close do not answer: only Yes or No does.
        Answer yes(QMessageBox::Yes, true);
        QTest::mouseClick(Find<QPushButton>(winner, QStringLiteral("Command1")), Qt::LeftButton);
        QCOMPARE(yes.box, (QStringList{"もう一回やる？", "きらもく", "きらもく", "はい(&Y)", "いいえ(&N)", "stayed"}));
        QTRY_VERIFY(!game.session.Winner());
        // The board shows the new game at once, and it is kept.
        QCOMPARE(Captions(game.Board(), QStringLiteral("Label3(%1)")), QStringList(MaxPlayers, QStringLiteral("1000")));
        QTRY_COMPARE_WITH_TIMEOUT(ReadSmallFile(KeptPath(), MaxSavedGameBytes).bytes, WriteSavedGame(game.Board()->Rules().Snapshot()), 10000);  // before the music's next tick
    }

    // However the program is left, no window stays; the winner window goes with the board, and a walk being played back
    // is dropped. Only the players' own ending forgets the game kept for the next start.
    void everyWayOutEndsTheProgram_data()
    {
        // clang-format off
        QTest::addColumn<QString>("way");
        QTest::addColumn<bool>("kept");
        QTest::newRow("closing the selection window") << "selection" << false;
        QTest::newRow("the quit button: No, then Yes") << "quit" << false;
        QTest::newRow("the winner's No") << "winner" << false;
        QTest::newRow("closing the board mid-walk") << "close" << true;
        // clang-format on
    }
    void everyWayOutEndsTheProgram()
    {
        QFETCH(QString, way);
        QFETCH(bool, kept);
        QFile::remove(KeptPath());
        Game game(5ms);
        QVERIFY(QTest::qWaitForWindowExposed(game.Selection()));
        if (way == QLatin1String("selection")) {
            game.Selection()->close();
            QVERIFY(NoWindowLeft());
            QTRY_VERIFY(!game.Selection());
            QVERIFY(!game.Board());
            return;
        }
        game.ChooseHumans(4);
        game.Begin();
        QVERIFY(game.PlayRoundWonBy(1));
        QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(KeptPath()), DiskWaitMs);
        if (way == QLatin1String("quit")) {
            // Escape on this question keeps the game as it was, like No; meanwhile a status tick restarts the tune.
            const QPointer<MMControl> music = &game.Board()->Music();
            Answer no(QMessageBox::No, true, [music, heard = music->CommandsHeard()] {
                emit music->StatusUpdate();
                return QStringList{QStringLiteral("%1 commands heard").arg(music->CommandsHeard() - heard)};
            });
            game.Click("Command3");
            QCOMPARE(no.box, (QStringList{"本当によいですか？", "", "", "はい(&Y)", "いいえ(&N)", "3 commands heard", "went"}));
            QVERIFY(game.Board()->isVisible());
            Answer yes(QMessageBox::Yes);
            game.Click("Command3");
            QVERIFY(!yes.box.isEmpty());
            QTRY_VERIFY(!music);  // the music control goes with the board, and its sound output with it
        } else if (way == QLatin1String("winner")) {
            Answer no(QMessageBox::No);
            QTest::mouseClick(Find<QPushButton>(game.session.Winner(), QStringLiteral("Command1")), Qt::LeftButton);
            QVERIFY(!no.box.isEmpty());
        } else {
            game.Roll(6);
            game.Click("Command2");
            QVERIFY(game.Busy());
            MMControl &music = game.Board()->Music();
            const int heard = music.CommandsHeard();
            game.Board()->close();
            QVERIFY(!game.Busy());
            QCOMPARE(music.CommandsHeard() - heard, 1);  // told to close
        }
        QTRY_VERIFY(!game.session.Board());
        QTRY_VERIFY(!game.session.Winner());
        QTest::qWait(50);  // nothing left to play fires into a dead window
        QVERIFY(NoWindowLeft());
        QTRY_COMPARE_WITH_TIMEOUT(QFile::exists(KeptPath()), kept, DiskWaitMs);
    }

    // A kept game at the start: the question and its answers, the board as kept; a damaged one is set aside, said
    // before the first window; a later version's game is left alone, even with --new-game. (What else may lie where the
    // game is kept: the storage's unit test.)
    void theKeptGameIsOfferedBackAtTheStart_data()
    {
        // clang-format off
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("answer");   // "yes", "escape, then yes", "no"; empty: never asked; "new game": --new-game
        QTest::addColumn<QString>("said");     // on standard error, %1 the path
        const QByteArray kept = KeptGameFile;
        QTest::newRow("はい: the board as kept") << kept << "yes" << "";
        QTest::newRow("Escape and the close leave the question") << kept << "escape, then yes" << "";
        QTest::newRow("いいえ: a new game") << kept << "no" << "";
        QTest::newRow("a damaged game") << QByteArray(kept).replace("\"people\": 2", "\"people\": 5") << ""
                                        << "kiramoku: the game kept in %1 cannot be read (people is not a whole number from 1 to 4); it is set aside as %1.damaged-TIME";
        QTest::newRow("a later version's game, and --new-game") << QByteArray(kept).replace("\"format\": 1", "\"format\": 2") << "new game"
                                                                << "kiramoku: the game kept in %1 is from a later version of the game (format 2); it is left as it is, and this game is not kept";
        // clang-format on
    }
    void theKeptGameIsOfferedBackAtTheStart()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(QString, answer);
        QFETCH(QString, said);
        const QString path = KeptPath();
        QDir folder(QFileInfo(path).path());
        QFile file(path);
        QVERIFY(folder.removeRecursively() && folder.mkpath(QStringLiteral(".")) && file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size());
        file.close();

        Answer given(answer == QLatin1String("no") ? QMessageBox::No : QMessageBox::Yes, answer.startsWith(QLatin1String("escape")));
        std::optional<Game> started;
        const bool newGame = answer == QLatin1String("new game");
        const QString lines = StandardError([&] { started.emplace(0ms, !newGame); }).split('\n').filter(path).join('\n');  // the game's lines on it
        Game &game = *started;
        const QStringList question{"前回の続きから遊びますか？", "", "", "はい(&Y)", "いいえ(&N)"};
        QCOMPARE(given.box, answer.isEmpty() || newGame ? QStringList() : answer.startsWith(QLatin1String("escape")) ? question + QStringList{"stayed"}
                                                                                                                     : question);
        QCOMPARE(bool(game.Selection()), !answer.startsWith(QLatin1String("yes")) && !answer.startsWith(QLatin1String("escape")));
        QCOMPARE(QString(lines).replace(QRegularExpression(QStringLiteral("\\d{8}-\\d{6}-\\d{3}")), QStringLiteral("TIME")), QString(said).replace(QStringLiteral("%1"), path));
        QTRY_COMPARE_WITH_TIMEOUT(QFile::exists(path), newGame || !game.Selection(), DiskWaitMs);  // forgotten, or set aside
        if (game.Selection()) {
            game.Begin();
            if (newGame) {  // a later version's game stays as it was through a turn played here
                game.Turn(1);
                started.reset();  // its keeper waits for any write
                QCOMPARE(ReadSmallFile(path, MaxSavedGameBytes).bytes, bytes);
            } else {                                                                                                                               // any other new game is kept as soon as its board opens
                QTRY_COMPARE_WITH_TIMEOUT(ReadSmallFile(path, MaxSavedGameBytes).bytes, WriteSavedGame(game.Board()->Rules().Snapshot()), 10000);  // before the music's first tick
            }
            QVERIFY(QFile::remove(path));
            return;
        }
        // Everything as kept, and the winner window as it was.
        Form1 *board = game.Board();
        QCOMPARE(Captions(board, QStringLiteral("Label2(%1)")), (QStringList{"おきく", "<b>x</b>", "錠前屋の若旦那", "旗本の三男坊"}));
        QCOMPARE(Captions(board, QStringLiteral("Label3(%1)")), (QStringList{"-300", "1000", "2600", "1000"}));
        QCOMPARE(Captions(board, QStringLiteral("Label5(%1)")), (QStringList{expected::Squares[21].line, "", expected::Squares[3].line, ""}));
        QCOMPARE(Caption(board, QStringLiteral("Label1")), QStringLiteral("   <b>x</b>の番でありんすぅ"));
        QCOMPARE(Caption(board, QStringLiteral("Label6")), QStringLiteral("5"));
        QVERIFY(Find(board, QStringLiteral("Image1(21)"))->geometry().contains(Find(board, QStringLiteral("Image4(0)"))->geometry()));
        QVERIFY(game.session.Winner());
        QCOMPARE(Caption(game.session.Winner(), QStringLiteral("Label1")), QStringLiteral("おめでとう。錠前屋の若旦那さん\r\n"));
        // The desktop session's end keeps the game at once, even unchanged.
        QVERIFY(QFile::remove(path));
        QVERIFY(QObject::disconnect(qApp, &QGuiApplication::commitDataRequest, &game.session, &Session::KeepAsTheDesktopSessionEnds));
        game.session.KeepAsTheDesktopSessionEnds();
        QVERIFY(QFile::exists(path));
        QCOMPARE(ReadSavedGame(ReadSmallFile(path, MaxSavedGameBytes).bytes).game, ReadSavedGame(KeptGameFile).game);
        // The player's turn, then the computers' as usual; kept again.
        game.Turn(1);
        QCOMPARE(Caption(board, QStringLiteral("Label1")), QStringLiteral("   おきくの番でありんすぅ"));
        QTRY_COMPARE_WITH_TIMEOUT(ReadSavedGame(ReadSmallFile(path, MaxSavedGameBytes).bytes).game.current, 1, DiskWaitMs);
        QVERIFY(QFile::remove(path));
    }

    void anAnswerInTheWinnerWindowWaitsForTheTurnOnTheScreen_data()
    {
        // clang-format off
        QTest::addColumn<bool>("yesByButton");  // else the frame's close
        QTest::newRow("Yes to another game") << true;
        QTest::newRow("the frame's close") << false;
        // clang-format on
    }

    void anAnswerInTheWinnerWindowWaitsForTheTurnOnTheScreen()
    {
        QFETCH(bool, yesByButton);
        Game game(0, 5ms);
        QPointer<QWidget> winner = game.PlayRoundWonBy(2);
        QVERIFY(winner);
        // Play on: player 1 stops, and the computer's three turns play back.
        game.Roll(1);
        game.Click("Command2");
        QVERIFY(game.Busy());

        Answer yes(QMessageBox::Yes);
        if (yesByButton)
            QTest::mouseClick(Find<QPushButton>(winner, QStringLiteral("Command1")), Qt::LeftButton);
        else
            winner->close();
        QTest::qWait(20);
        // Nothing is answered while the round is still on the screen.
        QVERIFY(game.Busy());
        QVERIFY(yes.box.isEmpty());
        QVERIFY(winner && winner->isVisible());

        game.WaitUntilStill();
        QTRY_VERIFY(!game.session.Winner());
        QTest::qWait(50);  // nothing queued before the answer brings a window back
        QVERIFY(!game.session.Winner());
        QVERIFY(game.Board()->isVisible());
        QCOMPARE(!yes.box.isEmpty(), yesByButton);
        if (yesByButton) {
            QCOMPARE(Captions(game.Board(), QStringLiteral("Label3(%1)")), QStringList(MaxPlayers, QStringLiteral("1000")));
            QCOMPARE(game.session.Data().WinnerFlag.value(), 0);
        } else {
            // The game goes on as it was: the winner's purse is not reset.
            QVERIFY(Caption(game.Board(), QStringLiteral("Label3(1)")) != QStringLiteral("1000"));
            QCOMPARE(game.session.Data().WinnerFlag.value(), 1);
        }
    }

    void afterATurnTheFocusIsBackOnTheRoll()
    {
        Game game(0, 2ms);
        QVERIFY(QTest::qWaitForWindowActive(game.Board()));
        game.Button("Command3")->setFocus();  // the board drawn again leaves the focus where the player put it
        game.Board()->Refresh();
        QCOMPARE(QApplication::focusWidget(), game.Button("Command3"));
        game.Button("Command1")->setFocus();
        game.die.face = 2;
        QTest::keyClick(game.Button("Command1"), Qt::Key_Space);
        QTRY_COMPARE(Caption(game.Board(), QStringLiteral("Label6")), QStringLiteral("2"));
        QTest::keyClick(game.Button("Command1"), Qt::Key_Tab);
        QCOMPARE(QApplication::focusWidget(), game.Button("Command2"));
        QTest::keyClick(game.Button("Command2"), Qt::Key_Space);
        // Space again during the walk rolls once it is over, instead of asking to quit.
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Space);
        for (; game.Busy(); QTest::qWait(1))  // never on the quit button while walking
            QVERIFY(QApplication::focusWidget() != game.Button("Command3"));
        QCOMPARE(QApplication::focusWidget(), game.Button("Command1"));
        QVERIFY(game.Button("Command2")->isEnabled());
        QVERIFY(!QApplication::activeModalWidget());
    }

    // A picture missing from the game stops it as the window is made, naming the picture.
    void aMisspeltPictureStopsTheGameNamingIt()
    {
        const auto stop = [](const std::function<void()> &make) {
            try {
                make();
            } catch (const ProgramError &e) {
                return QString::fromStdString(e.what());
            }
            return QStringLiteral("went on");
        };
        QCOMPARE(stop([] { Picture(nullptr, QStringLiteral("no-such.svg"), false); }), QStringLiteral("picture missing: no-such.svg"));
        QCOMPARE(stop([] { CaptionButton(nullptr, {}, QStringLiteral("no-such-button.svg"), Qt::red); }), QStringLiteral("picture missing: no-such-button.svg"));
    }

    void buttonsArePaintedFlatInTheirOwnColours_data()
    {
        // clang-format off
        QTest::addColumn<QString>("window");
        QTest::addColumn<QString>("button");
        QTest::addColumn<quint32>("colour");
        QTest::newRow("roll: light cyan") << "board" << "Command1" << 0x00FFFF80u;
        QTest::newRow("stop, disabled: red") << "board" << "Command2" << 0x000000FFu;
        QTest::newRow("quit: light cyan") << "board" << "Command3" << 0x00FFFF80u;
        QTest::newRow("start: light cyan") << "selection" << "Command1" << 0x00FFFF80u;
        QTest::newRow("the boy: light yellow") << "winner" << "Command1" << 0x00C0FFFFu;
        // clang-format on
    }

    void buttonsArePaintedFlatInTheirOwnColours()
    {
        QFETCH(QString, window);
        QFETCH(QString, button);
        QFETCH(quint32, colour);
        Game game;
        QWidget *shown = game.Selection();
        if (window != QLatin1String("selection")) {
            game.ChooseHumans(4);
            game.Begin();
            shown = window == QLatin1String("board") ? game.Board() : game.PlayRoundWonBy(1);
        }
        auto *b = Find<QPushButton>(shown, button);
        b->clearFocus();
        QCOMPARE(QAccessible::queryAccessibleInterface(b)->backgroundColor(), Colour(colour));  // as assistive technologies read it
        const QImage face = b->grab().toImage();
        // Inside the bevel, left of the caption and the picture: the colour itself.
        const int x = CaptionButton::BevelWidth + 1;
        for (int y : {CaptionButton::BevelWidth + 1, face.height() / 2, face.height() - CaptionButton::BevelWidth - 2})
            QCOMPARE(face.pixelColor(x, y), Colour(colour));
        int below = 0;  // the quit button's caption under its picture, 36 px tall from 3 px down
        if (button == QLatin1String("Command3"))
            EachPixel(QRect(QPoint(3, 3 + 36), QPoint(face.width() - 4, face.height() - 4)), [&](int across, int y) { below += qGray(face.pixel(across, y)) < 0x40; });
        QVERIFY2(button != QLatin1String("Command3") || below > 20, qPrintable(QString::number(below)));
        if (window == QLatin1String("winner")) {  // the boy as large as his picture drawn at 110 × 103
            QImage own(110, 103, QImage::Format_RGB32);
            own.fill(Colour(colour));
            QPainter painter(&own);
            QSvgRenderer(QStringLiteral(":/pictures/winner-boy.svg")).render(&painter);
            const auto inked = [&](const QImage &i) { return QRegion(QBitmap::fromImage(i.createMaskFromColor(Colour(colour).rgb(), Qt::MaskInColor))).boundingRect(); };
            const QRect drawn = inked(face.copy(face.rect().adjusted(2, 2, -2, -2))).translated(2, 2), drawnOwn = inked(own);
            QCOMPARE(drawn.width(), drawnOwn.width());
            // centred on the face, to a pixel
            const QPoint shift = drawn.topLeft() - drawnOwn.topLeft(), centred((face.width() - 110) / 2, (face.height() - 103) / 2);
            QVERIFY2((shift - centred).manhattanLength() <= 1, qPrintable(QStringLiteral("at %1,%2").arg(shift.x()).arg(shift.y())));
            // Drawn again for a screen of twice the resolution, not taken from the first drawing.
            QCOMPARE(PictureAt(QStringLiteral("winner-boy.svg"), QSize(110, 103), 2).devicePixelRatio(), 2.0);
        }
    }

    // A label's face as a player sees it: its colour, a dark grey frame one pixel wide where it has one, its text in
    // black two pixels in from the frame or the edge, from the top; text that does not fit is cut off.
    void labelsDrawTheirTextInsideTheirFrames_data()
    {
        // clang-format off
        QTest::addColumn<QString>("label");
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("alignment");
        QTest::addColumn<bool>("framed");  // else sized to its text
        QTest::addColumn<quint32>("colour");
        QTest::newRow("the die: centred across") << "Label6" << "6" << int(Qt::AlignHCenter) << true << expected::TooltipColour;
        QTest::newRow("a purse: to the right") << "Label3(0)" << "-2500" << int(Qt::AlignRight) << true << expected::White;
        QTest::newRow("a name") << "Label2(1)" << expected::CharacterNames[1] << int(Qt::AlignLeft) << true << expected::White;
        QTest::newRow("a message: broken into lines, the last cut off")
            << "Label5(2)" << QString(QString::fromUtf8(expected::Squares[3].line) + QStringLiteral("。")).repeated(4)
            << int(Qt::AlignLeft) << true << expected::TooltipColour;
        QTest::newRow("a name without spaces: broken anywhere") << "Label2(0)" << QString(40, QLatin1Char('W')) << int(Qt::AlignLeft) << true << expected::White;
        QTest::newRow("the unit: sized to its text") << "Label4(0)" << "両" << int(Qt::AlignLeft) << false << expected::White;
        // clang-format on
    }
    void labelsDrawTheirTextInsideTheirFrames()
    {
        QFETCH(QString, label);
        QFETCH(QString, text);
        QFETCH(int, alignment);
        QFETCH(bool, framed);
        QFETCH(quint32, colour);
        Game game(0);
        auto *shown = Find<TextLabel>(game.Board(), label);
        shown->SetCaption(text);
        QImage want(shown->size(), QImage::Format_RGB32);
        want.fill(Colour(colour));
        QPainter painter(&want);
        painter.setPen(QColor(0x40, 0x40, 0x40));
        painter.drawRect(framed ? want.rect().adjusted(0, 0, -1, -1) : QRect());
        const int frame = framed ? 1 : 0;
        painter.setClipRect(want.rect().adjusted(frame, frame, -frame, -frame));
        painter.setPen(Qt::black);
        painter.setFont(shown->font());
        QTextOption option(Qt::Alignment(alignment) | Qt::AlignTop);
        option.setWrapMode(framed ? QTextOption::WrapAtWordBoundaryOrAnywhere : QTextOption::NoWrap);
        painter.drawText(QRectF(want.rect().adjusted(frame + 2, frame, -frame - 2, -frame)), text, option);
        painter.end();
        QCOMPARE(shown->grab().toImage().convertToFormat(QImage::Format_RGB32), want);
    }

    void theStopButtonShowsDisabledPressedAndFocused()
    {
        Game game(0);
        auto *stop = game.Button("Command2");
        const QColor red = Colour(0x000000FF), grey(0x80, 0x80, 0x80), black(Qt::black);
        const auto count = [&](const QImage &face, const QRect &r, const QColor &c) { int n = 0; EachPixel(r, [&](int x, int y) { n += face.pixelColor(x, y) == c; }); return n; };
        // The bevel's two rings at the middle of each side: top, left, bottom, right.
        const auto rings = [](const QImage &face) {
            QStringList seen;
            const int w = face.width(), h = face.height();
            for (int d : {0, 1})
                for (const QPoint at : {QPoint(w / 2, d), QPoint(d, h / 2), QPoint(w / 2, h - 1 - d), QPoint(w - 1 - d, h / 2)})
                    seen << face.pixelColor(at).name();
            return seen.join(QLatin1Char(' '));
        };
        // Disabled: the caption is greyed and embossed on the same red, a white copy showing one pixel down and right
        // of the grey.
        const QImage disabled = stop->grab().toImage();
        constexpr int B = CaptionButton::BevelWidth;
        const QRect all = disabled.rect(), inside = all.adjusted(B, B, -B - 1, -B - 1);
        QCOMPARE(disabled.pixelColor(disabled.width() / 2, B + 1), red);
        int whitish = 0, strays = 0;  // mostly white: red has no green, the grey half
        EachPixel(inside, [&](int x, int y) {
            const bool light = disabled.pixelColor(x, y).green() > 0xc0;
            whitish += light;
            const int under = disabled.pixelColor(x - 1, y - 1).green();  // grey ink up and left
            strays += light && (under < 0x40 || under > 0xc0);
        });
        const int greyed = count(disabled, inside, grey);
        QVERIFY2(greyed > 20 && whitish > 20 && strays == 0, qPrintable(QStringLiteral("%1 grey, %2 white, %3 astray").arg(greyed).arg(whitish).arg(strays)));

        game.Click("Command1");
        QVERIFY(stop->isEnabled());
        stop->clearFocus();
        const QImage enabled = stop->grab().toImage();
        // The caption's two lines in black, centred top to bottom, to a pixel.
        QRect ink;
        EachPixel(inside, [&](int x, int y) { ink |= qGray(enabled.pixel(x, y)) < 0x40 ? QRect(x, y, 1, 1) : QRect(); });
        QVERIFY2(qAbs(ink.top() + ink.bottom() - (enabled.height() - 1)) <= 2, qPrintable(QStringLiteral("rows %1 to %2").arg(ink.top()).arg(ink.bottom())));
        // Raised: white and light grey above and left, black and dark grey below and right.
        QCOMPARE(rings(enabled), QStringLiteral("#ffffff #ffffff #000000 #000000 #e0e0e0 #e0e0e0 #808080 #808080"));
        // Pressed, the bevel sinks and the face moves one pixel down and right.
        stop->setDown(true);
        const QImage pressed = stop->grab().toImage();
        stop->setDown(false);
        QCOMPARE(rings(pressed), QStringLiteral("#000000 #000000 #ffffff #ffffff #808080 #808080 #e0e0e0 #e0e0e0"));
        QCOMPARE(pressed.copy(inside.translated(1, 1)), enabled.copy(inside));
        // The focus mark: a dotted ring inside the bevel, from a quarter to three quarters of each side marked, and
        // nothing else changed.
        stop->setFocus();
        const QImage focused = stop->grab().toImage();
        const QRect ring = all.adjusted(CaptionButton::FocusInset, CaptionButton::FocusInset, -CaptionButton::FocusInset, -CaptionButton::FocusInset);
        int dots[4] = {};
        strays = 0;
        EachPixel(all, [&](int x, int y) {
            const bool side[4] = {y == ring.top(), x == ring.left(), y == ring.bottom(), x == ring.right()};
            const bool onRing = ring.contains(x, y) && std::count(side, side + 4, true) > 0;
            strays += !onRing && focused.pixel(x, y) != enabled.pixel(x, y);
            for (int k = 0; k < 4; ++k)
                dots[k] += side[k] && onRing && focused.pixelColor(x, y) == black && enabled.pixelColor(x, y) == red;
        });
        QCOMPARE(strays, 0);
        for (int k = 0; k < 4; ++k) {
            const int side = k % 2 ? ring.height() : ring.width();
            QVERIFY2(dots[k] > side / 4 && dots[k] < side * 3 / 4, qPrintable(QStringLiteral("side %1: %2 of %3").arg(k).arg(dots[k]).arg(side)));
        }
    }

    void theMKeyTurnsTheMusicOffAndOnAndTheNextStartRemembers_data()
    {
        // clang-format off
        QTest::addColumn<bool>("noMusicGiven");
        QTest::addColumn<bool>("keptBefore");
        QTest::addColumn<bool>("onAtTheStart");
        QTest::addColumn<QString>("lastM");  // p press, r release (capital: marked as a repeat), at a time in ms
        QTest::newRow("first run, plain start; M held") << false << true << true << "p10 r43 p43 r90";
        QTest::newRow("started with --no-music; M held") << true << true << false << "p10 R43 P43 r76 p76 R109 P109 r120";
        QTest::newRow("off kept from the last run; M held") << false << false << false << "p10 P43 r90";
        QTest::newRow("--no-music when already off; M pressed thrice") << true << false << false << "p10 r43 p44 r76 p200 r210";
        // clang-format on
    }

    void theMKeyTurnsTheMusicOffAndOnAndTheNextStartRemembers()
    {
        QFETCH(bool, noMusicGiven);
        QFETCH(bool, keptBefore);
        QFETCH(bool, onAtTheStart);
        QFETCH(QString, lastM);
        RememberMusicWanted(keptBefore);
        QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation)
                                               + QStringLiteral("/kiramoku/kiramoku.conf")),
                                 DiskWaitMs);
        ApplyMusicOption(noMusicGiven);

        bool expected = onAtTheStart;
        for (int run = 0; run < 2; ++run) {
            Game game(0);
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
            QTest::keyClick(game.Board(), Qt::Key_N);
            QCOMPARE(music.MusicOn(), expected);
            // X repeats a held key as a release and a press at one time; Qt marks some of them as repeats, or all.
            for (const QString &key : lastM.split(QLatin1Char(' '))) {
                QKeyEvent event(key[0].toLower() == 'p' ? QEvent::KeyPress : QEvent::KeyRelease, Qt::Key_M, {}, "m", key[0].isUpper());
                event.setTimestamp(key.mid(1).toULongLong());
                QApplication::sendEvent(game.Button("Command3"), &event);
            }
            QCOMPARE(music.MusicOn(), !expected);
            QCOMPARE(MusicWanted(), !expected);
            expected = !expected;  // what the next start finds
        }
    }
};

QTEST_MAIN(TestWindows)
#include "test_windows.moc"
