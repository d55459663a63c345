#include "form1.h"

#include "announcer.h"
#include "elements.h"
#include "guard.h"
#include "layouts.h"
#include "mmcontrol.h"
#include "musicchoice.h"
#include "windowlook.h"

#include <QCloseEvent>
#include <QKeyEvent>
#include <QPushButton>
#include <QScopedValueRollback>
#include <QScreen>
#include <QtMath>

namespace kiramoku::screens {

namespace {
constexpr qreal MillisecondsPerSecond = 1000;
constexpr qreal AssumedRefreshRate = 60;  // Hz, for a screen that does not say its own
constexpr quint64 NoEventTime = 0;        // the time of an event the window system did not send
}  // namespace

// The rules' music commands go through the playback, so a game end's "Pause" sounds when the last walk has been seen,
// not before.
class DeferredMusic : public MusicControl {
public:
    DeferredMusic(MusicControl &music, Playback &playback)
        : music_(music), playback_(playback) {}
    void SetNotify(bool on) override { Later(&MusicControl::SetNotify, on); }
    void SetWait(bool on) override { Later(&MusicControl::SetWait, on); }
    void SetShareable(bool on) override { Later(&MusicControl::SetShareable, on); }
    void SetDeviceType(const QString &type) override { Later(&MusicControl::SetDeviceType, type); }
    void SetFileName(const QString &path) override { Later(&MusicControl::SetFileName, path); }
    void SetFrom(qint32 position) override { Later(&MusicControl::SetFrom, position); }
    void SetCommand(const QString &command) override { Later(&MusicControl::SetCommand, command); }

    // Runs `commands` with what they send going to the music at once.
    void AtOnce(const std::function<void()> &commands)
    {
        const QScopedValueRollback atOnce(atOnce_, true);
        commands();
    }

private:
    // Sends `command` with `value` to the music now, or when the playback comes to it.
    template <typename Value, typename Given>
    void Later(void (MusicControl::*command)(Value), const Given &value)
    {
        std::function<void()> send = [this, command, value] { (music_.*command)(value); };
        atOnce_ ? send() : playback_.Defer(std::move(send));
    }
    MusicControl &music_;
    Playback &playback_;
    bool atOnce_ = false;
};

Form1::Form1(Module1 &module, Playback &playback, WindowControl &windows, Question &question,
             const QString &tuneFile)
    : playback_(playback),
      music_(new MMControl(this)),
      deferredMusic_(std::make_unique<DeferredMusic>(*music_, playback)),
      rules_(module, {playback, windows, *deferredMusic_, question}, tuneFile),
      timer1_(new QTimer(this))
{
    SetUpWindow(this, "Form1", QStringLiteral("きらもく"), BoardWidth, BoardHeight, BoardColour);
    BuildElements(this, BoardLayout());

    timer1_->setObjectName(QStringLiteral("Timer1"));
    timer1_->setTimerType(Qt::PreciseTimer);
    connect(timer1_, &QTimer::timeout, this, &Form1::Timer1_Timer);
    connect(music_, &MMControl::StatusUpdate, this, &Form1::MMControl1_StatusUpdate);
    music_->SetMusicOn(MusicWanted());

    Guard([this] {
        label1_ = BoardElement<TextLabel>(this, QStringLiteral("Label1"));
        label6_ = BoardElement<TextLabel>(this, QStringLiteral("Label6"));
        for (int i = 0; i < MaxPlayers; ++i) {
            label2_[size_t(i)] = BoardElement<TextLabel>(this, ElementName("Label2", i));
            label3_[size_t(i)] = BoardElement<TextLabel>(this, ElementName("Label3", i));
            label5_[size_t(i)] = BoardElement<TextLabel>(this, ElementName("Label5", i));
            pieces_[size_t(i)] = BoardElement<QWidget>(this, ElementName("Image4", i));
        }
        // Each button's click goes to the rules' handler of its name.
        const auto button = [this](const char *name, Handler click) {
            auto *found = BoardElement<QPushButton>(this, QString::fromLatin1(name));
            connect(found, &QPushButton::clicked, this, [this, click] { Act(click); });
            return found;
        };
        command1_ = button("Command1", &BoardRules::Command1_Click);
        command2_ = button("Command2", &BoardRules::Command2_Click);
        setTabOrder(command1_, command2_);
        setTabOrder(command2_, button("Command3", &BoardRules::Command3_Click));
        command1_->setFocus();
        announcer_ = std::make_unique<Announcer>(this);
    });

    playback_.SetBoard(&rules_);
    connect(&playback_, &Playback::Show, this, &Form1::Render);
    connect(&playback_, &Playback::Finished, this, &Form1::OnFinished);
}

Form1::~Form1()
{
    playback_.Abort();
    playback_.SetBoard(nullptr);
}

void Form1::Load(SelectionWindow &selection)
{
    Guard([&] { rules_.Form_Load(selection); });
    Render(rules_.State());
}

void Form1::Resume(const SavedGame &game)
{
    Guard([&] { rules_.Resume(game); });
    Render(rules_.State());
}

void Form1::Timer1_Timer()
{
    // The die does not tick while a turn plays back. A tick changes nothing but the die, so only the die is drawn, and
    // at once: the value a stop takes is the one on the screen.
    if (!playback_.Busy() && !unloaded_) {
        Guard([this] { rules_.Timer1_Timer(); });
        label6_->SetCaption(rules_.State().Label6);
        label6_->repaint();
    }
}

void Form1::MMControl1_StatusUpdate()
{
    // The tune loops on while the computers' turns play back and while the quit question waits for its answer: a tick
    // is the music's, not a move on the board, so it does not wait behind them. What the turns send the music (a game
    // end's pause) still comes at its moment, after it.
    if (playback_.Busy() && !unloaded_) {
        deferredMusic_->AtOnce([this] { Guard([this] { rules_.MMControl1_StatusUpdate(); }); });
        return;
    }
    Act(&BoardRules::MMControl1_StatusUpdate);
}

void Form1::Act(Handler handler)
{
    Input([this, handler] { Run(handler); });
}

void Form1::Input(std::function<void()> action)
{
    if (unloaded_)
        return;
    if (playback_.Busy()) {
        pending_.push_back(std::move(action));
        return;
    }
    action();
}

void Form1::Run(Handler handler)
{
    // A click kept from a playback may find its button disabled by now.
    if (handler == &BoardRules::Command2_Click && !rules_.State().Command2Enabled)
        return;
    timer1_->stop();
    playback_.Begin();
    Guard([&] { (rules_.*handler)(); });
    if (!unloaded_) {
        TellWhenARollComesNext();
        playback_.End();
    }
}

void Form1::TellWhenARollComesNext()
{
    // Decided from the rules as this turn left them, not from what the window does next: a click made during the walk
    // may play the next turn at once.
    if (rules_.AwaitingRoll())
        playback_.Defer([this, game = rules_.Snapshot()] { emit RollComesNext(game); });
}

void Form1::OnFinished()
{
    Render(rules_.State());
    SyncTimer();
    while (!pending_.empty() && !playback_.Busy() && !unloaded_) {
        const std::function<void()> next = std::move(pending_.front());
        pending_.pop_front();
        next();
    }
}

void Form1::Refresh()
{
    // A playback in progress draws the live board when it ends.
    if (!playback_.Busy())
        Render(rules_.State());
}

void Form1::SyncTimer()
{
    // The rules ask for the fastest die (an interval of 1) or none (0).
    if (rules_.State().Timer1Interval == 0 || playback_.Busy() || unloaded_)
        timer1_->stop();
    else if (!timer1_->isActive())
        timer1_->start(FrameInterval());
}

std::chrono::milliseconds Form1::FrameInterval() const
{
    // One refresh of the board's screen, rounded up: a value drawn between two refreshes would never be seen, so the
    // die takes at most one a frame and every value it takes stays on the screen for a whole frame.
    const qreal rate = screen()->refreshRate();
    return std::chrono::milliseconds(qCeil(MillisecondsPerSecond / (rate > 0 ? rate : AssumedRefreshRate)));
}

void Form1::Render(const BoardState &board)
{
    label1_->SetCaption(board.Label1);
    label6_->SetCaption(board.Label6);
    for (int i = 0; i < MaxPlayers; ++i) {
        label2_[size_t(i)]->SetCaption(board.Label2[i]);
        label3_[size_t(i)]->SetCaption(board.Label3[i]);
        label5_[size_t(i)]->SetCaption(board.Label5[i]);
        const PiecePlace place = board.Image4[i];
        pieces_[size_t(i)]->move(Pixels(qRound(place.Left * TwipsPerCm)), Pixels(qRound(place.Top * TwipsPerCm)));
    }
    // Qt would send the focus of a stop button being disabled on to the quit button, where a Space during the walk asks
    // to quit; the roll comes next.
    if (!board.Command2Enabled && focusWidget() == command2_)
        command1_->setFocus(Qt::OtherFocusReason);
    command2_->setEnabled(board.Command2Enabled);
    announcer_->Present(board);
}

void Form1::keyPressEvent(QKeyEvent *event)
{
    // The buttons pass on the keys they do not use, so M works whichever has the focus.
    if (event->key() == Qt::Key_M && !(event->modifiers() & ~Qt::KeypadModifier)) {
        if (!RepeatOfHeldM(*event)) {
            const bool on = !music_->MusicOn();
            music_->SetMusicOn(on);
            RememberMusicWanted(on);
        }
        return;
    }
    QWidget::keyPressEvent(event);
}

void Form1::keyReleaseEvent(QKeyEvent *event)
{
    if (event->key() == Qt::Key_M)
        lastMRelease_ = event->timestamp();
    QWidget::keyReleaseEvent(event);
}

bool Form1::RepeatOfHeldM(const QKeyEvent &press) const
{
    // The X server repeats a held key as a release and a press at one and the same time, and Qt marks only some of
    // these presses as repeats. An event made up by a program carries no time (0): each is a press.
    return press.isAutoRepeat() || (press.timestamp() != NoEventTime && press.timestamp() == lastMRelease_);
}

void Form1::closeEvent(QCloseEvent *)
{
    if (!unloaded_) {
        // However the board closes (quit, the winner's No, the frame), the turn being played back is dropped and the
        // music is closed.
        unloaded_ = true;
        playback_.Abort();
        timer1_->stop();
        pending_.clear();
        Guard([this] { rules_.Form_Unload(); });
        emit Unloaded();
    }
}

}  // namespace kiramoku::screens
