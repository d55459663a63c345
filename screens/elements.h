#pragma once
// The kinds of element a window is built from.
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QWidget>

class QSvgRenderer;

namespace kiramoku::screens {

// The renderer of a picture under :/pictures/, loaded once per run.
QSvgRenderer *PictureRenderer(const QString &name);
// That picture drawn at `size` (logical pixels) for a screen of `ratio`.
QPixmap PictureAt(const QString &name, QSize size, qreal ratio);

// A caption that is always plain text: whatever a player typed shows exactly as typed. Text breaks at the label's width
// (between any two characters of Japanese, at spaces or anywhere in a long word otherwise) and what does not fit is cut
// off; a label sized to its text grows instead.
class TextLabel : public QLabel {
    Q_OBJECT
public:
    TextLabel(QWidget *parent, bool sizedToText, bool framed, const QColor &background);
    void SetCaption(const QString &text);
    // What a screen reader reads for the label, kept up with every caption: `form` with "%1" standing for the caption
    // ("さいころの目 %1"); with no caption, only the words before "%1". An empty form (the default) reads the caption
    // alone.
    void SetSpokenForm(const QString &form);

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    QString shown() const;
    void updateSpokenName();
    bool sizedToText_;
    bool framed_;
    QColor background_;  // invalid: transparent
    QString spokenForm_;
};

// A picture drawn from its vector source at the screen's full resolution. Assistive technologies see it as a graphic,
// named by its accessible name.
class Picture : public QWidget {
    Q_OBJECT
public:
    Picture(QWidget *parent, const QString &picture, bool stretched);

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    QString picture_;
    bool stretched_;
};

// A filled rectangle, square-cornered or rounded, with a black border.
class Shape : public QWidget {
    Q_OBJECT
public:
    Shape(QWidget *parent, const QColor &fill, int border, bool rounded);

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    QColor fill_;
    int border_;
    bool rounded_;
};

// A straight black line between two points of the window.
class Line : public QWidget {
    Q_OBJECT
public:
    Line(QWidget *parent, QPointF from, QPointF to, int width);

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    QPointF from_;
    QPointF to_;
    int width_;
};

// A push button painted flat in exactly its own colour, with a bevel that sinks while it is pressed, a dotted focus
// mark, an optional picture above the caption, and a caption that breaks over two lines when it is too wide. Disabled,
// it keeps its colour and its caption is greyed and embossed. Space and Enter press it when it has the focus.
class CaptionButton : public QPushButton {
    Q_OBJECT
public:
    CaptionButton(QWidget *parent, const QString &caption, const QString &picture, const QColor &colour);

    static constexpr int BevelWidth = 2;  // px of light and shadow round the face
    static constexpr int FocusInset = 4;  // px from the edge to the focus mark

protected:
    void paintEvent(QPaintEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;

private:
    void PaintBevel(QPainter &painter, bool sunken) const;
    void PaintCaption(QPainter &painter, const QRectF &area) const;

    QString picture_;
    QColor colour_;
};

// A list of which one entry is chosen: once an entry is chosen, Ctrl with a click or Space on it does not leave the
// list without a choice.
class ChoiceList : public QListWidget {
    Q_OBJECT
public:
    using QListWidget::QListWidget;

protected:
    QItemSelectionModel::SelectionFlags selectionCommand(const QModelIndex &index,
                                                         const QEvent *event) const override;
};

}  // namespace kiramoku::screens
