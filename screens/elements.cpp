#include "elements.h"

#include "programerror.h"

#include <QAccessible>
#include <QAccessibleWidget>
#include <QCoreApplication>
#include <QHash>
#include <QKeyEvent>
#include <QPainter>
#include <QPixmap>
#include <QPixmapCache>
#include <QPointer>
#include <QSvgRenderer>
#include <QTextOption>

namespace kiramoku::screens {

namespace {
constexpr int LabelPadding = 2;     // px between a label's frame and its text
constexpr int ButtonPadding = 3;    // px from a button's edge to its picture and caption
constexpr qreal CornerRadius = 14;  // px of a rounded panel's corners

QTextOption WrappingOption(Qt::Alignment alignment)
{
    QTextOption option(alignment);
    option.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    return option;
}

// Qt would present a plain widget as a client area; a picture is a graphic.
QAccessibleInterface *PictureAccessible(const QString &className, QObject *object)
{
    if (className == QLatin1String(Picture::staticMetaObject.className()) && object && object->isWidgetType())
        return new QAccessibleWidget(static_cast<QWidget *>(object), QAccessible::Graphic);
    return nullptr;
}
}  // namespace

QSvgRenderer *PictureRenderer(const QString &name)
{
    // Loaded once and shared by every window; they go with the application.
    static QHash<QString, QPointer<QSvgRenderer>> renderers;
    QPointer<QSvgRenderer> &renderer = renderers[name];
    if (!renderer)
        renderer = new QSvgRenderer(QStringLiteral(":/pictures/") + name, QCoreApplication::instance());
    // The pictures are built into the program: one that does not load is a misspelt name in a window's table, never a
    // player's doing.
    if (!renderer->isValid())
        throw ProgramError("picture missing: " + name.toStdString());
    return renderer;
}

TextLabel::TextLabel(QWidget *parent, bool sizedToText, bool framed, const QColor &background)
    : QLabel(parent), sizedToText_(sizedToText), framed_(framed), background_(background)
{
    setTextFormat(Qt::PlainText);
    // A label with a background covers its whole rectangle: what lies under it need not be drawn again when its text
    // changes (the rolling die).
    setAttribute(Qt::WA_OpaquePaintEvent, background.isValid());
}

void TextLabel::SetCaption(const QString &text)
{
    if (text == this->text())
        return;
    setText(text);
    updateSpokenName();
    if (sizedToText_) {
        // Grows right and down from its corner; lines break only at the caption's own line breaks.
        const QSize extent = fontMetrics().size(0, shown());
        resize(extent.width() + 2 * LabelPadding, extent.height());
    }
}

void TextLabel::SetSpokenForm(const QString &form)
{
    spokenForm_ = form;
    updateSpokenName();
}

void TextLabel::updateSpokenName()
{
    if (spokenForm_.isEmpty())
        return;
    // Setting the name tells assistive technologies that it changed.
    const QString caption = text();
    setAccessibleName(caption.isEmpty() ? spokenForm_.section(QStringLiteral("%1"), 0, 0).trimmed()
                                        : spokenForm_.arg(caption));
}

QString TextLabel::shown() const
{
    return text().replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
}

void TextLabel::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    if (background_.isValid())
        painter.fillRect(rect(), background_);
    QRect inside = rect();
    if (framed_) {
        painter.setPen(QColor(0x40, 0x40, 0x40));
        painter.drawRect(rect().adjusted(0, 0, -1, -1));
        inside.adjust(1, 1, -1, -1);
    }
    painter.setClipRect(inside);
    painter.setPen(palette().color(QPalette::WindowText));
    const QRectF textArea = inside.adjusted(LabelPadding, 0, -LabelPadding, 0);
    if (sizedToText_)
        painter.drawText(textArea, alignment() | Qt::AlignTop, shown());
    else
        painter.drawText(textArea, shown(), WrappingOption(alignment() | Qt::AlignTop));
}

Picture::Picture(QWidget *parent, const QString &picture, bool stretched)
    : QWidget(parent), picture_(picture), stretched_(stretched)
{
    PictureRenderer(picture);
    [[maybe_unused]] static const bool installed = (QAccessible::installFactory(PictureAccessible), true);
}

QPixmap PictureAt(const QString &name, QSize size, qreal ratio)
{
    // Drawn once per picture, size and screen resolution, at full resolution; every later paint (a piece walking over a
    // square repaints it) only copies.
    const QString key = QStringLiteral("kiramoku/%1/%2x%3@%4").arg(name).arg(size.width()).arg(size.height()).arg(ratio);
    QPixmap pixmap;
    if (!QPixmapCache::find(key, &pixmap)) {
        pixmap = QPixmap((QSizeF(size) * ratio).toSize());
        pixmap.setDevicePixelRatio(ratio);
        pixmap.fill(Qt::transparent);
        QPainter painter(&pixmap);
        PictureRenderer(name)->render(&painter, QRectF(QPointF(0, 0), QSizeF(size)));
        painter.end();
        QPixmapCache::insert(key, pixmap);
    }
    return pixmap;
}

void Picture::paintEvent(QPaintEvent *)
{
    const QSize size = stretched_ ? this->size() : PictureRenderer(picture_)->defaultSize();
    QPainter painter(this);
    painter.drawPixmap(QPoint(0, 0), PictureAt(picture_, size, devicePixelRatioF()));
}

Shape::Shape(QWidget *parent, const QColor &fill, int border, bool rounded)
    : QWidget(parent), fill_(fill), border_(border), rounded_(rounded)
{
}

void Shape::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing, rounded_);
    QPen pen(Qt::black, border_);
    pen.setJoinStyle(Qt::MiterJoin);
    painter.setPen(pen);
    painter.setBrush(fill_);
    // The border lies inside the shape's rectangle.
    const qreal half = border_ / 2.0;
    const QRectF box = QRectF(rect()).adjusted(half, half, -half, -half);
    if (rounded_)
        painter.drawRoundedRect(box, CornerRadius, CornerRadius);
    else
        painter.drawRect(box);
}

Line::Line(QWidget *parent, QPointF from, QPointF to, int width)
    : QWidget(parent), width_(width)
{
    const QRectF span = QRectF(from, to).normalized().adjusted(-width, -width, width, width);
    setGeometry(span.toAlignedRect());
    from_ = from - QPointF(geometry().topLeft());
    to_ = to - QPointF(geometry().topLeft());
}

void Line::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.setPen(QPen(Qt::black, width_, Qt::SolidLine, Qt::FlatCap));
    painter.drawLine(from_, to_);
}

CaptionButton::CaptionButton(QWidget *parent, const QString &caption, const QString &picture,
                             const QColor &colour)
    : QPushButton(caption, parent), picture_(picture), colour_(colour)
{
    if (!picture.isEmpty())
        PictureRenderer(picture);
    // The face is painted below; the palette tells assistive technologies its colour.
    QPalette p = palette();
    p.setColor(QPalette::Button, colour);
    setPalette(p);
}

void CaptionButton::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.fillRect(rect(), colour_);
    const bool sunken = isDown() || isChecked();
    PaintBevel(painter, sunken);

    // A pressed face moves down and right with its bevel.
    const int shift = sunken ? 1 : 0;
    QRectF area = QRectF(rect()).adjusted(ButtonPadding + shift, ButtonPadding + shift, -ButtonPadding + shift,
                                          -ButtonPadding + shift);
    if (!picture_.isEmpty()) {
        // At its own size, centred on a face without a caption even where it reaches into the padding.
        const QSize size = PictureRenderer(picture_)->defaultSize();
        const QPoint corner(qRound(area.center().x() - size.width() / 2.0),
                            qRound(text().isEmpty() ? area.center().y() - size.height() / 2.0 : area.top()));
        painter.drawPixmap(corner, PictureAt(picture_, size, devicePixelRatioF()));
        area.setTop(corner.y() + size.height());
    }
    if (!text().isEmpty())
        PaintCaption(painter, area);
    if (hasFocus()) {
        painter.setPen(QPen(Qt::black, 1, Qt::DotLine));
        painter.drawRect(rect().adjusted(FocusInset, FocusInset, -FocusInset - 1, -FocusInset - 1));
    }
}

void CaptionButton::PaintBevel(QPainter &painter, bool sunken) const
{
    // Raised: light above and left, shadow below and right; pressed, the other way round.
    const QColor light[BevelWidth] = {Qt::white, QColor(0xe0, 0xe0, 0xe0)}, dark[BevelWidth] = {Qt::black, QColor(0x80, 0x80, 0x80)};
    for (int i = 0; i < BevelWidth; ++i) {
        const QRect ring = rect().adjusted(i, i, -i, -i);
        painter.setPen(sunken ? dark[i] : light[i]);
        painter.drawLine(ring.topLeft(), ring.topRight());
        painter.drawLine(ring.topLeft(), ring.bottomLeft());
        painter.setPen(sunken ? light[i] : dark[i]);
        painter.drawLine(ring.bottomLeft(), ring.bottomRight());
        painter.drawLine(ring.topRight(), ring.bottomRight());
    }
}

void CaptionButton::PaintCaption(QPainter &painter, const QRectF &area) const
{
    // Measure the wrapped caption and centre the block in what is left.
    const QRectF needed = painter.boundingRect(area, text(), WrappingOption(Qt::AlignHCenter));
    QRectF block = area;
    if (needed.height() < area.height())
        block.setTop(area.top() + (area.height() - needed.height()) / 2);
    const QTextOption option = WrappingOption(Qt::AlignHCenter | Qt::AlignTop);
    if (isEnabled()) {
        painter.setPen(Qt::black);
        painter.drawText(block, text(), option);
        return;
    }
    // Greyed and embossed: a white copy one pixel down and right under the grey.
    painter.setPen(Qt::white);
    painter.drawText(block.translated(1, 1), text(), option);
    painter.setPen(QColor(0x80, 0x80, 0x80));
    painter.drawText(block, text(), option);
}

void CaptionButton::keyPressEvent(QKeyEvent *event)
{
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
        if (isEnabled())
            click();
        return;
    }
    QPushButton::keyPressEvent(event);
}

QItemSelectionModel::SelectionFlags ChoiceList::selectionCommand(const QModelIndex &index,
                                                                 const QEvent *event) const
{
    const QItemSelectionModel::SelectionFlags flags = QListWidget::selectionCommand(index, event);
    return flags.testFlag(QItemSelectionModel::Deselect) ? QItemSelectionModel::NoUpdate : flags;
}

}  // namespace kiramoku::screens
