#include "session.h"

#include <QGuiApplication>

namespace kiramoku::screens {

Session::Session(QString tuneFile, ChanceSource *chance, Question *question)
    : tuneFile_(std::move(tuneFile)),
      question_(question ? *question : messageQuestion_),
      module_(chance ? *chance : clockChance_, playback_)
{
    playback_.SetBeep([this] { beeper_.Play(); });
}

Session::~Session()
{
    delete form3_;
    delete form1_;
    delete form2_;
}

namespace {
const char *const ContinueQuestion = "前回の続きから遊びますか？";
// How long the end of the desktop session waits for the game to be written.
constexpr std::chrono::milliseconds SessionEndWait{2000};
}  // namespace

void Session::Start(bool offerKept)
{
    connect(qApp, &QGuiApplication::commitDataRequest, this, &Session::KeepAsTheDesktopSessionEnds);
    // Read even for a new game: a later version's game is never written over.
    const std::optional<SavedGame> saved = kept_.Offer();
    if (offerKept && saved) {
        // Only a chosen answer counts: a stray Escape must not throw an evening's game away.
        if (question_.AskYes(QString::fromUtf8(ContinueQuestion), QString(), true, Dismissal::NotAnAnswer)) {
            ResumeBoard(*saved);
            return;
        }
        kept_.Forget();
    }
    form2_ = new Form2([this] { ShowBoard(); });
    form2_->show();
}

void Session::KeepAsTheDesktopSessionEnds()
{
    KeepGame(true);
    kept_.Settle(SessionEndWait);
}

Form1 *Session::NewBoard()
{
    form1_ = new Form1(module_, playback_, *this, question_, tuneFile_);
    connect(form1_, &Form1::Unloaded, this, &Session::UnloadWinnerWindow);
    connect(form1_, &Form1::RollComesNext, this, [this](const SavedGame &game) {
        if (!endedOnPurpose_)
            kept_.Keep(game);
    });
    return form1_;
}

void Session::ShowBoard()
{
    if (form1_ || !form2_)
        return;
    NewBoard()->Load(*form2_);
    form1_->show();
    form1_->activateWindow();
    KeepGame();
}

void Session::ResumeBoard(const SavedGame &game)
{
    NewBoard()->show();
    form1_->activateWindow();
    // A kept winner window comes back in front of the board.
    form1_->Resume(game);
}

void Session::KeepGame(bool always)
{
    if (form1_ && !endedOnPurpose_ && !playback_.Busy() && form1_->Rules().AwaitingRoll())
        kept_.Keep(form1_->Rules().Snapshot(), always);
}

void Session::ShowWinnerWindow()
{
    // Shown once the round's last walk has been seen.
    playback_.Defer([this] {
        if (!form1_)
            return;
        if (!form3_) {
            form3_ = new Form3(module_, form1_->Rules(), *this, question_, *this);
            form3_->Form_Load();
            connect(form3_, &Form3::Answered, form1_, &Form1::Refresh);
            connect(form3_, &Form3::Answered, this, [this] { KeepGame(); });
        }
        form3_->BringForward();
    });
}

void Session::UnloadWinnerWindow()
{
    if (form3_)
        form3_->Unload();
}

void Session::UnloadBoard()
{
    // Only the players' own ending (the quit button's Yes, the winner's No) forgets the kept game; any other close
    // keeps it for the next start.
    endedOnPurpose_ = true;
    kept_.Forget();
    if (form1_)
        form1_->close();
}

void Session::Input(std::function<void()> action)
{
    if (form1_)
        form1_->Input(std::move(action));
}

}  // namespace kiramoku::screens
