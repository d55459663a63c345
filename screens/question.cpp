#include "question.h"

#include "windowlook.h"

#include <QApplication>
#include <QCloseEvent>
#include <QKeyEvent>
#include <QMessageBox>
#include <QPushButton>

namespace kiramoku::screens {

namespace {
// A box that only a chosen button answers: Escape and the frame's close
// leave it open.
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

// Qt's standard texts for Yes and No, as the installed translation gives them.
QString StandardCaption(const char *source, const char *fallback)
{
    const QString translated = QCoreApplication::translate("QPlatformTheme", source);
    return translated == QLatin1String(source) ? QString::fromUtf8(fallback) : translated;
}
} // namespace

QString YesCaption()
{
    return StandardCaption("&Yes", "はい");
}

QString NoCaption()
{
    return StandardCaption("&No", "いいえ");
}

bool MessageQuestion::AskYes(const QString &text, const QString &title, bool yesIsDefault, Dismissal dismissal)
{
    AnswerOnlyBox box(QMessageBox::Information, title, text, QMessageBox::Yes | QMessageBox::No,
                      QApplication::activeWindow());
    box.answerOnly = dismissal == Dismissal::NotAnAnswer;
    box.setTextFormat(Qt::PlainText);
    box.button(QMessageBox::Yes)->setText(YesCaption());
    box.button(QMessageBox::No)->setText(NoCaption());
    box.setDefaultButton(yesIsDefault ? QMessageBox::Yes : QMessageBox::No);
    SetWindowTitleExactly(&box, title);
    return box.exec() == QMessageBox::Yes;
}

} // namespace kiramoku::screens
