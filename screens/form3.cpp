#include "form3.h"

#include "announcer.h"
#include "elements.h"
#include "form1.h"
#include "guard.h"
#include "layouts.h"
#include "windowlook.h"

#include <QCloseEvent>
#include <QPointer>
#include <QPushButton>
#include <QShowEvent>
#include <QTimer>

namespace kiramoku::screens {

Form3::Form3(Module1 &module, BoardRules &board, WindowControl &windows, Question &question, InputGate &gate)
    : rules_(module, board, windows, question), gate_(gate)
{
    SetUpWindow(this, "Form3", QString(), WinnerWidth, WinnerHeight, WinnerColour);
    PlaceOnPrimaryScreen(this, WinnerLeft, WinnerTop);
    BuildElements(this, WinnerLayout());
    label1_ = findChild<TextLabel *>(QStringLiteral("Label1"));
    auto *command1 = findChild<QPushButton *>(QStringLiteral("Command1"));
    command1_ = command1;
    connect(command1, &QPushButton::clicked, this, &Form3::Command1_Click);
    command1->setFocus();
    speaker_ = std::make_unique<Speaker>(this);
}

Form3::~Form3() = default;

void Form3::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    if (!event->spontaneous()) {
        // Read once the window is up; one line per winner on the window, one sentence for the ear.
        QTimer::singleShot(0, this, [this] {
            speaker_->Say(label1_->text().split(QStringLiteral("\r\n"), Qt::SkipEmptyParts).join(QLatin1Char(' ')));
        });
    }
}

void Form3::Form_Load()
{
    rules_.Form_Load();
    label1_->SetCaption(rules_.Label1);
}

void Form3::BringForward()
{
    show();
    raise();
    activateWindow();
    command1_->setFocus(Qt::OtherFocusReason);
}

void Form3::Command1_Click()
{
    gate_.Input([self = QPointer(this)] {
        if (self && !self->unloading_)
            self->Answer();
    });
}

void Form3::Answer()
{
    Guard([this] { rules_.Command1_Click(); });
    emit Answered();
}

void Form3::Unload()
{
    unloading_ = true;
    close();
}

void Form3::closeEvent(QCloseEvent *event)
{
    if (unloading_)
        return;
    // The frame's close: the window goes once the turn on the screen has been played back; the board and the game stay
    // as they are. Asked from the next turn of the event loop: the close in progress cannot be repeated from inside
    // itself.
    event->ignore();
    QMetaObject::invokeMethod(
        this,
        [this] {
            gate_.Input([self = QPointer(this)] {
                if (self)
                    self->Unload();
            });
        },
        Qt::QueuedConnection);
}

}  // namespace kiramoku::screens
