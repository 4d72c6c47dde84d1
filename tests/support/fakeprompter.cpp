#include "fakeprompter.h"

namespace velmira {

Prompter::Button FakePrompter::message(QWidget *, const QString &caption, const QString &text, Icon icon,
                                       Buttons buttons, Button defaultButton)
{
    asked.append({Asked::Kind::Message, caption, text, icon, buttons, defaultButton, {}, {}, -1, -1});
    if (whenAsked)
        whenAsked();
    if (!answers.isEmpty())
        return answers.dequeue();
    if (buttons.testFlag(Button::Ok))
        return Button::Ok;
    if (buttons.testFlag(Button::Cancel))
        return Button::Cancel;
    return Button::No;
}

int FakePrompter::choose(QWidget *, const QString &caption, const QString &text, Icon icon,
                         const QStringList &offered, int defaultChoice, int escapeChoice)
{
    asked.append({Asked::Kind::Message,
                  caption,
                  text,
                  icon,
                  {},
                  Button::Ok,
                  {},
                  offered,
                  defaultChoice,
                  escapeChoice});
    if (whenAsked)
        whenAsked();
    if (choices.isEmpty())
        return escapeChoice;
    const QString answer = choices.dequeue();
    const qsizetype index = offered.indexOf(answer);
    // A script that answers with a button the box does not have is wrong about the program.
    Q_ASSERT_X(index >= 0, "FakePrompter::choose", qPrintable(answer));
    return index < 0 ? escapeChoice : int(index);
}

QString FakePrompter::openFileName(QWidget *, const QString &title, const QString &filter,
                                   const QString &name)
{
    asked.append({Asked::Kind::OpenFile, title, filter, Icon::None, {}, Button::Ok, name, {}, -1, -1});
    return files.isEmpty() ? QString() : files.dequeue();
}

QString FakePrompter::saveFileName(QWidget *, const QString &title, const QString &filter,
                                   const QString &name, int *chosenType)
{
    asked.append({Asked::Kind::SaveFile, title, filter, Icon::None, {}, Button::Ok, name, {}, -1, -1});
    const int type = fileTypes.isEmpty() ? -1 : fileTypes.dequeue();
    if (chosenType)
        *chosenType = files.isEmpty() ? -1 : type;
    return files.isEmpty() ? QString() : files.dequeue();
}

std::optional<Prompter::FontChoice> FakePrompter::chooseFont(QWidget *, const FontChoice &initial)
{
    asked.append({Asked::Kind::Font, {}, {}, Icon::None, {}, Button::Ok, {}, {}, -1, -1});
    lastFontShown = initial;
    if (fonts.isEmpty())
        return std::nullopt;
    return fonts.dequeue();
}

QStringList FakePrompter::messages() const
{
    QStringList texts;
    for (const Asked &a : asked) {
        if (a.kind == Asked::Kind::Message)
            texts.append(a.text);
    }
    return texts;
}

} // namespace velmira
