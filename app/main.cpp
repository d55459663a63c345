// きらもく: starts with the selection window; ends when the last window is unloaded.
#include "commandline.h"
#include "desktop.h"
#include "mmcontrol.h"
#include "musicchoice.h"
#include "session.h"
#include "windowlook.h"

#include <QApplication>

int main(int argc, char *argv[])
{
    const kiramoku::CommandLine commandLine = kiramoku::ReadCommandLine(argc, argv);
    if (commandLine.exitStatus)
        return *commandLine.exitStatus;
    if (!kiramoku::DesktopNamed(commandLine))
        return kiramoku::ReportNoDesktop();

    const std::unique_ptr<QApplication> application = kiramoku::OpenDesktop(argc, argv);
    kiramoku::screens::SetUpApplication();
    kiramoku::ApplyMusicOption(commandLine.noMusic);
    kiramoku::screens::Session session(kiramoku::FindTuneFile());
    session.Start();
    return QApplication::exec();
}
