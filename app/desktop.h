// Whether the game can open its windows. Without a window system Qt's
// platform plugin aborts the program with a core dump; the game says in one
// line what it needs instead and ends with status 1.
#pragma once

#include "commandline.h"

#include <QApplication>

#include <memory>

namespace kiramoku {

constexpr int NoDesktopStatus = 1;

// True when a window system was chosen (QT_QPA_PLATFORM or -platform; the
// tests choose offscreen) or an X11 or Wayland display is named.
bool DesktopNamed(const CommandLine &commandLine);

// Prints the one line for a terminal without a desktop; returns NoDesktopStatus.
int ReportNoDesktop();

// The application object. A display that is named but cannot be reached
// ends the program with the same one line and status, not a core dump; a
// window system chosen by name that cannot be reached, with Qt's reason and
// a line of the game's own. Whatever else Qt says while connecting is passed
// on once it has connected. With no session bus about, none is launched that
// would outlive the game.
std::unique_ptr<QApplication> OpenDesktop(int &argc, char *argv[], const CommandLine &commandLine);

}  // namespace kiramoku
