#include "windowlook.h"

#include "layout.h"

#include <QApplication>
#include <QFont>
#include <QIcon>
#include <QStyleFactory>
#include <QWidget>

// The pictures live in this static library: their resource must be
// registered by name, or the linker drops it.
static void InitPictures()
{
    Q_INIT_RESOURCE(pictures);
}

namespace kiramoku::screens {

namespace {
constexpr double DefaultPoints = 9;  // the controls without a font of their own
}

void SetUpApplication()
{
    QApplication::setApplicationName(QStringLiteral("kiramoku"));
    QApplication::setApplicationDisplayName(QStringLiteral("きらもく"));
    QApplication::setApplicationVersion(QStringLiteral("1.00"));
    // The launcher's name without ".desktop": docks and task switchers find
    // the game's icon and name through it.
    QGuiApplication::setDesktopFileName(QStringLiteral("io.github.kiramoku.Kiramoku"));
    // One look on every desktop: the buttons' own colours need a style that paints them.
    QApplication::setStyle(QStyleFactory::create(QStringLiteral("Fusion")));
    QApplication::setWindowIcon(QIcon(QStringLiteral(":/pictures/icon.svg")));
    InstallFontSubstitutes();
}

void InstallFontSubstitutes()
{
    static const bool installed = [] {
        InitPictures();
        const QString gothic = QStringLiteral("IPAPGothic");
        const QString mincho = QStringLiteral("IPAPMincho");
        QFont::insertSubstitution(QStringLiteral("ＭＳ Ｐゴシック"), gothic);
        QFont::insertSubstitution(QStringLiteral("MS PGothic"), gothic);
        QFont::insertSubstitution(QStringLiteral("ＭＳ Ｐ明朝"), mincho);
        QFont::insertSubstitution(QStringLiteral("MS PMincho"), mincho);
        return true;
    }();
    Q_UNUSED(installed);
}

void SetUpWindow(QWidget *window, const QString &title, int widthTwips, int heightTwips, quint32 colour)
{
    InstallFontSubstitutes();
    window->setWindowTitle(title);
    window->setFixedSize(Pixels(widthTwips), Pixels(heightTwips));
    QPalette palette = window->palette();
    palette.setColor(QPalette::Window, ColourOf(colour));
    window->setPalette(palette);
    window->setAutoFillBackground(true);
    QFont font(QStringLiteral("ＭＳ Ｐゴシック"));
    font.setPointSizeF(DefaultPoints);
    window->setFont(font);
}

} // namespace kiramoku::screens
