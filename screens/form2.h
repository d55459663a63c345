#pragma once
// The selection window: how many characters people play, and their names.
#include "ports.h"

#include <QWidget>

#include <functional>

class QLineEdit;
class QListWidget;

namespace kiramoku::screens {

class Form2 : public QWidget, public SelectionWindow {
    Q_OBJECT
public:
    // `showBoard` opens the board window, which takes the choices over.
    explicit Form2(std::function<void()> showBoard);

    int ListIndex() const override;
    void SetListIndex(int index) override;
    QString Text(int index) const override;
    void Hide() override;
    void Unload() override;

public slots:
    void List1_Click();

private:
    QLineEdit *box(int index) const;
    std::function<void()> showBoard_;
    QListWidget *list1_;
};

}  // namespace kiramoku::screens
