// Answers the program's message boxes from the environment, for runs without a person at the screen.
#pragma once

#include "common/core/prompter.h"

#include <QQueue>
#include <memory>

namespace velmira {

// Used instead of the real dialogs when VELMIRA_ANSWERS is set, for example "No,Yes": each message box
// takes the next answer (Ok, Yes, No or Cancel) and is written to the standard output as one line,
// "caption<TAB>icon<TAB>default button<TAB>text", line breaks in the text written as "\n". A box with
// no answer left gets Ok, else Cancel, else No. A box that offers choices takes the text of one of its
// buttons (without the "&"), and gets what Esc gives when the answer is none of them. File and font
// boxes are cancelled.
class ScriptedPrompter : public Prompter
{
public:
    explicit ScriptedPrompter(const QString &answers);

    // A prompter for VELMIRA_ANSWERS; null when the variable is not set.
    static std::unique_ptr<ScriptedPrompter> fromEnvironment();

    Button message(QWidget *owner, const QString &caption, const QString &text, Icon icon, Buttons buttons,
                   Button defaultButton = Button::Ok) override;
    int choose(QWidget *owner, const QString &caption, const QString &text, Icon icon,
               const QStringList &choices, int defaultChoice, int escapeChoice) override;
    QString openFileName(QWidget *, const QString &, const QString &, const QString & = {}) override
    {
        return {};
    }
    QString saveFileName(QWidget *, const QString &, const QString &, const QString & = {}, int *chosenType = nullptr) override
    {
        if (chosenType)
            *chosenType = -1;
        return {};
    }
    std::optional<FontChoice> chooseFont(QWidget *, const FontChoice &) override { return std::nullopt; }

private:
    void write(const QString &caption, Icon icon, const QString &defaultAnswer, const QString &text);

    QQueue<QString> m_answers;
};

} // namespace velmira
