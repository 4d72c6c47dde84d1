// The boxes of the program under a benchmark, answered at once.
#pragma once

#include "common/core/prompter.h"

#include <QStringList>

namespace velmira::bench {

// Answers every message box with `answer` and every choice with its Esc choice, asks for no file or
// font, and keeps the texts of the messages it was shown.
class AnsweringPrompter : public Prompter
{
public:
    explicit AnsweringPrompter(Button answer) : m_answer(answer) {}

    QStringList shown;

    Button message(QWidget *, const QString &, const QString &text, Icon, Buttons, Button) override
    {
        shown.append(text);
        return m_answer;
    }
    int choose(QWidget *, const QString &, const QString &text, Icon, const QStringList &, int, int escapeChoice) override
    {
        shown.append(text);
        return escapeChoice;
    }
    QString openFileName(QWidget *, const QString &, const QString &, const QString &) override { return {}; }
    QString saveFileName(QWidget *, const QString &, const QString &, const QString &, int *chosenType) override
    {
        if (chosenType)
            *chosenType = -1;
        return {};
    }
    std::optional<FontChoice> chooseFont(QWidget *, const FontChoice &) override { return std::nullopt; }

private:
    Button m_answer;
};

} // namespace velmira::bench
