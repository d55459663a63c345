#include "session.h"

#include "form1.h"
#include "form2.h"
#include "form3.h"

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

void Session::Start()
{
    form2_ = new Form2([this] { ShowBoard(); });
    form2_->show();
}

void Session::ShowBoard()
{
    if (form1_ || !form2_) {
        return;
    }
    form1_ = new Form1(module_, playback_, *this, question_, tuneFile_);
    connect(form1_, &Form1::Unloaded, this, &Session::UnloadWinnerWindow);
    form1_->Load(*form2_);
    form1_->show();
    form1_->activateWindow();
}

void Session::ShowWinnerWindow()
{
    // Shown once the round's last walk has been seen.
    playback_.Defer([this] {
        if (!form1_) {
            return;
        }
        if (!form3_) {
            form3_ = new Form3(module_, form1_->Rules(), *this, question_, *this);
            form3_->Form_Load();
            connect(form3_, &Form3::Answered, form1_, &Form1::Refresh);
        }
        form3_->BringForward();
    });
}

void Session::UnloadWinnerWindow()
{
    if (form3_) {
        form3_->Unload();
    }
}

void Session::UnloadBoard()
{
    if (form1_) {
        form1_->close();
    }
}

void Session::Input(std::function<void()> action)
{
    if (form1_) {
        form1_->Input(std::move(action));
    }
}

} // namespace kiramoku::screens
