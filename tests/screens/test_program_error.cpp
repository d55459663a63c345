// A click handler whose arithmetic overflows, run from the event loop. The
// program error must stop the game with a message naming what failed and its
// exit status, and the handler never goes on: CTest reads what this prints.
#include "checked.h"
#include "guard.h"

#include <QApplication>
#include <QTimer>

#include <cstdio>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QTimer::singleShot(0, [] {
        kiramoku::screens::Guard([] {
            const kiramoku::Int16 sum = kiramoku::Int16(32767) + 1;
            std::printf("handler returned %d\n", sum.value());
        });
        std::printf("handler returned\n");
        QCoreApplication::quit();
    });
    return QApplication::exec();
}
