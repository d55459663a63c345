#include "guard.h"

#include <QApplication>
#include <QMessageBox>

#include <cstdio>
#include <cstdlib>

namespace kiramoku::screens {

void StopOnProgramError(const char *what)
{
    std::fprintf(stderr, "kiramoku: program error: %s\n", what);
    std::fflush(stderr);
    // Headless runs have no one to read a box.
    if (qobject_cast<QApplication *>(QCoreApplication::instance())
        && QGuiApplication::platformName() != QLatin1String("offscreen")) {
        QMessageBox box(QMessageBox::Critical, QStringLiteral("きらもく"),
                        QStringLiteral("プログラムの誤りで終了します。\n") + QString::fromUtf8(what));
        box.setTextFormat(Qt::PlainText);
        box.exec();
    }
    // The music's and the beep's threads are running: end here, without the static destructors that would run under
    // them.
    std::fflush(nullptr);
    std::_Exit(ProgramErrorExitStatus);
}

}  // namespace kiramoku::screens
