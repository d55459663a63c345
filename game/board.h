#pragma once
// The board window's rules: its handlers, the players and the turn.
//
// Every handler runs to completion at once. What a player must see in time
// (each square of a walk, the pauses, the beeps, the winner window, the music
// commands) is handed in order to the ports, and the window plays it back.
#include "boardstate.h"
#include "module1.h"
#include "players.h"
#include "ports.h"
#include "savedgame.h"

namespace kiramoku {

class BoardRules {
public:
    struct Ports {
        TurnEffects &effects;
        WindowControl &windows;
        MusicControl &music;
        Question &question;
    };
    BoardRules(Module1 &module, Ports ports, QString tuneFile);

    // Taking the players over from the selection window, starting the music.
    void Form_Load(SelectionWindow &selection);
    void Form_Unload();
    // The roll button and the die's timer tick.
    void Command1_Click();
    void Timer1_Timer();
    // The stop button: the whole turn, and the computer's turns that follow.
    void Command2_Click();
    // The quit button "双六を止める".
    void Command3_Click();
    // A new game with the same players: the winner window's Yes.
    void AllClear();
    // The music's periodic tick restarts the tune from its beginning.
    void MMControl1_StatusUpdate();

    // The landing event of the current player's square.
    void ApplySquareEvent();

    // A person is about to roll: the game as it stands then is worth keeping.
    bool AwaitingRoll() const;
    SavedGame Snapshot() const;
    // Instead of the load: the board exactly as it was kept, the music started.
    void Resume(const SavedGame &game);

    const BoardState &State() const { return state_; }
    PlayerTable Players{"Players"};
    Int16 CurrentPlayer = 1;
    Int16 HumanPlayers = 1;

private:
    void Walk(Int16 player, Int16 steps);
    void PlacePiece(Int16 player, Int16 square);
    void EndOfRound();
    void AnnounceTurn();
    void PlayComputerTurn();
    void ShowPurse(Int16 player);
    static PiecePlace PlaceOnSquare(Int16 player, Int16 square);
    static PiecePlace PlaceInRow(Int16 player);
    PiecePlace PlaceFor(Int16 player, int piece) const;
    int PieceStand(Int16 player) const;
    int LineShown(Int16 player) const;

    Module1 &module_;
    Ports ports_;
    QString tuneFile_;
    BoardState state_;
};

// The lines that carry a name hold it as typed; a name with right-to-left
// text or direction controls is set in them as an isolated run (FSI … PDI),
// so it never turns the text around it.
// The turn announcement: three spaces, the name, "の番でありんすぅ".
QString TurnAnnouncement(const QString &name);
// A winner's line: "おめでとう。", the name, "さん", CR LF.
QString Congratulation(const QString &name);

}  // namespace kiramoku
