#pragma once
// What the rules call outside themselves. The board window plays these back in
// order and in real time; tests plug in fakes that record the calls.
#include <QString>
#include <QtGlobal>

namespace kiramoku {

// Pauses and the beep of a walk. The rules never wait: a pause is a request,
// and the board as it stands at that moment is what a player sees for its length.
class TurnEffects {
public:
    virtual ~TurnEffects() = default;
    virtual void Delay(int units) = 0;  // units of DelayUnit
    virtual void Beep() = 0;
};

// Opening and closing the windows the rules decide about.
class WindowControl {
public:
    virtual ~WindowControl() = default;
    virtual void ShowWinnerWindow() = 0;  // not modal; loaded first if it is not
    virtual void UnloadWinnerWindow() = 0;
    virtual void UnloadBoard() = 0;  // the board's unload closes the music
};

// The board window's music control: its settings and its command strings
// ("Open", "open", "Play", "play", "Pause", "close"), taken in any letter case.
// Every command returns quietly, whatever becomes of it.
class MusicControl {
public:
    virtual ~MusicControl() = default;
    virtual void SetNotify(bool on) = 0;
    virtual void SetWait(bool on) = 0;
    virtual void SetShareable(bool on) = 0;
    virtual void SetDeviceType(const QString &type) = 0;
    virtual void SetFileName(const QString &path) = 0;
    virtual void SetFrom(qint32 position) = 0;
    virtual void SetCommand(const QString &command) = 0;
};

// The selection window as the board window's load sees it.
class SelectionWindow {
public:
    virtual ~SelectionWindow() = default;
    virtual int ListIndex() const = 0;          // -1 when nothing is chosen, else 0..3
    virtual void SetListIndex(int index) = 0;   // runs the list's click handler
    virtual QString Text(int index) const = 0;  // name box 0..3, visible or not
    virtual void Hide() = 0;
    virtual void Unload() = 0;
};

// A modal Yes/No question with the information icon. Whether putting the box
// away (Escape, the frame's close) answers No, or only Yes and No do.
enum class Dismissal { CountsAsNo,
                       NotAnAnswer };

class Question {
public:
    virtual ~Question() = default;
    virtual bool AskYes(const QString &text, const QString &title, bool yesIsDefault, Dismissal dismissal) = 0;
};

// Where die values come from: uniform doubles in [0, 1).
class ChanceSource {
public:
    virtual ~ChanceSource() = default;
    virtual double Next() = 0;
};

}  // namespace kiramoku
