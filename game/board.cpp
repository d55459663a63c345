// Start, restart and quit of the board, its music, and the winner window's
// question.
#include "board.h"

#include "musicsequence.h"
#include "squares.h"
#include "winner.h"

#include <algorithm>
#include <array>

namespace kiramoku {

namespace {
constexpr int NoSelection = -1;
const char *const QuitQuestion = "本当によいですか？";

constexpr QChar FirstStrongIsolate{0x2068};
constexpr QChar PopDirectionalIsolate{0x2069};

// Right-to-left letters, or a control of the text's direction.
constexpr std::array TextTurners{QChar::DirR, QChar::DirAL, QChar::DirAN, QChar::DirLRE, QChar::DirLRO, QChar::DirRLE,
                                 QChar::DirRLO, QChar::DirPDF, QChar::DirLRI, QChar::DirRLI, QChar::DirFSI, QChar::DirPDI};

// A typed name as it stands inside one of the game's lines: as typed, and,
// where it could turn the text around it, set apart as an isolated run. A
// closing mark of its own that would end the run early is given an opening
// one more, and what it leaves open is closed with it.
QString Isolated(const QString &name)
{
    int open = 0;
    int unmatched = 0;
    bool turns = false;
    for (const char32_t c : name.toUcs4()) {
        const QChar::Direction d = QChar::direction(c);
        turns = turns || std::ranges::find(TextTurners, d) != TextTurners.end();
        if (d == QChar::DirLRI || d == QChar::DirRLI || d == QChar::DirFSI)
            ++open;
        else if (d == QChar::DirPDI)
            open > 0 ? --open : ++unmatched;
    }
    if (!turns)
        return name;
    return QString(unmatched + 1, FirstStrongIsolate) + name + QString(open + unmatched + 1, PopDirectionalIsolate);
}
}  // namespace

BoardRules::BoardRules(Module1 &module, Ports ports, QString tuneFile)
    : module_(module), ports_(ports), tuneFile_(std::move(tuneFile))
{
}

QString TurnAnnouncement(const QString &name)
{
    return QStringLiteral("   ") + Isolated(name) + QString::fromUtf8("の番でありんすぅ");
}

QString Congratulation(const QString &name)
{
    return QString::fromUtf8("おめでとう。") + Isolated(name) + QString::fromUtf8("さん") + QStringLiteral("\r\n");
}

void BoardRules::Form_Load(SelectionWindow &selection)
{
    selection.Hide();
    StartMusic(ports_.music, tuneFile_);
    CurrentPlayer = 1;
    if (selection.ListIndex() == NoSelection)
        selection.SetListIndex(0);
    HumanPlayers = Int16(selection.ListIndex()) + 1;
    for (Int16 k = 1; k <= MaxPlayers; k += 1) {
        const QString typed = k <= HumanPlayers ? selection.Text(k.value() - 1) : QString();
        // Only an empty box falls back to the character's name; blanks are a name.
        Players[k] = {typed.isEmpty() ? DefaultNames(k) : typed, StartMoney, 0};
        state_.Label2[k.value() - 1] = Players[k].Name;
        ShowPurse(k);
    }
    selection.Unload();
    AnnounceTurn();
}

void StartMusic(MusicControl &music, const QString &tuneFile)
{
    music.SetNotify(false);
    music.SetWait(true);
    music.SetShareable(false);
    music.SetDeviceType(QStringLiteral("Sequencer"));
    music.SetFileName(tuneFile);
    music.SetCommand(QStringLiteral("Open"));
    music.SetFrom(0);
    music.SetCommand(QStringLiteral("Play"));
}

void RestartMusic(MusicControl &music)
{
    music.SetCommand(QStringLiteral("close"));
    music.SetCommand(QStringLiteral("open"));
    music.SetCommand(QStringLiteral("play"));
}

void BoardRules::MMControl1_StatusUpdate()
{
    RestartMusic(ports_.music);
}

void BoardRules::Form_Unload()
{
    ports_.music.SetCommand(QStringLiteral("close"));
}

void BoardRules::AllClear()
{
    for (Int16 k = 1; k <= MaxPlayers; k += 1) {
        Players[k] = {Players[k].Name, StartMoney, 0};
        state_.Label2[k.value() - 1] = Players[k].Name;
        ShowPurse(k);
        state_.Image4[k.value() - 1] = PlaceInRow(k);
    }
    module_.WinnerText.clear();
    module_.Winners.clear();
}

PiecePlace BoardRules::PlaceInRow(Int16 player)
{
    // On the start square in a diagonal row, each piece a stagger further
    // right and down than the one before.
    const double stagger = PieceStagger * (player.value() - 1);
    return {static_cast<float>(SquareLeftCm(0) + PieceInset + stagger),
            static_cast<float>(SquareTopCm(0) + PieceInset + stagger)};
}

void BoardRules::Command3_Click()
{
    if (ports_.question.AskYes(QString::fromUtf8(QuitQuestion), QString(), true, Dismissal::CountsAsNo))
        ports_.windows.UnloadBoard();
}

void WinnerRules::Command1_Click()
{
    // No ends the program, so only a chosen Yes or No answers; a box put
    // away with Escape stays until one of them is.
    const bool again = question_.AskYes(QString::fromUtf8("もう一回やる？"), QString::fromUtf8("きらもく"), true,
                                        Dismissal::NotAnAnswer);
    if (again)
        board_.AllClear();
    windows_.UnloadWinnerWindow();
    if (again)
        module_.WinnerFlag = 0;
    else
        windows_.UnloadBoard();
}

void BoardRules::AnnounceTurn()
{
    state_.Label1 = TurnAnnouncement(Players[CurrentPlayer].Name);
    state_.Turns += 1;
}

void BoardRules::ShowPurse(Int16 player)
{
    state_.Label3[player.value() - 1] = QString::number(Players[player].Money.value());
}

}  // namespace kiramoku
