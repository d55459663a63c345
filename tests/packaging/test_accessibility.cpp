// What a screen reader is told about the three windows, asked in-process the
// way Qt's AT-SPI bridge asks: through QAccessible. Names follow the captions
// as the game changes them.
#include "gamefixture.h"
#include "windowlook.h"

#include <QAccessible>
#include <QLineEdit>

using namespace kiramoku;
using namespace kiramoku::test;

namespace {

QAccessibleInterface *Accessible(QWidget *window, const QString &element)
{
    QAccessibleInterface *face = QAccessible::queryAccessibleInterface(Find(window, element));
    if (!face) {
        qFatal("no accessible interface for %s", qPrintable(element));
    }
    return face;
}

// The rows of a window's table: element, role, name as a screen reader reads it.
void Columns()
{
    QTest::addColumn<QString>("element");
    QTest::addColumn<QAccessible::Role>("role");
    QTest::addColumn<QString>("name");
}

void CheckRow(QWidget *window)
{
    QFETCH(QString, element);
    QFETCH(QAccessible::Role, role);
    QFETCH(QString, name);
    QAccessibleInterface *face = Accessible(window, element);
    QCOMPARE(face->role(), role);
    QCOMPARE(face->text(QAccessible::Name), name);
    // Every element a player needs also says what it is for.
    QVERIFY2(!face->text(QAccessible::Description).isEmpty(), qPrintable(element));
}

// Every control in `window` that takes the focus has a name to be read by.
void CheckEveryControlIsNamed(QWidget *window)
{
    for (QWidget *w : window->findChildren<QWidget *>()) {
        if (w->focusPolicy() == Qt::NoFocus || w->isWindow() || w->parentWidget() != window) {
            continue;
        }
        QVERIFY2(!QAccessible::queryAccessibleInterface(w)->text(QAccessible::Name).isEmpty(),
                 qPrintable(w->objectName()));
    }
}

// What a screen reader is told without moving the focus: the names of the
// notifications that appear, in order. (Qt hands each appearance on to the
// screen reader; offscreen, it is seen as the widget's show event.)
class NotificationListener : public QObject {
public:
    QStringList told;

protected:
    bool eventFilter(QObject *object, QEvent *event) override
    {
        if (event->type() == QEvent::Show && object->isWidgetType()) {
            QAccessibleInterface *face = QAccessible::queryAccessibleInterface(object);
            if (face && face->role() == QAccessible::Notification) {
                told << face->text(QAccessible::Name);
            }
        }
        return false;
    }
};

} // namespace

class AccessibilityTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase()
    {
        SetUpApplication();
    }

    void theSelectionWindowReadsItsControls_data()
    {
        Columns();
        QTest::newRow("the number of people list") << "List1" << QAccessible::List << "参加人数";
        QTest::newRow("the first name box") << "Text1(0)" << QAccessible::EditableText << "プレイヤー1の名前";
        QTest::newRow("the fourth name box") << "Text1(3)" << QAccessible::EditableText << "プレイヤー4の名前";
        QTest::newRow("the start button by its caption") << "Command1" << QAccessible::Button << "はじめる";
    }
    void theSelectionWindowReadsItsControls()
    {
        Game game;
        CheckRow(game.Selection());
    }

    void theSelectionWindowHasNoNamelessControl()
    {
        Game game;
        game.ChooseHumans(4);
        CheckEveryControlIsNamed(game.Selection());
        // A name box reads what was typed into it as its value.
        auto *box = Find<QLineEdit>(game.Selection(), QStringLiteral("Text1(1)"));
        box->setText(QStringLiteral("お菊"));
        QCOMPARE(QAccessible::queryAccessibleInterface(box)->text(QAccessible::Value), QStringLiteral("お菊"));
    }

    void theBoardReadsEachPlayersPanelAndTheDie_data()
    {
        Columns();
        QTest::newRow("the roll button by its caption") << "Command1" << QAccessible::Button << "さいころをふる";
        QTest::newRow("the stop button by its caption") << "Command2" << QAccessible::Button << "さいころをとめる";
        QTest::newRow("the quit picture button by what it does") << "Command3" << QAccessible::Button << "双六を止める";
        QTest::newRow("the die as its value") << "Label6" << QAccessible::StaticText << "さいころの目 3";
        QTest::newRow("the turn announcement")
            << "Label1" << QAccessible::StaticText << "   越後屋の若旦那の番でありんすぅ";
        QTest::newRow("the first player's name") << "Label2(0)" << QAccessible::StaticText << "備前屋の若旦那";
        QTest::newRow("the fourth player's name") << "Label2(3)" << QAccessible::StaticText << "旗本の三男坊";
        QTest::newRow("the first player's purse in ryō")
            << "Label3(0)" << QAccessible::StaticText << "プレイヤー1の所持金 1050両";
        QTest::newRow("the second player's untouched purse")
            << "Label3(1)" << QAccessible::StaticText << "プレイヤー2の所持金 1000両";
        QTest::newRow("the first player's last message")
            << "Label5(0)" << QAccessible::StaticText << "番頭さん、これ持ってくよ！";
        QTest::newRow("the first player's face") << "Image2(0)" << QAccessible::Graphic << "プレイヤー1の顔";
        QTest::newRow("the first player's piece where it landed")
            << "Image4(0)" << QAccessible::Graphic << "プレイヤー1 備前屋の若旦那のこま 3マス目 50両";
        QTest::newRow("the third player's piece still on the start square")
            << "Image4(2)" << QAccessible::Graphic << "プレイヤー3 錠前屋の若旦那のこま 0マス目 ふりだし";
        QTest::newRow("the start square") << "Image1(0)" << QAccessible::Graphic << "0マス目 ふりだし";
        QTest::newRow("a panel square by what is written on it")
            << "Image1(1)" << QAccessible::Graphic << "1マス目 浮世絵を拾う";
        QTest::newRow("a coin square that pays") << "Image1(5)" << QAccessible::Graphic << "5マス目 50両";
        QTest::newRow("a coin square that costs") << "Image1(2)" << QAccessible::Graphic << "2マス目 -50両";
        QTest::newRow("the last square") << "Image1(24)" << QAccessible::Graphic << "24マス目 50両";
        QTest::newRow("a panel square of two lines")
            << "Image1(13)" << QAccessible::Graphic << "13マス目 富くじの１等が当たる？？？";
    }
    void theBoardReadsEachPlayersPanelAndTheDie()
    {
        // Two people; the first rolls a 3 and lands on the allowance square.
        Game game;
        game.ChooseHumans(2);
        game.Begin();
        game.Turn(3);
        CheckRow(game.Board());
    }

    void theBoardsNamesFollowEveryChangeOfDiePurseAndTurn()
    {
        Game game;
        game.ChooseHumans(2);
        game.Begin();
        Form1 *board = game.Board();
        CheckEveryControlIsNamed(board);
        const auto name = [&](const char *element) {
            return Accessible(board, QString::fromUtf8(element))->text(QAccessible::Name);
        };
        const auto caption = [&](const char *element) { return Caption(board, QString::fromUtf8(element)); };
        // Before the first roll the die shows nothing and is read by what it is.
        QCOMPARE(name("Label6"), QStringLiteral("さいころの目"));
        const QString turnBefore = name("Label1");
        const QString purseBefore = name("Label3(0)");

        game.Turn(5);
        QCOMPARE(name("Label6"), QStringLiteral("さいころの目 5"));
        QVERIFY(name("Label3(0)") != purseBefore);
        QCOMPARE(name("Label3(0)"), QStringLiteral("プレイヤー1の所持金 %1両").arg(caption("Label3(0)")));
        QVERIFY(name("Label1") != turnBefore);
        QCOMPARE(name("Label1"), caption("Label1"));
        QVERIFY(!name("Label5(0)").isEmpty());
        QCOMPARE(name("Label5(0)"), caption("Label5(0)"));

        QCOMPARE(name("Image4(0)"), QStringLiteral("プレイヤー1 備前屋の若旦那のこま 5マス目 50両"));

        // The next roll is read as it stops.
        game.Turn(2);
        QCOMPARE(name("Label6"), QStringLiteral("さいころの目 2"));
        QCOMPARE(name("Image4(1)"), QStringLiteral("プレイヤー2 越後屋の若旦那のこま 2マス目 -50両"));
        // A piece is read on the square it walks on to.
        game.Turn(4);
        QCOMPARE(name("Image4(0)"), QStringLiteral("プレイヤー1 備前屋の若旦那のこま 9マス目 50両"));
        QCOMPARE(name("Label3(1)"), QStringLiteral("プレイヤー2の所持金 %1両").arg(caption("Label3(1)")));
    }

    void theRoundIsToldOnceEachInOrder_data()
    {
        QTest::addColumn<int>("face");
        QTest::addColumn<QStringList>("told");
        QTest::newRow("every piece on the allowance square, the samurai's son with his own line")
            << 3
            << QStringList{
                   "備前屋の若旦那の番でありんすぅ",
                   "さいころの目は3",
                   "備前屋の若旦那、3マス目 50両、番頭さん、これ持ってくよ！、所持金1050両",
                   "越後屋の若旦那の番でありんすぅ",
                   "さいころの目は3",
                   "越後屋の若旦那、3マス目 50両、番頭さん、これ持ってくよ！、所持金1050両",
                   "錠前屋の若旦那の番でありんすぅ",
                   "さいころの目は3",
                   "錠前屋の若旦那、3マス目 50両、番頭さん、これ持ってくよ！、所持金1050両",
                   "旗本の三男坊の番でありんすぅ",
                   "さいころの目は3",
                   "旗本の三男坊、3マス目 50両、じい、持ってくよ！[(じい)わか、どこに行かれるのじゃ！]、所持金1050両",
                   "備前屋の若旦那の番でありんすぅ",
               };
        const QString back = QStringLiteral("4マス目 振り出しに戻る、おいおい！そりゃあないぜ・・・なんてこったい(-700)、所持金300両");
        QTest::newRow("every piece sent back to the start: told where it landed")
            << 4
            << QStringList{
                   "備前屋の若旦那の番でありんすぅ",
                   "さいころの目は4",
                   "備前屋の若旦那、" + back,
                   "越後屋の若旦那の番でありんすぅ",
                   "さいころの目は4",
                   "越後屋の若旦那、" + back,
                   "錠前屋の若旦那の番でありんすぅ",
                   "さいころの目は4",
                   "錠前屋の若旦那、" + back,
                   "旗本の三男坊の番でありんすぅ",
                   "さいころの目は4",
                   "旗本の三男坊、" + back,
                   "備前屋の若旦那の番でありんすぅ",
               };
    }
    void theRoundIsToldOnceEachInOrder()
    {
        // One person and three computer players; every die shows `face`. As
        // the board comes up, it says whose turn it is.
        QFETCH(int, face);
        QFETCH(QStringList, told);
        NotificationListener listener;
        qApp->installEventFilter(&listener);
        Game game;
        game.Begin();
        game.Turn(face);
        QCOMPARE(listener.told, told);
        // Drawing the same board again tells nothing new.
        game.Board()->Refresh();
        QCOMPARE(listener.told, told);
    }

    void theWinnersBoyButtonIsNamedByItsQuestion()
    {
        Game game;
        game.ChooseHumans(4);
        game.Begin();
        NotificationListener listener;
        qApp->installEventFilter(&listener);
        QWidget *winner = game.PlayRoundWonBy(3);
        QVERIFY(winner);
        // The congratulations are read as the window comes up, after the
        // round's last change of turn.
        QTRY_COMPARE(listener.told.last(), QStringLiteral("おめでとう。錠前屋の若旦那さん"));
        QCOMPARE(listener.told.count(QStringLiteral("おめでとう。錠前屋の若旦那さん")), 1);
        QAccessibleInterface *boy = Accessible(winner, QStringLiteral("Command1"));
        QCOMPARE(boy->role(), QAccessible::Button);
        QCOMPARE(boy->text(QAccessible::Name), QStringLiteral("もう一回やる？"));
        QAccessibleInterface *wishes = Accessible(winner, QStringLiteral("Label1"));
        QCOMPARE(wishes->text(QAccessible::Name), Caption(winner, QStringLiteral("Label1")));
        QVERIFY(wishes->text(QAccessible::Name).contains(QStringLiteral("錠前屋の若旦那")));
        CheckEveryControlIsNamed(winner);

        Answer no(QMessageBox::No);
        boy->actionInterface()->doAction(QAccessibleActionInterface::pressAction());
        QTRY_VERIFY(no.seen);
        QCOMPARE(no.text, QStringLiteral("もう一回やる？"));
    }
};

QTEST_MAIN(AccessibilityTest)
#include "test_accessibility.moc"
