#pragma once
// The modal Yes/No question with the information icon.
#include "ports.h"

namespace kiramoku::screens {

class MessageQuestion : public Question {
public:
    bool AskYes(const QString &text, const QString &title, bool yesIsDefault, Dismissal dismissal) override;
};

// The answer buttons' captions as the user's desktop words them in Japanese:
// Qt's own translation when it is installed, else "はい" and "いいえ".
QString YesCaption();
QString NoCaption();

} // namespace kiramoku::screens
