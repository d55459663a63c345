// Two hundred rounds on the real windows with random dice and every mix of people and computer characters, each round
// after a fresh choice of players whose names come from a generator of hostile text: ten thousand names, a few of 100
// 000 characters. Every name shows exactly as typed, as plain text, on the board, in each turn's announcement and in
// the winner's balloon; nothing crashes, and the windows hold no more widgets at the end than at the start.
#include "form2.h"
#include "gamefixture.h"
#include "windowlook.h"

#include <QLineEdit>

#include <random>

using namespace kiramoku;
using namespace kiramoku::test;

namespace {

// The pieces of hostile names: a name is up to eight pieces of one kind.
const std::vector<QStringList> Kinds = {
    {" "},
    {"\u3000"},  // blanks and ideographic spaces
    {"<b>", "</b>", "<img src=x>", "&amp;", "&lt;", "<a href='#'>", "<br>", "名"},
    {"שלום", "مرحبا", "\u202E", "\u202C", "abc"},              // right to left, and its marks
    {"e\u0301", "\u0336", "a\u0308\u0308\u0308", "か\u3099"},  // combining marks
    {"😀", "👨‍👩‍👧", "🏯", "🎲"},
    {"\t", "\x01", "\x1B", "\x7F", "\u200B", "x"},
    {QString(QChar(0xD800)), QString(QChar(0xDFFF)), "若"},  // lone halves of surrogate pairs
    {"備前屋", "の", "若旦那"},
};

QString HostileName(std::mt19937 &rng)
{
    const QStringList &kind = Kinds[rng() % Kinds.size()];
    QString name;
    for (auto pieces = rng() % 9; pieces > 0; --pieces)
        name += kind[qsizetype(rng() % std::size_t(kind.size()))];
    return name;
}

// A name as the turn line and the congratulation hold it: set apart as an isolated run (FSI … PDI) where it holds
// right-to-left letters or marks.
QString Set(const QString &name)
{
    static const QRegularExpression turning(QStringLiteral("[\u05D0-\u05EA\u0600-\u06FF\u202C\u202E]"));
    return name.contains(turning) ? QStringLiteral("\u2068") + name + QStringLiteral("\u2069") : name;
}

QString Announcement(Form1 *board)
{
    return QStringLiteral("   ") + Set(board->Rules().Players[board->Rules().CurrentPlayer].Name) + QStringLiteral("の番でありんすぅ");
}

// A new selection window with `humans` people named `typed` in its boxes, loaded into the board: the computers and the
// emptied boxes keep the characters' names, every other name is shown as typed.
void Choose(Form1 *board, int humans, const QStringList &typed)
{
    auto *selection = new Form2([] {});
    selection->SetListIndex(humans - 1);
    for (int i = 0; i < MaxPlayers; ++i) {
        auto *box = Find<QLineEdit>(selection, QStringLiteral("Text1(%1)").arg(i));
        box->setText(typed[i]);
        QCOMPARE(box->text(), typed[i]);  // the box takes every name whole
    }
    board->Load(*selection);
    for (int k = 1; k <= MaxPlayers; ++k) {
        const QString &own = typed[k - 1];
        const QString name = k > humans || own.isEmpty() ? QString::fromUtf8(expected::CharacterNames[k - 1]) : own;
        QCOMPARE(board->Rules().Players[k].Name, name);
        auto *label = Find<TextLabel>(board, QStringLiteral("Label2(%1)").arg(k - 1));
        QCOMPARE(label->text(), name);
        QCOMPARE(label->textFormat(), Qt::PlainText);
    }
    QCOMPARE(Caption(board, QStringLiteral("Label1")), Announcement(board));
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

}  // namespace

class TestWindowSoak : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { SetUpApplication(); }

    void twoHundredRoundsOfHostileNamesShowAsTypedAndLeaveTheWidgetCountAsItWas()
    {
        constexpr int Rounds = 200, ChoicesPerRound = 12, EveryoneWinsEvery = 10, LongNameEvery = 40;
        Game game(0);
        Form1 *board = game.Board();
        QTRY_VERIFY(!game.Selection());
        const qsizetype widgetsAtStart = QApplication::allWidgets().size();
        std::mt19937 rng(2026);
        std::uniform_int_distribution<int> face(1, DieFaces);
        for (int round = 0; round < Rounds && !QTest::currentTestFailed(); ++round) {
            const int humans = round % MaxPlayers + 1;
            QStringList typed;
            for (int choice = 0; choice < ChoicesPerRound && !QTest::currentTestFailed(); ++choice) {
                typed.clear();
                for (int i = 0; i < MaxPlayers; ++i)
                    typed << HostileName(rng);
                if (round % LongNameEvery == 7 && choice == ChoicesPerRound - 1)
                    typed[round % humans] = QString(100'000, QChar(0x82E5));  // 若 × 100 000
                Choose(board, humans, typed);
            }
            const bool everyoneWins = round % EveryoneWinsEvery == 0;
            if (everyoneWins) {  // a winner window of its own, whatever went before
                board->Rules().AllClear();
                game.session.Data().WinnerFlag = 0;
                for (int k = 1; k <= MaxPlayers; ++k)
                    board->Rules().Players[k].Money = 5000;  // above 2500 whatever the round takes
            }
            for (int human = 1; human <= humans; ++human) {
                game.die.face = face(rng);  // also the computers' rolls after the last
                game.Click("Command1");
                board->Timer1_Timer();  // one tick shows the face at once
                game.Click("Command2");
                while (game.Busy())
                    QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 5);
                QCOMPARE(Caption(board, QStringLiteral("Label1")), Announcement(board));
            }
            QCOMPARE(board->Rules().CurrentPlayer.value(), 1);
            QString wishes;
            for (int k = 1; k <= MaxPlayers; ++k) {
                QCOMPARE(Caption(board, QStringLiteral("Label3(%1)").arg(k - 1)), QString::number(board->Rules().Players[k].Money.value()));
                wishes += QStringLiteral("おめでとう。") + Set(board->Rules().Players[k].Name) + QStringLiteral("さん\r\n");
            }
            if (everyoneWins) {
                QVERIFY(game.session.Winner());
                QCOMPARE(Caption(game.session.Winner(), QStringLiteral("Label1")), wishes);
                QCOMPARE(Find<TextLabel>(game.session.Winner(), QStringLiteral("Label1"))->textFormat(), Qt::PlainText);
            }
            board->grab();              // every label paints whatever it holds
            if (game.session.Winner())  // shown after every round once someone has won
                game.session.UnloadWinnerWindow();
            QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        }
        QCOMPARE(QApplication::allWidgets().size(), widgetsAtStart);
    }
};

QTEST_MAIN(TestWindowSoak)
#include "test_window_soak.moc"
