#pragma once
// One run of the game: the process-wide data and the three windows, each created when first needed and gone when
// unloaded.
#include "beep.h"
#include "form1.h"
#include "form2.h"
#include "form3.h"
#include "keptgame.h"
#include "module1.h"
#include "playback.h"
#include "question.h"

#include <QObject>
#include <QPointer>

namespace kiramoku::screens {

class Session : public QObject, public WindowControl, public InputGate {
    Q_OBJECT
public:
    explicit Session(QString tuneFile, ChanceSource *chance = nullptr, Question *question = nullptr);
    ~Session() override;

    // Offers the kept game back, when there is one and `offerKept`; otherwise shows the selection window, the first
    // window of a run.
    void Start(bool offerKept = true);
    // Keeps the game when a person is about to roll (`always`: even when nothing changed since the last time, as the
    // desktop session ends).
    void KeepGame(bool always = false);
    // The desktop session ends: the game is kept at once, and written before the session manager goes on. Connected to
    // the application's commitDataRequest.
    void KeepAsTheDesktopSessionEnds();

    void ShowWinnerWindow() override;
    void UnloadWinnerWindow() override;
    void UnloadBoard() override;
    // The board's input order, for as long as there is a board.
    void Input(std::function<void()> action) override;

    Module1 &Data() { return module_; }
    Playback &Player() { return playback_; }
    Form1 *Board() const { return form1_; }
    Form2 *Selection() const { return form2_; }
    Form3 *Winner() const { return form3_; }

private:
    void ShowBoard();
    void ResumeBoard(const SavedGame &game);
    Form1 *NewBoard();

    QString tuneFile_;
    ClockChance clockChance_;
    MessageQuestion messageQuestion_;
    Question &question_;
    Beeper beeper_;
    Playback playback_;
    Module1 module_;
    KeptGame kept_;
    bool endedOnPurpose_ = false;
    QPointer<Form1> form1_;
    QPointer<Form2> form2_;
    QPointer<Form3> form3_;
};

}  // namespace kiramoku::screens
