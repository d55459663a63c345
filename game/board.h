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

    Module1 &module_;
    Ports ports_;
    QString tuneFile_;
    BoardState state_;
};

// The turn announcement: three spaces, the name, "の番でありんすぅ".
QString TurnAnnouncement(const QString &name);

} // namespace kiramoku
