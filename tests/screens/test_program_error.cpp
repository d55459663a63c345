// A program error inside a window's handler stops the game with a message
// naming what failed and a non-zero exit status; it never reaches the event loop.
#include "checked.h"
#include "guard.h"
#include "windowlook.h"

#include <QApplication>
#include <QProcess>
#include <QTimer>
#include <QtTest>

using namespace kiramoku;

namespace {
const char *const FailingRun = "--fail-inside-a-handler";
}

class TestProgramError : public QObject {
    Q_OBJECT

private slots:
    void anOverflowInAHandlerStopsTheGameWithItsMessage()
    {
        QProcess child;
        child.setProgram(QCoreApplication::applicationFilePath());
        child.setArguments({QString::fromLatin1(FailingRun)});
        child.start();
        QVERIFY(child.waitForFinished(30000));
        QCOMPARE(child.exitStatus(), QProcess::NormalExit);
        QCOMPARE(child.exitCode(), ProgramErrorExitStatus);
        const QString err = QString::fromUtf8(child.readAllStandardError());
        QVERIFY2(err.contains(QStringLiteral("kiramoku: program error: overflow: addition gives 32768")), qPrintable(err));
        QVERIFY2(!QString::fromUtf8(child.readAllStandardOutput()).contains(QStringLiteral("handler returned")),
                 "the handler went on after the error");
    }
};

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    if (argc > 1 && qstrcmp(argv[1], FailingRun) == 0) {
        // A click handler whose arithmetic overflows, run from the event loop.
        QTimer::singleShot(0, [] {
            screens::Guard([] {
                const Int16 largest = 32767;
                const Int16 sum = largest + 1;
                std::printf("handler returned %d\n", sum.value());
            });
            std::printf("handler returned\n");
        });
        return QApplication::exec();
    }
    TestProgramError test;
    return QTest::qExec(&test, argc, argv);
}

#include "test_program_error.moc"
