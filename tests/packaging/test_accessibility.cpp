// What a screen reader is told about the three windows, asked in-process the
// way Qt's AT-SPI bridge asks: through QAccessible. Names follow the captions
// as the game changes them. And how the running game names itself to the desktop.
#include "gamefixture.h"
#include "windowlook.h"

#include <QAccessible>
#include <QLineEdit>
#include <QSettings>

using namespace kiramoku;
using namespace kiramoku::test;
using Faces = QList<int>;

namespace {

QAccessibleInterface *Accessible(QWidget *window, const QString &element)
{
    QAccessibleInterface *face = QAccessible::queryAccessibleInterface(Find(window, element));
    if (!face)
        qFatal("no accessible interface for %s", qPrintable(element));
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
    for (QWidget *w : window->findChildren<QWidget *>(Qt::FindDirectChildrenOnly))
        QVERIFY2(w->focusPolicy() == Qt::NoFocus || w->isWindow() || !QAccessible::queryAccessibleInterface(w)->text(QAccessible::Name).isEmpty(),
                 qPrintable(w->objectName()));
}

// What a screen reader is told without moving the focus: the names of the
// notifications that appear, in order. (Qt hands each appearance on to the
// screen reader; offscreen, it is seen as the widget's show event.)
class NotificationListener : public QObject {
public:
    QStringList told;
    QSet<QWidget *> notes;  // the notes that told them

protected:
    bool eventFilter(QObject *object, QEvent *event) override
    {
        if (event->type() == QEvent::Show && object->isWidgetType()) {
            QAccessibleInterface *face = QAccessible::queryAccessibleInterface(object);
            if (face && face->role() == QAccessible::Notification) {
                told << face->text(QAccessible::Name);
                notes << static_cast<QWidget *>(object);
            }
        }
        return false;
    }
};

// What a player's first walk from the start square is told after the
// walker's name, from the list the Orca test reads too.
QString FirstWalk(int face, int player)
{
    QFile list(QStringLiteral(KIRAMOKU_FIRST_WALKS));
    const QRegularExpression line(QStringLiteral("^%1 \\d*%2\\d* (.+)$").arg(face).arg(player), QRegularExpression::MultilineOption);
    const QRegularExpressionMatch found = line.match(list.open(QIODevice::ReadOnly) ? QString::fromUtf8(list.readAll()) : QString());
    if (!found.hasMatch())
        qFatal("no first walk of %d for player %d in %s", face, player, KIRAMOKU_FIRST_WALKS);
    return found.captured(1);
}

}  // namespace

class AccessibilityTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { SetUpApplication(); }

    // A dock or task switcher finds the launcher by the desktop file name or
    // the window class. (The launcher's own name and icon: the install check.)
    void theProgramNamesItselfAsItsLauncherDoes()
    {
        // No display name of its own: X11 would add it to every window title.
        QCOMPARE(QApplication::applicationDisplayName(), QApplication::applicationName());
        QCOMPARE(QApplication::applicationVersion(), QStringLiteral(KIRAMOKU_VERSION));
        QVERIFY(!QApplication::windowIcon().pixmap(32).isNull());
        const QString id = QGuiApplication::desktopFileName();
        QVERIFY2(!id.isEmpty() && !id.endsWith(QStringLiteral(".desktop")), "a name, given without its suffix");
        const QString launcher = QStringLiteral(KIRAMOKU_PACKAGING_DIR "/") + id + QStringLiteral(".desktop");
        QVERIFY2(QFile::exists(launcher), qPrintable(launcher));
        QSettings entry(launcher, QSettings::IniFormat);
        // On X11 the windows' class is the application name; a dock that
        // matches windows by class finds the launcher through this key.
        QCOMPARE(entry.value(QStringLiteral("Desktop Entry/StartupWMClass")).toString(), QApplication::applicationName());
    }

    void theSelectionWindowReadsItsControls_data()
    {
        // clang-format off
        Columns();
        QTest::newRow("the number of people list") << "List1" << QAccessible::List << "参加人数";
        QTest::newRow("the first name box") << "Text1(0)" << QAccessible::EditableText << "プレイヤー1の名前";
        QTest::newRow("the fourth name box") << "Text1(3)" << QAccessible::EditableText << "プレイヤー4の名前";
        QTest::newRow("the start button by its caption") << "Command1" << QAccessible::Button << "はじめる";
        // clang-format on
    }
    void theSelectionWindowReadsItsControls()
    {
        Game game;
        game.ChooseHumans(4);
        CheckRow(game.Selection());
        CheckEveryControlIsNamed(game.Selection());
        // A name box reads what was typed into it as its value.
        auto *box = Find<QLineEdit>(game.Selection(), QStringLiteral("Text1(1)"));
        box->setText(QStringLiteral("お菊"));
        QCOMPARE(QAccessible::queryAccessibleInterface(box)->text(QAccessible::Value), QStringLiteral("お菊"));
    }

    void theBoardReadsEachPlayersPanelAndTheDie_data()
    {
        // clang-format off
        Columns();
        QTest::addColumn<Faces>("faces");  // the turns played first, two people taking turns
        QTest::newRow("the roll button by its caption") << "Command1" << QAccessible::Button << "さいころをふる" << Faces{3};
        QTest::newRow("the stop button by its caption") << "Command2" << QAccessible::Button << "さいころをとめる" << Faces{3};
        QTest::newRow("the quit picture button by what it does") << "Command3" << QAccessible::Button << "双六を止める" << Faces{3};
        QTest::newRow("the die as its value") << "Label6" << QAccessible::StaticText << "さいころの目 3" << Faces{3};
        QTest::newRow("the turn announcement") << "Label1" << QAccessible::StaticText << "   越後屋の若旦那の番でありんすぅ" << Faces{3};
        QTest::newRow("the first player's name") << "Label2(0)" << QAccessible::StaticText << "備前屋の若旦那" << Faces{3};
        QTest::newRow("the fourth player's name") << "Label2(3)" << QAccessible::StaticText << "旗本の三男坊" << Faces{3};
        QTest::newRow("the first player's purse in ryō") << "Label3(0)" << QAccessible::StaticText << "プレイヤー1の所持金 1050両" << Faces{3};
        QTest::newRow("the second player's untouched purse") << "Label3(1)" << QAccessible::StaticText << "プレイヤー2の所持金 1000両" << Faces{3};
        QTest::newRow("the first player's last message") << "Label5(0)" << QAccessible::StaticText << "番頭さん、これ持ってくよ！" << Faces{3};
        QTest::newRow("the first player's face") << "Image2(0)" << QAccessible::Graphic << "プレイヤー1の顔" << Faces{3};
        QTest::newRow("the first player's piece where it landed") << "Image4(0)" << QAccessible::Graphic << "プレイヤー1 備前屋の若旦那のこま 3マス目 50両" << Faces{3};
        QTest::newRow("the third player's piece still on the start square")
            << "Image4(2)" << QAccessible::Graphic << "プレイヤー3 錠前屋の若旦那のこま 0マス目 ふりだし" << Faces{3};
        for (int k = 0; k < 25; ++k)  // every square by what is written on it
            QTest::addRow("square %d", k) << QStringLiteral("Image1(%1)").arg(k) << QAccessible::Graphic
                << QStringLiteral("%1マス目 ").arg(k) + QString::fromUtf8(expected::Squares[std::size_t(k)].name) << Faces{3};
        // The names follow every change of die, purse, turn and square.
        QTest::newRow("the die before the first roll, by what it is") << "Label6" << QAccessible::StaticText << "さいころの目" << Faces{};
        QTest::newRow("the die at the next stop") << "Label6" << QAccessible::StaticText << "さいころの目 2" << Faces{5, 2};
        QTest::newRow("a purse as it grows") << "Label3(0)" << QAccessible::StaticText << "プレイヤー1の所持金 1050両" << Faces{5};
        QTest::newRow("a purse as it shrinks") << "Label3(1)" << QAccessible::StaticText << "プレイヤー2の所持金 950両" << Faces{5, 2, 4};
        QTest::newRow("the turn as it passes") << "Label1" << QAccessible::StaticText << "   備前屋の若旦那の番でありんすぅ" << Faces{5, 2};
        QTest::newRow("the second player's piece on a square that costs")
            << "Image4(1)" << QAccessible::Graphic << "プレイヤー2 越後屋の若旦那のこま 2マス目 -50両" << Faces{5, 2};
        QTest::newRow("a piece on the square it walks on to")
            << "Image4(0)" << QAccessible::Graphic << "プレイヤー1 備前屋の若旦那のこま 9マス目 50両" << Faces{5, 2, 4};
        // clang-format on
    }
    void theBoardReadsEachPlayersPanelAndTheDie()
    {
        // Two people; in the rows of a 3, the first lands on the allowance square.
        QFETCH(Faces, faces);
        Game game(2);
        for (int face : faces)
            game.Turn(face);
        CheckRow(game.Board());
        CheckEveryControlIsNamed(game.Board());
    }

    // Every die showing the same face, for each face: the landings as the
    // list shared with the Orca test says.
    void theRoundIsToldOnceEachInOrder_data()
    {
        // clang-format off
        QTest::addColumn<int>("face");
        QTest::addColumn<QStringList>("told");
        const auto turn = [](int k) { return QString::fromUtf8(expected::CharacterNames[k % MaxPlayers]) + "の番でありんすぅ"; };
        for (int face = 1; face <= DieFaces; ++face) {
            QStringList told{turn(0)};
            for (int k = 1; k <= MaxPlayers; ++k)
                told << QStringLiteral("さいころの目は%1").arg(face)
                     << QString::fromUtf8(expected::CharacterNames[k - 1]) + "、" + FirstWalk(face, k) << turn(k);
            QTest::addRow("every die showing %d", face) << face << told;
        }
        // clang-format on
    }
    void theRoundIsToldOnceEachInOrder()
    {
        // One person and three computer players; every die shows `face`. As
        // the board comes up, it says whose turn it is.
        QFETCH(int, face);
        QFETCH(QStringList, told);
        NotificationListener listener;
        qApp->installEventFilter(&listener);
        Game game(0);
        game.Turn(face);
        QCOMPARE(listener.told, told);
        // Each in a note of its own, none left showing, so a late reader still finds it.
        QCOMPARE(listener.notes.size(), told.size());
        QVERIFY(std::none_of(listener.notes.begin(), listener.notes.end(), [](QWidget *note) { return note->isVisible(); }));
        // They sit in a status bar that takes no room, no focus and no clicks.
        auto *row = Find(game.Board(), QStringLiteral("SpeechRow"));
        QVERIFY(row->testAttribute(Qt::WA_TransparentForMouseEvents));
        QCOMPARE(QAccessible::queryAccessibleInterface(row)->role(), QAccessible::StatusBar);
        QList<QWidget *> speech = row->findChildren<QWidget *>();
        for (QWidget *w : speech << row)
            QVERIFY(w->geometry() == QRect() && w->focusPolicy() == Qt::NoFocus);
        // Drawing the same board again tells nothing new.
        game.Board()->Refresh();
        QCOMPARE(listener.told, told);
    }

    void theWinnersBoyButtonIsNamedByItsQuestion()
    {
        Game game(4);
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
        QCOMPARE(Accessible(winner, QStringLiteral("Label1"))->text(QAccessible::Name), QStringLiteral("おめでとう。錠前屋の若旦那さん\r\n"));
        CheckEveryControlIsNamed(winner);

        Answer no(QMessageBox::No);
        boy->actionInterface()->doAction(QAccessibleActionInterface::pressAction());
        QTRY_COMPARE(no.box.value(0), QStringLiteral("もう一回やる？"));
    }
};

QTEST_MAIN(AccessibilityTest)
#include "test_accessibility.moc"
