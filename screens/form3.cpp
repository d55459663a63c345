#include "form3.h"

#include "announcer.h"
#include "elements.h"
#include "guard.h"
#include "layouts.h"
#include "windowlook.h"

#include <QPushButton>
#include <QShowEvent>
#include <QTimer>

namespace kiramoku::screens {

Form3::Form3(Module1 &module, BoardRules &board, WindowControl &windows, Question &question)
    : rules_(module, board, windows, question)
{
    setObjectName(QStringLiteral("Form3"));
    setAttribute(Qt::WA_DeleteOnClose);
    SetUpWindow(this, QString(), WinnerWidth, WinnerHeight, WinnerColour);
    BuildElements(this, WinnerLayout());
    label1_ = findChild<TextLabel *>(QStringLiteral("Label1"));
    auto *command1 = findChild<QPushButton *>(QStringLiteral("Command1"));
    connect(command1, &QPushButton::clicked, this, &Form3::Command1_Click);
    command1->setFocus();
    speaker_ = std::make_unique<Speaker>(this);
}

Form3::~Form3() = default;

void Form3::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    if (!event->spontaneous()) {
        // Read once the window is up; one line per winner on the window, one
        // sentence for the ear.
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

void Form3::Command1_Click()
{
    Guard([this] { rules_.Command1_Click(); });
    emit Answered();
}

} // namespace kiramoku::screens
