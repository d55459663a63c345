#include "windowlook.h"

#include "layout.h"

#include <QApplication>
#include <QFont>
#include <QIcon>
#include <QLibraryInfo>
#include <QScreen>
#include <QStyleFactory>
#include <QTranslator>
#include <QWidget>

#include <xcb/xcb.h>

#include <cstdlib>

// The pictures live in this static library: their resource must be registered by name, or the linker drops it.
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
    // No display name: X11 would add it to every window's title ("設定画面 — …") and put it on the untitled ones. The
    // window class and the launcher's name below keep the windows grouped under the game's icon.
    QApplication::setApplicationName(QStringLiteral("kiramoku"));
    QApplication::setApplicationVersion(QStringLiteral("1.00"));
    // The launcher's name without ".desktop": docks and task switchers find the game's icon and name through it.
    QGuiApplication::setDesktopFileName(QStringLiteral("io.github.kiramoku.Kiramoku"));
    // One look on every desktop: the buttons' own colours need a style that paints them.
    QApplication::setStyle(QStyleFactory::create(QStringLiteral("Fusion")));
    QApplication::setWindowIcon(QIcon(QStringLiteral(":/pictures/icon.svg")));
    InstallFontSubstitutes();
    InstallQtTranslation();
}

void InstallQtTranslation()
{
    // Qt's own words (the question boxes' buttons, the name boxes' menu) in Japanese whatever the user's locale, like
    // every other text of the game.
    auto *translator = new QTranslator(QCoreApplication::instance());
    if (translator->load(QStringLiteral("qtbase_ja"), QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        QCoreApplication::installTranslator(translator);
    else
        delete translator;  // the question boxes fall back to their own captions
}

void SetWindowTitleExactly(QWidget *window, const QString &title)
{
    window->setWindowTitle(title);
    // On X11, Qt shows an untitled window under the application's name; the game's untitled windows stay untitled in
    // the title bar too. (The older WM_NAME Qt writes from the title itself, with nothing added.)
    auto *x11 = qApp->nativeInterface<QNativeInterface::QX11Application>();
    if (!x11 || QGuiApplication::platformName() != QLatin1String("xcb"))
        return;
    xcb_connection_t *connection = x11->connection();
    const auto id = static_cast<xcb_window_t>(window->winId());
    const QByteArray utf8 = title.toUtf8();
    const auto intern = [connection](const QByteArray &name) {
        xcb_intern_atom_reply_t *reply = xcb_intern_atom_reply(
            connection, xcb_intern_atom(connection, 0, static_cast<uint16_t>(name.size()), name.constData()), nullptr);
        const xcb_atom_t atom = reply ? reply->atom : xcb_atom_t(XCB_ATOM_NONE);
        std::free(reply);
        return atom;
    };
    const xcb_atom_t netWmName = intern("_NET_WM_NAME"), utf8String = intern("UTF8_STRING");
    if (netWmName != XCB_ATOM_NONE && utf8String != XCB_ATOM_NONE)
        xcb_change_property(connection, XCB_PROP_MODE_REPLACE, id, netWmName, utf8String, 8, uint32_t(utf8.size()), utf8.constData());
    xcb_flush(connection);
}

void InstallFontSubstitutes()
{
    [[maybe_unused]] static const bool installed = [] {
        InitPictures();
        QFont::insertSubstitution(QStringLiteral("ＭＳ Ｐゴシック"), QStringLiteral("IPAPGothic"));
        QFont::insertSubstitution(QStringLiteral("ＭＳ Ｐ明朝"), QStringLiteral("IPAPMincho"));
        return true;
    }();
}

void SetUpWindow(QWidget *window, const char *name, const QString &title, int widthTwips, int heightTwips, quint32 colour)
{
    window->setObjectName(QString::fromLatin1(name));
    window->setAttribute(Qt::WA_DeleteOnClose);
    InstallFontSubstitutes();
    SetWindowTitleExactly(window, title);
    window->setFixedSize(Pixels(widthTwips), Pixels(heightTwips));
    QPalette palette = window->palette();
    palette.setColor(QPalette::Window, ColourOf(colour));
    window->setPalette(palette);
    window->setAutoFillBackground(true);
    QFont font(QStringLiteral("ＭＳ Ｐゴシック"));
    font.setPointSizeF(DefaultPoints);
    window->setFont(font);
}

void PlaceOnPrimaryScreen(QWidget *window, int leftTwips, int topTwips)
{
    // The geometry, unlike move(), places the client area and not the frame around it; on X11 the window manager keeps
    // the client where it is put.
    const QPoint origin = QGuiApplication::primaryScreen()->geometry().topLeft();
    window->setGeometry(QRect(origin + QPoint(Pixels(leftTwips), Pixels(topTwips)), window->size()));
}

}  // namespace kiramoku::screens
