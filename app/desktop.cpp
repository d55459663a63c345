#include "desktop.h"

#include <QByteArray>

#include <cstdio>
#include <cstdlib>
#include <vector>

namespace kiramoku {

namespace {

constexpr char NoDesktopLine[] =
    "kiramoku: the game needs a graphical desktop (an X11 or Wayland session) and found none\n";

constexpr char NoPluginLine[] =
    "kiramoku: the window system plugin asked for (-platform or QT_QPA_PLATFORM) is missing\n";

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

std::vector<HeldMessage> &HeldMessages()
{
    static std::vector<HeldMessage> held;
    return held;
}

QtMessageHandler &PassOnTo()
{
    static QtMessageHandler handler = nullptr;
    return handler;
}

const char *OrNull(const QByteArray &bytes)
{
    return bytes.isNull() ? nullptr : bytes.constData();
}

void PassOnHeldMessages()
{
    for (const HeldMessage &held : HeldMessages()) {
        const QMessageLogContext context(OrNull(held.file), held.line, OrNull(held.function),
                                         OrNull(held.category));
        PassOnTo()(held.type, context, held.text);
    }
    HeldMessages().clear();
}

// Qt found no plugin of the window system's name, as against a plugin that
// could not reach its display.
bool PluginMissing()
{
    for (const HeldMessage &held : HeldMessages()) {
        if (held.text.contains(QStringLiteral("Could not find the Qt platform plugin")))
            return true;
    }
    return false;
}

void HoldWhileConnecting(QtMsgType type, const QMessageLogContext &context, const QString &text)
{
    // Qt gives up with this fatal message when no platform plugin could
    // reach a window system.
    if (type == QtFatalMsg && text.contains(QStringLiteral("platform plugin"))) {
        if (PluginMissing()) {
            // A desktop may well be there: the window system named is not
            // one Qt has. Qt's own lines say which ones it has.
            PassOnHeldMessages();
            std::fprintf(stderr, "%s\n", qPrintable(text));
            std::fputs(NoPluginLine, stderr);
            std::fflush(stderr);
            std::_Exit(NoDesktopStatus);
        }
        std::_Exit(ReportNoDesktop());
    }
    HeldMessages().push_back({type, context.file, context.line, context.function, context.category, text});
    if (type == QtFatalMsg)
        PassOnHeldMessages();  // any other fatal error is Qt's own to report
}

} // namespace

bool DesktopNamed(const CommandLine &commandLine)
{
    return commandLine.platformChosen || commandLine.displayNamed || EnvironmentNames("QT_QPA_PLATFORM")
        || EnvironmentNames("DISPLAY") || EnvironmentNames("WAYLAND_DISPLAY");
}

int ReportNoDesktop()
{
    std::fputs(NoDesktopLine, stderr);
    std::fflush(stderr);
    return NoDesktopStatus;
}

std::unique_ptr<QApplication> OpenDesktop(int &argc, char *argv[])
{
    PassOnTo() = qInstallMessageHandler(HoldWhileConnecting);
    auto application = std::make_unique<QApplication>(argc, argv);
    qInstallMessageHandler(PassOnTo());
    PassOnHeldMessages();
    return application;
}

} // namespace kiramoku
