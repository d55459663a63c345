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
    switch (e.face) {
    case Face::Default:
        break;
    case Face::Gothic:
        font = QFont(QStringLiteral("ＭＳ Ｐゴシック"));
        font.setBold(true);
        break;
    case Face::Mincho:
        font = QFont(QStringLiteral("ＭＳ Ｐ明朝"));
        font.setBold(true);
        break;
    }
    if (e.points > 0) {
        font.setPointSizeF(e.points);
    }
    return font;
}

Qt::Alignment AlignmentOf(const Element &e)
{
    if (e.style & AlignRight) {
        return Qt::AlignRight;
    }
    if (e.style & AlignCenter) {
        return Qt::AlignHCenter;
    }
    return Qt::AlignLeft;
}

QString Text(const Element &e)
{
    return e.text ? QString::fromUtf8(e.text) : QString();
}

QString PictureName(const Element &e)
{
    return e.picture ? QString::fromUtf8(e.picture) : QString();
}

QWidget *Create(QWidget *window, const Element &e)
{
    switch (e.kind) {
    case Kind::Picture:
    case Kind::Square:
        return new Picture(window, PictureName(e), e.style & Stretched);
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
        return new CaptionButton(window, Text(e), PictureName(e), ColourOf(e.colour));
    case Kind::ListBox: {
        auto *list = new QListWidget(window);
        list->addItems(Text(e).split(QLatin1Char('|')));
        return list;
    }
    case Kind::TextBox: {
        auto *box = new QLineEdit(Text(e), window);
        box->setMaxLength(std::numeric_limits<int>::max());  // a name may be of any length
        return box;
    }
    }
    return nullptr;
}

QRect Geometry(const Element &e)
{
    if (e.kind == Kind::Square) {
        const Square &square = SquareAt(e.index);
        return {Pixels(square.Left), Pixels(square.Top), Pixels(e.width), Pixels(e.height)};
    }
    return {Pixels(e.left), Pixels(e.top), Pixels(e.width), Pixels(e.height)};
}

} // namespace

QColor ColourOf(quint32 bgr)
{
    if (bgr == Transparent) {
        return {};
    }
    if (bgr == Tooltip) {
        return QPalette().color(QPalette::ToolTipBase);
    }
    return QColor(int(bgr & 0xFF), int((bgr >> 8) & 0xFF), int((bgr >> 16) & 0xFF));
}

int Pixels(int twips)
{
    return (twips + TwipsPerPixel / 2 * (twips < 0 ? -1 : 1)) / TwipsPerPixel;
}

QString ElementName(const Element &e)
{
    const QString name = QString::fromUtf8(e.name);
    return e.index == NoIndex ? name : QStringLiteral("%1(%2)").arg(name).arg(e.index);
}

void BuildElements(QWidget *window, std::span<const Element> table)
{
    // Later siblings are drawn over earlier ones: create from the back.
    for (const Element &e : std::views::reverse(table)) {
        QWidget *widget = Create(window, e);
        widget->setObjectName(ElementName(e));
        if (e.kind != Kind::Line) {
            widget->setGeometry(Geometry(e));
        }
        widget->setFont(FontOf(window, e));
        if (auto *label = qobject_cast<TextLabel *>(widget)) {
            label->SetCaption(Text(e));
        }
        widget->setEnabled(!(e.style & Disabled));
        widget->setVisible(!(e.style & Hidden));
    }
}

} // namespace kiramoku::screens
