// きらもく: starts with the selection window; ends when the last window is unloaded.
#include "commandline.h"
#include "desktop.h"
#include "leftbehind.h"
#include "mmcontrol.h"
#include "musicchoice.h"
#include "onegame.h"
#include "oneheap.h"
#include "session.h"
#include "windowlook.h"

#include <QApplication>

int main(int argc, char *argv[])
{
    kiramoku::UseOneHeap();
    const kiramoku::CommandLine commandLine = kiramoku::ReadCommandLine(argc, argv);
    if (commandLine.exitStatus)
        return *commandLine.exitStatus;
    if (!kiramoku::DesktopNamed(commandLine))
        return kiramoku::ReportNoDesktop();

    const std::unique_ptr<QApplication> application = kiramoku::OpenDesktop(argc, argv, commandLine);
    kiramoku::screens::SetUpApplication();
    // Before anything reads or writes the player's files: a second start
    // brings the running game forward and ends there.
    kiramoku::OneGame oneGame;
    if (!oneGame.Claim())
        return 0;
    kiramoku::ApplyMusicOption(commandLine.noMusic);
    int status = 0;
    {
        kiramoku::screens::Session session(kiramoku::FindTuneFile());
        oneGame.BringForwardOnRequest([&session] {
            return QList<QWidget *>{session.Winner(), session.Board(), session.Selection()};
        });
        session.Start(!commandLine.newGame);
        status = QApplication::exec();
    }
    // The music choice is written by a worker; a process that ends at once
    // below would not wait for its last write.
    constexpr std::chrono::seconds LastChoiceWait{2};
    kiramoku::MusicChoiceSettled(LastChoiceWait);
    // A sound server that hangs may hold a thread of ours: then the process
    // ends here, at once, rather than wait for it or run down under it.
    return kiramoku::FinishProcess(status);
}
