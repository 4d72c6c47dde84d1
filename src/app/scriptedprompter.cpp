#include "scriptedprompter.h"

#include <QTextStream>
#include <cstdio>

using namespace Qt::StringLiterals;

namespace velmira {

namespace {

QString buttonName(Prompter::Button button)
{
    switch (button) {
    case Prompter::Button::Ok:
        return u"Ok"_s;
    case Prompter::Button::Yes:
        return u"Yes"_s;
    case Prompter::Button::No:
        return u"No"_s;
    case Prompter::Button::Cancel:
        return u"Cancel"_s;
    }
    return {};
}

QString iconName(Prompter::Icon icon)
{
    switch (icon) {
    case Prompter::Icon::None:
        return u"None"_s;
    case Prompter::Icon::Information:
        return u"Information"_s;
    case Prompter::Icon::Warning:
        return u"Warning"_s;
    case Prompter::Icon::Question:
        return u"Question"_s;
    case Prompter::Icon::Critical:
        return u"Critical"_s;
    }
    return {};
}

} // namespace

ScriptedPrompter::ScriptedPrompter(const QString &answers)
{
    for (const QString &word : answers.split(u',', Qt::SkipEmptyParts))
        m_answers.enqueue(word.trimmed());
}

std::unique_ptr<ScriptedPrompter> ScriptedPrompter::fromEnvironment()
{
    if (!qEnvironmentVariableIsSet("VELMIRA_ANSWERS"))
        return nullptr;
    return std::make_unique<ScriptedPrompter>(qEnvironmentVariable("VELMIRA_ANSWERS"));
}

void ScriptedPrompter::write(const QString &caption, Icon icon, const QString &defaultAnswer,
                             const QString &text)
{
    QString shown = text;
    shown.replace(u"\r\n"_s, u"\\n"_s);
    QTextStream out(stdout);
    out << caption << '\t' << iconName(icon) << '\t' << defaultAnswer << '\t' << shown << '\n';
    out.flush();
}

Prompter::Button ScriptedPrompter::message(QWidget *, const QString &caption, const QString &text, Icon icon,
                                           Buttons buttons, Button defaultButton)
{
    write(caption, icon, buttonName(defaultButton), text);
    while (!m_answers.isEmpty()) {
        const QString answer = m_answers.dequeue();
        for (Button b : {Button::Ok, Button::Yes, Button::No, Button::Cancel}) {
            if (answer.compare(buttonName(b), Qt::CaseInsensitive) == 0)
                return b;
        }
    }
    if (buttons.testFlag(Button::Ok))
        return Button::Ok;
    if (buttons.testFlag(Button::Cancel))
        return Button::Cancel;
    return Button::No;
}

int ScriptedPrompter::choose(QWidget *, const QString &caption, const QString &text, Icon icon,
                             const QStringList &choices, int defaultChoice, int escapeChoice)
{
    QStringList plain;
    for (const QString &choice : choices)
        plain.append(QString(choice).remove(u'&'));
    write(caption, icon, plain.value(defaultChoice), text);
    if (m_answers.isEmpty())
        return escapeChoice;
    const qsizetype index = plain.indexOf(m_answers.dequeue(), 0);
    return index < 0 ? escapeChoice : int(index);
}

} // namespace velmira
