#include "form2.h"

#include "guard.h"
#include "layouts.h"
#include "windowlook.h"

#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>

namespace kiramoku::screens {

namespace {
constexpr int NameBoxes = 4;
}

Form2::Form2(std::function<void()> showBoard)
    : showBoard_(std::move(showBoard))
{
    SetUpWindow(this, "Form2", QStringLiteral("設定画面"), SelectionWidth, SelectionHeight, SelectionColour);
    PlaceOnPrimaryScreen(this, SelectionLeft, SelectionTop);
    BuildElements(this, SelectionLayout());

    list1_ = findChild<QListWidget *>(QStringLiteral("List1"));
    auto *command1 = findChild<QPushButton *>(QStringLiteral("Command1"));
    connect(list1_, &QListWidget::itemSelectionChanged, this, &Form2::List1_Click);
    connect(command1, &QPushButton::clicked, this, [this] { showBoard_(); });

    // Tab order: the name boxes, the start button, the list; labels take no focus.
    for (int i = 0; i + 1 < NameBoxes; ++i)
        setTabOrder(box(i), box(i + 1));
    setTabOrder(box(NameBoxes - 1), command1);
    setTabOrder(command1, list1_);
    box(0)->setFocus();
}

QLineEdit *Form2::box(int index) const
{
    auto *found = findChild<QLineEdit *>(ElementName("Text1", index));
    if (!found)
        StopOnProgramError(("name box missing: Text1(" + std::to_string(index) + ")").c_str());
    return found;
}

int Form2::ListIndex() const
{
    const QModelIndexList chosen = list1_->selectionModel()->selectedRows();
    return chosen.isEmpty() ? -1 : chosen.first().row();
}

void Form2::SetListIndex(int index)
{
    list1_->setCurrentRow(index);
}

QString Form2::Text(int index) const
{
    return box(index)->text();
}

void Form2::Hide()
{
    hide();
}

void Form2::Unload()
{
    // The board's load still runs inside this window's start button.
    deleteLater();
}

void Form2::List1_Click()
{
    for (int i = 1; i < NameBoxes; ++i)
        box(i)->hide();
    const int chosen = ListIndex();
    for (int i = 1; i <= chosen; ++i)
        box(i)->show();
}

}  // namespace kiramoku::screens
