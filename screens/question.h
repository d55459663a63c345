#pragma once
// The modal Yes/No question with the information icon.
#include "ports.h"

namespace kiramoku::screens {

class MessageQuestion : public Question {
public:
    bool AskYes(const QString &text, const QString &title, bool yesIsDefault, Dismissal dismissal) override;
};

}  // namespace kiramoku::screens
