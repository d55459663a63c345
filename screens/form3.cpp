#include "form3.h"

#include "elements.h"
#include "guard.h"
#include "layouts.h"
#include "windowlook.h"

#include <QPushButton>

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
