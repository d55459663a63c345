#include "desktop.h"

#include "report.h"

#include <QByteArray>
#include <QFileInfo>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <vector>

namespace kiramoku {

namespace {

const char *const NoDesktopLine = "the game needs a graphical desktop (an X11 or Wayland session) and found none";
const char *const NoPluginLine = "the window system plugin asked for (-platform or QT_QPA_PLATFORM) is missing";
const char *const UnreachableLine = "the window system asked for (-platform or QT_QPA_PLATFORM) could not be reached";

// Where libdbus looks for the session bus: the variable, else this socket in
// XDG_RUNTIME_DIR, else it autolaunches a bus of its own on the X display.
constexpr char SessionBusVariable[] = "DBUS_SESSION_BUS_ADDRESS";
constexpr char UserBusSocket[] = "/bus";
// An address of no transport libdbus has: connecting fails at once, and any
// address set at all keeps libdbus from autolaunching (dbus-launch(1)).
constexpr char NoSessionBus[] = "disabled:";

bool EnvironmentNames(const char *name)
{
    return !qEnvironmentVariableIsEmpty(name);
}

// A message Qt gave while connecting to the display, kept until it is known
// whether the game starts (then it is passed on) or there is no desktop.
struct HeldMessage {
    QtMsgType type;
    QByteArray file;
    int line;
    QByteArray function;
    QByteArray category;
    QString text;
};

std::vector<HeldMessage> held;
// The window system was named (-platform or QT_QPA_PLATFORM): then one that
// cannot be reached is told apart from finding no desktop at all.
bool platformChosen = false;
QtMessageHandler passOnTo = nullptr;

const char *OrNull(const QByteArray &bytes)
{
    return bytes.isNull() ? nullptr : bytes.constData();
}

void PassOnHeldMessages()
{
    for (const HeldMessage &message : held) {
        const QMessageLogContext context(OrNull(message.file), message.line, OrNull(message.function),
                                         OrNull(message.category));
        passOnTo(message.type, context, message.text);
    }
    held.clear();
}

// Qt found no plugin of the window system's name, as against a plugin that
// could not reach its display.
bool PluginMissing()
{
    return std::ranges::any_of(held, [](const HeldMessage &message) {
        return message.text.contains(QStringLiteral("Could not find the Qt platform plugin"));
    });
}

int Report(const char *line)
{
    Say(QString::fromLatin1(line));
    return NoDesktopStatus;
}

// Qt gave up: no platform plugin could reach a window system.
[[noreturn]] void GiveUpConnecting(const QString &qtsLastWords)
{
    if (PluginMissing()) {
        // A desktop may well be there: the window system named is not one
        // Qt has. Qt's own lines say which ones it has.
        PassOnHeldMessages();
        std::fprintf(stderr, "%s\n", qPrintable(qtsLastWords));
        std::_Exit(Report(NoPluginLine));
    }
    if (platformChosen) {
        // Its plugin is there but could not connect; Qt's held lines give
        // the reason. Its last words, to reinstall, would mislead here.
        PassOnHeldMessages();
        std::_Exit(Report(UnreachableLine));
    }
    std::_Exit(ReportNoDesktop());
}

void HoldWhileConnecting(QtMsgType type, const QMessageLogContext &context, const QString &text)
{
    if (type == QtFatalMsg && text.contains(QStringLiteral("platform plugin")))
        GiveUpConnecting(text);
    held.push_back({type, context.file, context.line, context.function, context.category, text});
    if (type == QtFatalMsg)
        PassOnHeldMessages();  // any other fatal error is Qt's own to report
}

// With no session bus to be found, Qt's accessibility would make libdbus
// autolaunch one (dbus-launch and a dbus-daemon) that stays on the X display
// after the game has ended. The game does without a bus instead: nothing
// listens on a bus that only the game would be on.
void KeepLibdbusFromAutolaunching()
{
    const QByteArray runtime = qgetenv("XDG_RUNTIME_DIR");
    const bool userBusThere = !runtime.isEmpty() && QFileInfo::exists(QString::fromLocal8Bit(runtime + UserBusSocket));
    if (!EnvironmentNames(SessionBusVariable) && !userBusThere)
        qputenv(SessionBusVariable, NoSessionBus);
}

}  // namespace

bool DesktopNamed(const CommandLine &commandLine)
{
    return commandLine.platformChosen || commandLine.displayNamed || EnvironmentNames("QT_QPA_PLATFORM")
           || EnvironmentNames("DISPLAY") || EnvironmentNames("WAYLAND_DISPLAY");
}

int ReportNoDesktop()
{
    return Report(NoDesktopLine);
}

std::unique_ptr<QApplication> OpenDesktop(int &argc, char *argv[], const CommandLine &commandLine)
{
    platformChosen = commandLine.platformChosen || EnvironmentNames("QT_QPA_PLATFORM");
    KeepLibdbusFromAutolaunching();
    passOnTo = qInstallMessageHandler(HoldWhileConnecting);
    auto application = std::make_unique<QApplication>(argc, argv);
    qInstallMessageHandler(passOnTo);
    PassOnHeldMessages();
    return application;
}

}  // namespace kiramoku
