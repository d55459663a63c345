#include "commandline.h"

#include <QCommandLineParser>
#include <QCoreApplication>

#include <cstdio>

namespace kiramoku {

namespace {

constexpr int UsageErrorStatus = 2;  // what command-line tools return for a bad option

void Print(std::FILE *stream, const QString &text)
{
    std::fputs(text.toLocal8Bit().constData(), stream);
}

// Qt's own options, which QApplication reads from the same argv later: a
// session manager restarting the game adds -session, and -platform or
// -display choose where the windows go. Taken here so they are no error.
void AddQtOptions(QCommandLineParser &parser)
{
    for (const char *name : {"platform", "display", "session", "style"}) {
        QCommandLineOption option(QString::fromLatin1(name));
        option.setValueName(QString::fromLatin1(name));
        option.setFlags(QCommandLineOption::HiddenFromHelp);
        parser.addOption(option);
    }
}

}  // namespace

CommandLine ReadCommandLine(int argc, char *argv[])
{
    // Only for the program's name in the usage line; no window system yet.
    QCoreApplication reader(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("kiramoku"));
    QCoreApplication::setApplicationVersion(QStringLiteral(KIRAMOKU_VERSION));

    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "きらもく (Kiramoku): an Edo-period dice race board game for one to four people, in Japanese."));
    // Qt's options are single-dash words (-platform), not bundles of letters.
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    parser.addOptions({
        {{QStringLiteral("h"), QStringLiteral("help")}, QStringLiteral("Show this help and exit.")},
        {{QStringLiteral("v"), QStringLiteral("version")}, QStringLiteral("Show the version and exit.")},
        {QStringLiteral("no-music"), QStringLiteral("Start with the background music off; M on the board turns it on and off; the choice is remembered.")},
        {QStringLiteral("new-game"), QStringLiteral("Start a new game without offering the kept one back; the kept game is replaced once the new one is kept.")},
    });
    AddQtOptions(parser);

    CommandLine result;
    if (!parser.parse(QCoreApplication::arguments()) || !parser.positionalArguments().isEmpty()) {
        const QString error = parser.errorText().isEmpty()
                                  ? QStringLiteral("Unexpected argument '%1'.").arg(parser.positionalArguments().constFirst())
                                  : parser.errorText();
        Print(stderr, QStringLiteral("kiramoku: %1\n").arg(error) + parser.helpText());
        result.exitStatus = UsageErrorStatus;
    } else if (parser.isSet(QStringLiteral("help"))) {
        Print(stdout, parser.helpText());
        result.exitStatus = 0;
    } else if (parser.isSet(QStringLiteral("version"))) {
        Print(stdout, QStringLiteral("kiramoku %1\n").arg(QStringLiteral(KIRAMOKU_VERSION)));
        result.exitStatus = 0;
    }
    result.noMusic = parser.isSet(QStringLiteral("no-music"));
    result.newGame = parser.isSet(QStringLiteral("new-game"));
    result.platformChosen = parser.isSet(QStringLiteral("platform"));
    result.displayNamed = parser.isSet(QStringLiteral("display"));
    return result;
}

}  // namespace kiramoku
