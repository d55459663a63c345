#pragma once
// A whole game on the real windows (offscreen), with shortened pauses and a loaded die, and the small helpers that find
// and read its elements.
#include "elements.h"
#include "expected_layouts.h"
#include "fakes.h"
#include "form1.h"
#include "session.h"

#include <QApplication>
#include <QListWidget>
#include <QMessageBox>
#include <QProcess>
#include <QPushButton>
#include <QStandardPaths>
#include <QtTest>

#include <chrono>
#include <functional>

namespace kiramoku::test {

using namespace kiramoku::screens;
using namespace std::chrono_literals;

// Every draw shows the face last set.
class LoadedDie : public ChanceSource {
public:
    int face = 1;
    int draws = 0;
    double Next() override { return ++draws, (face - 0.5) / DieFaces; }
};

// The title the window system shows for `window`: on X11 the _NET_WM_NAME the window manager reads, as xprop prints it;
// elsewhere the native window's title.
inline QString SystemTitle(QWidget *window)
{
    if (QGuiApplication::platformName() != QLatin1String("xcb"))
        return window->windowHandle() ? window->windowHandle()->title() : QStringLiteral("(no native window)");
    QProcess xprop;
    xprop.start(QStringLiteral("xprop"), {QStringLiteral("-id"), QString::number(window->winId()), QStringLiteral("-notype"),
                                          QStringLiteral("_NET_WM_NAME")});
    xprop.waitForFinished();
    const QString said = QString::fromUtf8(xprop.readAllStandardOutput()).trimmed();  // an empty title unquoted
    const auto title = QRegularExpression(QStringLiteral("^_NET_WM_NAME =(?: \"(.*)\")?$")).match(said);
    return title.hasMatch() ? title.captured(1) : said;
}

// Answers the next modal message box with `button` once it appears. `box` holds what it showed: text, title, title on
// screen, Yes and No captions; with `putAwayFirst`, Escape and the frame's close are tried first, and "stayed" or
// "went" is added; before them, what `whileOpen` tells.
struct Answer {
    QStringList box;
    QTimer poll;
    explicit Answer(QMessageBox::StandardButton button, bool putAwayFirst = false, std::function<QStringList()> whileOpen = {})
    {
        poll.callOnTimeout([this, button, putAwayFirst, whileOpen] {
            auto *shown = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
            if (!shown)
                return;
            poll.stop();
            box << shown->text() << shown->windowTitle() << SystemTitle(shown) << shown->button(QMessageBox::Yes)->text()
                << shown->button(QMessageBox::No)->text() << (whileOpen ? whileOpen() : QStringList());
            if (putAwayFirst) {
                QTest::keyClick(shown, Qt::Key_Escape);
                if (QApplication::activeModalWidget() == shown)
                    shown->close();
                const bool stayed = QApplication::activeModalWidget() == shown && shown->isVisible();
                box << (stayed ? QStringLiteral("stayed") : QStringLiteral("went"));
                if (!stayed)
                    return;  // it took the putting away as its answer
            }
            shown->button(button)->click();
        });
        poll.start(5);
    }
};

template <typename T = QWidget>
T *Find(QWidget *window, const QString &name)
{
    T *found = window ? window->findChild<T *>(name) : nullptr;
    if (!found)
        qFatal("no element %s", qPrintable(name));
    return found;
}

inline QString Caption(QWidget *window, const QString &name)
{
    return Find<TextLabel>(window, name)->text();
}

// The captions of one element of each player's panel, `pattern` holding %1.
inline QStringList Captions(QWidget *window, const QString &pattern)
{
    QStringList captions;
    for (int i = 0; i < MaxPlayers; ++i)
        captions << Caption(window, pattern.arg(i));
    return captions;
}

struct Game {
    LoadedDie die;
    Session session{QStringLiteral("/nonexistent/kira.mid"), &die};

    // A new game each time: a game kept by the one before is not offered.
    explicit Game(std::chrono::milliseconds unit = 0ms, bool offerKept = false)
    {
        session.Player().SetUnit(unit);
        session.Start(offerKept);
    }
    // On the board at once, `humans` people chosen (0: none, one by default).
    explicit Game(int humans, std::chrono::milliseconds unit = 0ms)
        : Game(unit)
    {
        if (humans > 0)
            ChooseHumans(humans);
        Begin();
    }
    QWidget *Selection() { return session.Selection(); }
    Form1 *Board() { return session.Board(); }
    void ChooseHumans(int n)
    {
        auto *list = Find<QListWidget>(Selection(), QStringLiteral("List1"));
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, list->visualItemRect(list->item(n - 1)).center());
    }
    void Begin()
    {
        QTest::mouseClick(Find<QPushButton>(Selection(), QStringLiteral("Command1")), Qt::LeftButton);
        QVERIFY(!Selection() || Selection()->isHidden());  // gone from the screen at once
        QVERIFY(Board());
        QVERIFY(QTest::qWaitForWindowExposed(Board()));
    }
    QPushButton *Button(const char *name) { return Find<QPushButton>(Board(), QString::fromUtf8(name)); }
    void Click(const char *name) { QTest::mouseClick(Button(name), Qt::LeftButton); }
    bool Busy() { return session.Player().Busy(); }
    void WaitUntilStill() { QTRY_VERIFY_WITH_TIMEOUT(!Busy(), 20000); }
    // The current player rolls and sees `face`; a turn also stops on it.
    void Roll(int face)
    {
        die.face = face;
        Click("Command1");
        QTRY_COMPARE(Caption(Board(), QStringLiteral("Label6")), QString::number(face));
    }
    void Turn(int face)
    {
        Roll(face);
        Click("Command2");
        WaitUntilStill();
    }
    // Player `winner` holds 2600 ryō and a round of 1s is played: the winner window comes up (null if it did not).
    QWidget *PlayRoundWonBy(int winner)
    {
        Board()->Rules().Players[winner].Money = 2600;
        for (int p = 1; p <= MaxPlayers; ++p)
            Turn(1);
        return session.Winner();
    }
};

// The game's files are written by a worker, which may wait on a busy disk's sync.
inline constexpr int DiskWaitMs = 30000;

// Where a game is kept between runs.
inline QString KeptPath()
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) + QStringLiteral("/kiramoku/saved-game.json");
}

// The program ends when no window of it is left on screen.
inline bool NoWindowLeft()
{
    const QWidgetList windows = QApplication::topLevelWidgets();
    return std::none_of(windows.begin(), windows.end(), [](QWidget *w) { return w->isVisible(); });
}

// Calls f(x, y) for every pixel of `r`, row by row.
inline void EachPixel(const QRect &r, const std::function<void(int, int)> &f)
{
    for (int y = r.top(); y <= r.bottom(); ++y)
        for (int x = r.left(); x <= r.right(); ++x)
            f(x, y);
}

// Twips as logical pixels: 15 twips make one.
inline int Px(int twips)
{
    return qRound(twips / 15.0);
}

// A 0x00BBGGRR colour, or the desktop's tooltip background.
inline QColor Colour(quint32 bgr)
{
    return bgr == expected::TooltipColour ? QGuiApplication::palette().color(QPalette::ToolTipBase)
                                          : QColor(int(bgr & 0xFF), int((bgr >> 8) & 0xFF), int((bgr >> 16) & 0xFF));
}

// Every element of the hand-written table stands where it says, in logical pixels (only the corner of one sized to its
// text); the board's squares too, and each join of the ring, spanning its two ends with the line's 5 px (75 twips)
// round them.
inline void CheckPlaces(QWidget *window, const expected::Window &want)
{
    QStringList seen, wanted;
    const auto add = [&](const QString &name, int left, int top, int width, int height) {
        const QWidget *element = Find(window, name);
        const QRect at = element->geometry();
        // Sized to its text: the caption's extent in its font, breaking only at its own line breaks, 2 px either side.
        const QSize size = width ? QSize(Px(width), Px(height)) : QFontMetrics(element->font()).size(0, element->property("text").toString()) + QSize(4, 0);
        seen << name + QStringLiteral(" at %1,%2 %3x%4").arg(at.x()).arg(at.y()).arg(at.width()).arg(at.height());
        wanted << name + QStringLiteral(" at %1,%2 %3x%4").arg(Px(left)).arg(Px(top)).arg(size.width()).arg(size.height());
    };
    for (const expected::Element &e : want.elements)
        add(QString::fromUtf8(e.name), e.left, e.top, e.width, e.height);
    for (int k = 0; &want == &expected::Board && k < int(expected::Squares.size()); ++k) {
        const expected::Square &s = expected::Squares[std::size_t(k)];
        add(QStringLiteral("Image1(%1)").arg(k), s.left, s.top, s.width, s.height);
    }
    for (int i = 0; &want == &expected::Board && i < int(std::size(expected::Lines)); ++i) {
        const expected::Join &j = expected::Lines[i];
        add(QStringLiteral("Line1(%1)").arg(i), std::min(j.x1, j.x2) - 75, std::min(j.y1, j.y2) - 75,
            std::abs(j.x2 - j.x1) + 150, std::abs(j.y2 - j.y1) + 150);
    }
    QCOMPARE(seen, wanted);
}

}  // namespace kiramoku::test
