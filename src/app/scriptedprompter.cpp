#include "scriptedprompter.h"

#include <QTextStream>
#include <cstdio>

namespace velmira {

namespace {

QString buttonName(Prompter::Button button)
{
    switch (button) {
    case Prompter::Button::Ok:
        return QStringLiteral("Ok");
    case Prompter::Button::Yes:
        return QStringLiteral("Yes");
    case Prompter::Button::No:
        return QStringLiteral("No");
    case Prompter::Button::Cancel:
        return QStringLiteral("Cancel");
    }
    return {};
}

QString iconName(Prompter::Icon icon)
{
    switch (icon) {
    case Prompter::Icon::None:
        return QStringLiteral("None");
    case Prompter::Icon::Information:
        return QStringLiteral("Information");
    case Prompter::Icon::Warning:
        return QStringLiteral("Warning");
    case Prompter::Icon::Question:
        return QStringLiteral("Question");
    case Prompter::Icon::Critical:
        return QStringLiteral("Critical");
    }
    return {};
}

} // namespace

ScriptedPrompter::ScriptedPrompter(const QString &answers)
{
    for (const QString &word : answers.split(u',', Qt::SkipEmptyParts)) {
        for (Button b : {Button::Ok, Button::Yes, Button::No, Button::Cancel}) {
            if (word.trimmed().compare(buttonName(b), Qt::CaseInsensitive) == 0)
                m_answers.enqueue(b);
        }
    }
}

std::unique_ptr<ScriptedPrompter> ScriptedPrompter::fromEnvironment()
{
    if (!qEnvironmentVariableIsSet("VELMIRA_ANSWERS"))
        return nullptr;
    return std::make_unique<ScriptedPrompter>(qEnvironmentVariable("VELMIRA_ANSWERS"));
}

Prompter::Button ScriptedPrompter::message(QWidget *, const QString &caption, const QString &text, Icon icon,
                                           Buttons buttons, Button defaultButton)
{
    QString shown = text;
    shown.replace(QStringLiteral("\r\n"), QStringLiteral("\\n"));
    QTextStream out(stdout);
    out << caption << '\t' << iconName(icon) << '\t' << buttonName(defaultButton) << '\t' << shown << '\n';
    out.flush();
    if (!m_answers.isEmpty())
        return m_answers.dequeue();
    if (buttons.testFlag(Button::Ok))
        return Button::Ok;
    if (buttons.testFlag(Button::Cancel))
        return Button::Cancel;
    return Button::No;
}

} // namespace velmira
