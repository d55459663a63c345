#include "layout.h"

#include "constants.h"
#include "elements.h"
#include "squares.h"

#include <QLineEdit>
#include <QListWidget>

#include <limits>
#include <ranges>

namespace kiramoku::screens {

namespace {

QFont FontOf(const QWidget *window, const Element &e)
{
    QFont font = window->font();
    if (e.face != Face::Default) {
        font = QFont(e.face == Face::Gothic ? QStringLiteral("ＭＳ Ｐゴシック") : QStringLiteral("ＭＳ Ｐ明朝"));
        font.setBold(true);
    }
    if (e.points > 0)
        font.setPointSizeF(e.points);
    return font;
}

Qt::Alignment AlignmentOf(const Element &e)
{
    if (e.style & AlignRight)
        return Qt::AlignRight;
    if (e.style & AlignCenter)
        return Qt::AlignHCenter;
    return Qt::AlignLeft;
}

// A table's text or picture name; nullptr is none.
QString Utf8(const char *text)
{
    return text ? QString::fromUtf8(text) : QString();
}

QWidget *Create(QWidget *window, const Element &e)
{
    switch (e.kind) {
    case Kind::Picture:
    case Kind::Square:
        return new Picture(window, Utf8(e.picture), e.style & Stretched);
    case Kind::Label: {
        auto *label = new TextLabel(window, e.style & SizedToText, e.style & Framed, ColourOf(e.colour));
        label->setAlignment(AlignmentOf(e));
        return label;
    }
    case Kind::Shape:
    case Kind::RoundedShape:
        return new Shape(window, ColourOf(e.colour), e.border, e.kind == Kind::RoundedShape);
    case Kind::Line:
        return new Line(window, QPointF(e.left, e.top) / TwipsPerPixel, QPointF(e.width, e.height) / TwipsPerPixel,
                        e.border);
    case Kind::Button:
        return new CaptionButton(window, Utf8(e.text), Utf8(e.picture), ColourOf(e.colour));
    case Kind::ListBox: {
        auto *list = new ChoiceList(window);
        list->addItems(Utf8(e.text).split(QLatin1Char('|')));
        return list;
    }
    case Kind::TextBox: {
        auto *box = new QLineEdit(Utf8(e.text), window);
        box->setMaxLength(std::numeric_limits<int>::max());  // a name may be of any length
        return box;
    }
    }
    return nullptr;
}

// What assistive technologies are told about the elements a player needs, where the element's own caption does not say
// it: a picture button, a bare number, whose panel a caption belongs to, a square. In `name` and `description`, "{n}"
// is the player's number (the element's index + 1) and "{i}" the index itself (a square's number). A label's name is a
// spoken form, "%1" standing for its caption as it changes; in a picture's name "%1" is what the picture has written on
// it. nullptr leaves the caption (or a button's text) as the name.
struct Spoken {
    const char *window;   // the window's object name
    const char *element;  // the element's name without its index
    const char *name;
    const char *description;
};

// clang-format off
constexpr Spoken SpokenElements[] = {
    // The board.
    {"Form1", "Command1", nullptr,                      "さいころを転がし始めます"},
    {"Form1", "Command2", nullptr,                      "さいころを止めて、出た目の数だけこまを進めます"},
    {"Form1", "Command3", nullptr,                      "双六をやめて、ゲームを終わります"},
    {"Form1", "Label1",   nullptr,                      "だれの番かのお知らせ"},
    {"Form1", "Label6",   "さいころの目 %1",            "いま出ているさいころの目"},
    {"Form1", "Label2",   nullptr,                      "プレイヤー{n}の名前"},
    {"Form1", "Label3",   "プレイヤー{n}の所持金 %1両", "プレイヤー{n}の持っている両"},
    {"Form1", "Label5",   nullptr,                      "プレイヤー{n}が止まったマスでのひとこと"},
    {"Form1", "Image2",   "プレイヤー{n}の顔",          "プレイヤー{n}の若旦那"},
    {"Form1", "Image4",   "プレイヤー{n}のこま",        "盤の上のプレイヤー{n}の位置"},
    {"Form1", "Image1",   "{i}マス目 %1",              "こまの止まるマス"},
    // The selection.
    {"Form2", "List1",    "参加人数",                   "人が遊ぶ若旦那の数を選びます。残りはコンピューターが遊びます"},
    {"Form2", "Text1",    "プレイヤー{n}の名前",        "若旦那の名前を入れます"},
    {"Form2", "Command1", nullptr,                      "この人数と名前で双六を始めます"},
    // The winner.
    {"Form3", "Label1",   nullptr,                      "勝った人へのお祝い"},
    {"Form3", "Command1", "もう一回やる？",             "もう一回遊ぶかどうかを聞きます"},
};
// clang-format on

const Spoken *SpokenFor(const QWidget *window, const Element &e)
{
    const QByteArray windowName = window->objectName().toUtf8();
    for (const Spoken &s : SpokenElements)
        if (windowName == s.window && qstrcmp(e.name, s.element) == 0)
            return &s;
    return nullptr;
}

void Describe(QWidget *window, const Element &e, QWidget *widget)
{
    const Spoken *spoken = SpokenFor(window, e);
    if (!spoken)
        return;
    const auto fill = [&e](const char *text) {
        return Utf8(text).replace(QStringLiteral("{n}"), QString::number(e.index + 1)).replace(QStringLiteral("{i}"), QString::number(e.index));
    };
    widget->setAccessibleDescription(fill(spoken->description));
    if (!spoken->name)
        return;
    const QString name = fill(spoken->name);
    if (auto *label = qobject_cast<TextLabel *>(widget))
        label->SetSpokenForm(name);
    else
        widget->setAccessibleName(name.contains(QStringLiteral("%1")) ? name.arg(Utf8(e.text)) : name);
}

QRect Geometry(const Element &e)
{
    const bool square = e.kind == Kind::Square;
    const int left = square ? SquareAt(e.index).Left : e.left, top = square ? SquareAt(e.index).Top : e.top;
    return {Pixels(left), Pixels(top), Pixels(e.width), Pixels(e.height)};
}

}  // namespace

QColor ColourOf(quint32 bgr)
{
    if (bgr == Transparent)
        return {};
    if (bgr == Tooltip)
        return QPalette().color(QPalette::ToolTipBase);
    return QColor(int(bgr & 0xFF), int((bgr >> 8) & 0xFF), int((bgr >> 16) & 0xFF));
}

int Pixels(int twips)
{
    return (twips + TwipsPerPixel / 2 * (twips < 0 ? -1 : 1)) / TwipsPerPixel;
}

QString ElementName(const char *name, int index)
{
    const QString base = QString::fromUtf8(name);
    return index == NoIndex ? base : QStringLiteral("%1(%2)").arg(base).arg(index);
}

QString ElementName(const Element &e)
{
    return ElementName(e.name, e.index);
}

void BuildElements(QWidget *window, std::span<const Element> table)
{
    // Later siblings are drawn over earlier ones: create from the back.
    for (const Element &e : std::views::reverse(table)) {
        QWidget *widget = Create(window, e);
        widget->setObjectName(ElementName(e));
        if (e.kind != Kind::Line)
            widget->setGeometry(Geometry(e));
        widget->setFont(FontOf(window, e));
        if (auto *label = qobject_cast<TextLabel *>(widget))
            label->SetCaption(Utf8(e.text));
        Describe(window, e, widget);
        widget->setEnabled(!(e.style & Disabled));
        widget->setVisible(!(e.style & Hidden));
    }
}

}  // namespace kiramoku::screens
