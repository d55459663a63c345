// Ten thousand generated names, typed into the selection window and carried
// into the board, the turn announcement and the winner's balloon: each shows
// exactly as typed, as plain text, and the records keep it unchanged.
#include "form2.h"
#include "gamefixture.h"
#include "windowlook.h"

#include <QLineEdit>

#include <random>

using namespace kiramoku;
using namespace kiramoku::test;

namespace {

class NameMaker {
public:
    QString Next()
    {
        const int kind = static_cast<int>(rng_() % Kinds.size());
        return Kinds[static_cast<size_t>(kind)](*this);
    }
    int Below(int n) { return static_cast<int>(rng_() % static_cast<unsigned>(n)); }
    QString Pick(const QStringList &pool, int count)
    {
        QString s;
        for (int i = 0; i < count; ++i) {
            s += pool[Below(static_cast<int>(pool.size()))];
        }
        return s;
    }

private:
    std::mt19937 rng_{424242};
    using Maker = QString (*)(NameMaker &);
    static inline const std::vector<Maker> Kinds = {
        [](NameMaker &) { return QString(); },
        [](NameMaker &m) { return QString(1 + m.Below(8), QLatin1Char(' ')); },
        [](NameMaker &m) { return QString(1 + m.Below(4), QChar(0x3000)); },  // ideographic spaces
        [](NameMaker &m) {
            return m.Pick({QStringLiteral("<b>"), QStringLiteral("</b>"), QStringLiteral("<img src=x>"),
                           QStringLiteral("&amp;"), QStringLiteral("&lt;"), QStringLiteral("<a href='#'>"),
                           QStringLiteral("<br>"), QStringLiteral("名")},
                          1 + m.Below(5));
        },
        [](NameMaker &m) {
            return m.Pick({QStringLiteral("שלום"), QStringLiteral("مرحبا"), QStringLiteral("\u202E"),
                           QStringLiteral("\u202C"), QStringLiteral("abc")},
                          1 + m.Below(5));
        },
        [](NameMaker &m) {
            return m.Pick({QStringLiteral("e\u0301"), QStringLiteral("\u0336"), QStringLiteral("a\u0308\u0308\u0308"),
                           QStringLiteral("か\u3099")},
                          1 + m.Below(8));
        },
        [](NameMaker &m) {
            return m.Pick({QStringLiteral("😀"), QStringLiteral("👨‍👩‍👧"), QStringLiteral("🏯"), QStringLiteral("🎲")},
                          1 + m.Below(6));
        },
        [](NameMaker &m) {
            return m.Pick({QStringLiteral("\t"), QString(QChar(0x01)), QString(QChar(0x1B)), QString(QChar(0x7F)),
                           QStringLiteral("\u200B"), QStringLiteral("x")},
                          1 + m.Below(6));
        },
        [](NameMaker &m) {
            // Lone halves of surrogate pairs.
            return m.Pick({QString(QChar(0xD800)), QString(QChar(0xDFFF)), QStringLiteral("若")}, 1 + m.Below(4));
        },
        [](NameMaker &m) { return m.Pick({QStringLiteral("備前屋"), QStringLiteral("の"), QStringLiteral("若旦那")}, 1 + m.Below(3)); },
    };
};

QString Announcement(const QString &name)
{
    return QStringLiteral("   ") + name + QStringLiteral("の番でありんすぅ");
}

} // namespace

class TestHostileNames : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { SetUpApplication(); }

    void tenThousandNamesShowAsTypedAndStayUnchanged()
    {
        constexpr int Names = 10'000;
        constexpr int WinningRoundEvery = 100;  // batches of four names
        Game game;
        game.ChooseHumans(4);
        game.Begin();
        Form1 *board = game.Board();
        NameMaker maker;
        int batch = 0;
        for (int n = 0; n < Names; n += MaxPlayers, ++batch) {
            QStringList typed;
            for (int i = 0; i < MaxPlayers; ++i) {
                typed << maker.Next();
            }
            const bool veryLong = batch % 500 == 7;
            if (veryLong) {
                typed[batch % MaxPlayers] = QString(100'000, QChar(0x82E5));  // 若 × 100 000
            }
            auto *selection = new Form2([] {});
            selection->SetListIndex(MaxPlayers - 1);
            QStringList inBoxes;
            for (int i = 0; i < MaxPlayers; ++i) {
                auto *box = Find<QLineEdit>(selection, QStringLiteral("Text1(%1)").arg(i));
                box->setText(typed[i]);
                inBoxes << box->text();
            }
            QCOMPARE(inBoxes, typed);  // the boxes take every name whole
            board->Load(*selection);

            for (int k = 1; k <= MaxPlayers; ++k) {
                const QString expected = typed[k - 1].isEmpty() ? QString::fromUtf8(expected::CharacterNames[k - 1]) : typed[k - 1];
                QCOMPARE(board->Rules().Players[k].Name, expected);
                auto *label = Find<TextLabel>(board, QStringLiteral("Label2(%1)").arg(k - 1));
                QCOMPARE(label->text(), expected);
                QCOMPARE(label->textFormat(), Qt::PlainText);
            }
            QCOMPARE(Caption(board, QStringLiteral("Label1")), Announcement(board->Rules().Players[1].Name));
            QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);

            if (batch % WinningRoundEvery == 0 || veryLong) {
                PlayAWinningRound(game);
            }
        }
        board->grab();  // every label paints whatever it holds
    }

private:
    // Everyone wins: the balloon shows all four names, and each turn's
    // announcement shows the next name.
    static void PlayAWinningRound(Game &game)
    {
        Form1 *board = game.Board();
        game.session.UnloadWinnerWindow();
        QTRY_VERIFY(!game.session.Winner());
        board->Rules().AllClear();
        game.session.Data().WinnerFlag = 0;
        for (int k = 1; k <= MaxPlayers; ++k) {
            board->Rules().Players[k].Money = 3000;
        }
        for (int k = 1; k <= MaxPlayers; ++k) {
            game.Turn(1);
            const int next = k % MaxPlayers + 1;
            QCOMPARE(Caption(board, QStringLiteral("Label1")), Announcement(board->Rules().Players[next].Name));
        }
        QWidget *winner = game.session.Winner();
        QVERIFY(winner);
        QString expected;
        for (int k = 1; k <= MaxPlayers; ++k) {
            expected += QStringLiteral("おめでとう。") + board->Rules().Players[k].Name + QStringLiteral("さん\r\n");
        }
        QCOMPARE(Caption(winner, QStringLiteral("Label1")), expected);
        QCOMPARE(Find<TextLabel>(winner, QStringLiteral("Label1"))->textFormat(), Qt::PlainText);
    }
};

QTEST_MAIN(TestHostileNames)
#include "test_hostile_names.moc"
