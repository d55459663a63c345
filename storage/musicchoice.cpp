#include "musicchoice.h"

#include "keptfile.h"

#include <QStandardPaths>

#include <algorithm>
#include <optional>
#include <utility>

namespace kiramoku {

namespace {

// The file holds one short section; anything larger is not ours.
constexpr qint64 MaxSettingsBytes = 4096;
constexpr char LineEnd = '\n';
// The line end of Windows' editors, kept where the file's first line has it.
constexpr char CarriageReturn = '\r';
const QByteArray CrLf = QByteArrayLiteral("\r\n");
// UTF-8's byte-order mark, which some editors put first: read past, kept.
const QByteArray ByteOrderMark = QByteArrayLiteral("\xEF\xBB\xBF");
constexpr char SectionOpening = '[';
constexpr char KeySeparator = '=';
const QByteArray MusicSection = QByteArrayLiteral("[music]");
const QByteArray OnKey = QByteArrayLiteral("on");
const QByteArray OnWritten = QByteArrayLiteral("true");
const QByteArray OffWritten = QByteArrayLiteral("false");
// Off in the words people write for it, in any letter case.
const char *const OffWords[] = {"false", "0", "off", "no"};
const char *const NotSaved = "could not save the music choice in %1 (%2); it holds until the game ends";

QString SettingsPath()
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation)
           + QStringLiteral("/kiramoku/kiramoku.conf");
}

// Where the [music] section's `on` line stands in the file's bytes.
struct OnLine {
    qsizetype afterHeader = -1;  // -1: no [music] section
    qsizetype start = -1;        // -1: no `on` key in it
    qsizetype end = -1;          // before its line end
    QByteArray value;
};

QByteArray KeyOf(const QByteArray &line)
{
    const qsizetype separator = line.indexOf(KeySeparator);
    return separator < 0 ? QByteArray() : line.left(separator).trimmed();
}

qsizetype EndOfLine(const QByteArray &bytes, qsizetype start)
{
    const qsizetype end = bytes.indexOf(LineEnd, start);
    return end < 0 ? bytes.size() : end;
}

// The first [music] section's `on` line; comment lines never match, as their key starts with the comment sign.
OnLine FindOnLine(const QByteArray &bytes)
{
    OnLine found;
    bool inMusic = false;
    const qsizetype first = bytes.startsWith(ByteOrderMark) ? ByteOrderMark.size() : 0;
    for (qsizetype start = first; start < bytes.size(); start = EndOfLine(bytes, start) + 1) {
        const qsizetype end = EndOfLine(bytes, start);
        const QByteArray line = bytes.mid(start, end - start).trimmed();
        if (line.startsWith(SectionOpening)) {
            if (inMusic)
                break;
            inMusic = line == MusicSection;
            if (inMusic)
                found.afterHeader = std::min(end + 1, bytes.size());
        } else if (inMusic && KeyOf(line) == OnKey) {
            found.start = start;
            found.end = bytes.at(end - 1) == CarriageReturn ? end - 1 : end;  // the line's own end stays
            found.value = line.mid(line.indexOf(KeySeparator) + 1).trimmed();
            break;
        }
    }
    return found;
}

bool ReadsAsOn(const QByteArray &value)
{
    for (const char *off : OffWords)
        if (value.compare(off, Qt::CaseInsensitive) == 0)
            return false;
    return true;
}

// The file's own line end: CRLF where its first line ends so, else LF.
QByteArray LineEndOf(const QByteArray &bytes)
{
    return bytes.left(bytes.indexOf(LineEnd) + 1).endsWith(CrLf) ? CrLf : QByteArray(1, LineEnd);
}

QByteArray Terminated(QByteArray bytes, const QByteArray &lineEnd)
{
    if (!bytes.isEmpty() && !bytes.endsWith(LineEnd))
        bytes += lineEnd;
    return bytes;
}

// The file with only its `on` line changed, or the section or key added where missing, in the file's own line ends: the
// player's own lines stay as they were.
QByteArray WithMusicOn(const QByteArray &bytes, bool on)
{
    const QByteArray onLine = OnKey + KeySeparator + (on ? OnWritten : OffWritten);
    const QByteArray lineEnd = LineEndOf(bytes);
    const OnLine found = FindOnLine(bytes);
    if (found.start >= 0)
        return bytes.left(found.start) + onLine + bytes.mid(found.end);
    if (found.afterHeader >= 0)
        return Terminated(bytes.left(found.afterHeader), lineEnd) + onLine + lineEnd + bytes.mid(found.afterHeader);
    return Terminated(bytes, lineEnd) + MusicSection + lineEnd + onLine + lineEnd;
}

// The settings file as this run knows it: as last read, then as last written, so that M never reads it again.
std::optional<SmallFile> known;

const SmallFile &ReadSettings()
{
    known = ReadSmallFile(SettingsPath(), MaxSettingsBytes);
    return *known;
}

FileKeeper &Keeper()
{
    static FileKeeper keeper(SettingsPath(), QString::fromLatin1(NotSaved));
    return keeper;
}

// The choice made in this run (--no-music, the M key), which holds even where the file cannot keep it.
std::optional<bool> chosenThisRun;

}  // namespace

bool MusicWanted()
{
    if (chosenThisRun)
        return *chosenThisRun;
    const SmallFile &file = ReadSettings();
    return file.status != SmallFile::Read || ReadsAsOn(FindOnLine(file.bytes).value);
}

void RememberMusicWanted(bool on)
{
    chosenThisRun = on;
    const SmallFile &file = known ? *known : ReadSettings();
    QByteArray bytes = WithMusicOn(file.bytes, on);
    // A file refused is left as it is, and so is one that the next start would refuse.
    if (file.status == SmallFile::Refused || bytes.size() > MaxSettingsBytes)
        return Keeper().Fail(file.status == SmallFile::Refused ? file.why : LargerThan(MaxSettingsBytes));
    if (file.status == SmallFile::Read && bytes == file.bytes)
        return;
    known = SmallFile{SmallFile::Read, bytes, {}};
    Keeper().Write(std::move(bytes));
}

void ApplyMusicOption(bool noMusicGiven)
{
    if (noMusicGiven)
        RememberMusicWanted(false);
}

bool MusicChoiceSettled(std::chrono::milliseconds wait)
{
    return Keeper().Settle(wait);
}

}  // namespace kiramoku
