// きらもく: starts with the selection window; ends when the last window is unloaded.
#include "mmcontrol.h"
#include "musicchoice.h"
#include "session.h"
#include "windowlook.h"

#include <QApplication>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    kiramoku::screens::SetUpApplication();
    kiramoku::ApplyMusicOption(QApplication::arguments().contains(QStringLiteral("--no-music")));
    kiramoku::screens::Session session(kiramoku::FindTuneFile());
    session.Start();
    return QApplication::exec();
}
