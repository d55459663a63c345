#include "question.h"

#include "windowlook.h"

#include <QApplication>
#include <QCloseEvent>
#include <QKeyEvent>
#include <QMessageBox>
#include <QPushButton>

namespace kiramoku::screens {

namespace {
// A box that only a chosen button answers: Escape and the frame's close leave it open.
class AnswerOnlyBox : public QMessageBox {
public:
    using QMessageBox::QMessageBox;
    bool answerOnly = false;

protected:
    void keyPressEvent(QKeyEvent *event) override
    {
        if (answerOnly && event->matches(QKeySequence::Cancel)) {
            event->accept();
            return;
        }
        QMessageBox::keyPressEvent(event);
    }
    void closeEvent(QCloseEvent *event) override
    {
        if (answerOnly && !clickedButton()) {
            event->ignore();
            return;
        }
        QMessageBox::closeEvent(event);
    }
};

// An answer button's caption as Qt's installed Japanese translation words it, else the plain Japanese word.
QString StandardCaption(const char *source, const char *fallback)
{
    const QString translated = QCoreApplication::translate("QPlatformTheme", source);
    return translated == QLatin1String(source) ? QString::fromUtf8(fallback) : translated;
}
}  // namespace

bool MessageQuestion::AskYes(const QString &text, const QString &title, bool yesIsDefault, Dismissal dismissal)
{
    AnswerOnlyBox box(QMessageBox::Information, title, text, QMessageBox::Yes | QMessageBox::No,
                      QApplication::activeWindow());
    box.answerOnly = dismissal == Dismissal::NotAnAnswer;
    box.setTextFormat(Qt::PlainText);
    box.button(QMessageBox::Yes)->setText(StandardCaption("&Yes", "はい"));
    box.button(QMessageBox::No)->setText(StandardCaption("&No", "いいえ"));
    box.setDefaultButton(yesIsDefault ? QMessageBox::Yes : QMessageBox::No);
    SetWindowTitleExactly(&box, title);
    return box.exec() == QMessageBox::Yes;
}

}  // namespace kiramoku::screens
