#include "question.h"

#include <QApplication>
#include <QMessageBox>

namespace kiramoku::screens {

bool MessageQuestion::AskYes(const QString &text, const QString &title, bool yesIsDefault)
{
    QMessageBox box(QMessageBox::Information, title, text, QMessageBox::Yes | QMessageBox::No,
                    QApplication::activeWindow());
    box.setTextFormat(Qt::PlainText);
    box.setDefaultButton(yesIsDefault ? QMessageBox::Yes : QMessageBox::No);
    return box.exec() == QMessageBox::Yes;
}

} // namespace kiramoku::screens
