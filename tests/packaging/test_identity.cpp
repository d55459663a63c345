// How the running game names itself to the desktop, against its launcher: a
// dock or task switcher finds the launcher by the desktop file name or the
// window class. (The launcher's own name and icon: the install check.)
#include "windowlook.h"

#include <QApplication>
#include <QFile>
#include <QSettings>
#include <QtTest>

using namespace kiramoku::screens;

class IdentityTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { SetUpApplication(); }

    void theProgramCarriesTheReleaseNameAndVersion()
    {
        // No display name of its own: X11 would add it to every window title.
        QCOMPARE(QApplication::applicationDisplayName(), QApplication::applicationName());
        QCOMPARE(QApplication::applicationVersion(), QStringLiteral(KIRAMOKU_VERSION));
        QVERIFY(!QApplication::windowIcon().isNull());
    }

    void theDesktopFileNameIsALauncherWithTheSameIconAndName()
    {
        const QString id = QGuiApplication::desktopFileName();
        QVERIFY(!id.isEmpty());
        QVERIFY2(!id.endsWith(QStringLiteral(".desktop")), "the name is given without its suffix");
        const QString launcher = QStringLiteral(KIRAMOKU_PACKAGING_DIR "/") + id + QStringLiteral(".desktop");
        QVERIFY2(QFile::exists(launcher), qPrintable(launcher));
        QSettings entry(launcher, QSettings::IniFormat);
        entry.beginGroup(QStringLiteral("Desktop Entry"));
        // On X11 the windows' class is the application name; a dock that
        // matches windows by class finds the launcher through this key.
        QCOMPARE(entry.value(QStringLiteral("StartupWMClass")).toString(), QApplication::applicationName());
    }
};

QTEST_MAIN(IdentityTest)
#include "test_identity.moc"
