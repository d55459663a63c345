#pragma once
// A window as data: one row per element, front to back as the window stacks them. One builder turns a table into
// widgets.
#include "programerror.h"

#include <QString>
#include <QWidget>
#include <QtGlobal>

#include <span>

class QColor;

namespace kiramoku::screens {

enum class Kind {
    Picture,  // an SVG picture, stretched or at its own size
    Square,   // a board square's picture; its corner comes from the square table
    Label,
    Shape,         // filled rectangle with a black border
    RoundedShape,  // filled rounded rectangle with a black border
    Line,          // black line; Left, Top, Width, Height hold X1, Y1, X2, Y2
    Button,
    ListBox,
    TextBox,
};

// Colours are 0x00BBGGRR; two special values stand for the desktop's tooltip background and for no background at all.
inline constexpr quint32 Tooltip = 0xFF000001;
inline constexpr quint32 Transparent = 0xFF000002;

enum class Face { Default,
                  Gothic,
                  Mincho };

enum Style : unsigned {
    Plain = 0,
    Framed = 1u << 0,
    AlignRight = 1u << 1,
    AlignCenter = 1u << 2,
    SizedToText = 1u << 3,  // the label grows with its caption
    Stretched = 1u << 4,    // the picture fills its rectangle
    Disabled = 1u << 5,
    Hidden = 1u << 6,
    Graphical = 1u << 7,  // a button drawn with its own colour
};

struct Element {
    Kind kind;
    const char *name;
    int index;                     // member of an element array, or NoIndex
    int left, top, width, height;  // twips
    quint32 colour;                // background or fill
    Face face;
    double points;  // font size; 0 for the window's own
    const char *text;
    const char *picture;  // resource name under :/pictures/, or nullptr
    unsigned style;
    int border;  // pixels: shape border or line width
};

inline constexpr int NoIndex = -1;

// "Label2(0)" for array members, "Label6" otherwise.
QString ElementName(const char *name, int index = NoIndex);
QString ElementName(const Element &e);

// Builds every element of `table` on `window`, back to front, so the first row ends up in front. Twips become logical
// pixels (15 twips each).
void BuildElements(QWidget *window, std::span<const Element> table);

// The element named `name` that the builder put on the board window; a board without it was built wrong, which stops
// the game with its name.
template <typename T = QWidget>
T *BoardElement(QWidget *window, const QString &name)
{
    T *element = window->findChild<T *>(name, Qt::FindDirectChildrenOnly);
    if (!element)
        throw ProgramError("board element missing: " + name.toStdString());
    return element;
}

int Pixels(int twips);

// A 0x00BBGGRR colour, or the special Tooltip and Transparent (invalid) values.
QColor ColourOf(quint32 bgr);

}  // namespace kiramoku::screens
