#pragma once
// What every window of the game shares: fixed client area, colour, fonts.
#include <QString>
#include <QtGlobal>

class QWidget;

namespace kiramoku::screens {

// The application's names, version, style and icon, before any window.
void SetUpApplication();

// The Japanese faces the windows ask for by name, mapped to the IPA fonts.
void InstallFontSubstitutes();

// Qt's own translation of its standard texts into Japanese, when installed.
void InstallQtTranslation();

// The window's title as the window system shows it: exactly `title`, with nothing added, and nothing at all for an
// empty one.
void SetWindowTitleExactly(QWidget *window, const QString &title);

// The object name, the title, a fixed client area given in twips, the background colour (0x00BBGGRR); the window is
// deleted once closed.
void SetUpWindow(QWidget *window, const char *name, const QString &title, int widthTwips, int heightTwips, quint32 colour);

// Opens the window with its client area's top-left corner at this place on the primary screen, in twips, where the
// window system lets a program choose.
void PlaceOnPrimaryScreen(QWidget *window, int leftTwips, int topTwips);

}  // namespace kiramoku::screens
