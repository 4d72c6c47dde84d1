#include "fakeprompter.h"

namespace velmira {

Prompter::Button FakePrompter::message(QWidget *, const QString &caption, const QString &text, Icon icon,
                                       Buttons buttons, Button defaultButton)
{
    asked.append({Asked::Kind::Message, caption, text, icon, buttons, defaultButton, {}});
    if (!answers.isEmpty())
        return answers.dequeue();
    if (buttons.testFlag(Button::Ok))
        return Button::Ok;
    if (buttons.testFlag(Button::Cancel))
        return Button::Cancel;
    return Button::No;
}

QString FakePrompter::openFileName(QWidget *, const QString &title, const QString &filter,
                                   const QString &name)
{
    asked.append({Asked::Kind::OpenFile, title, filter, Icon::None, {}, Button::Ok, name});
    return files.isEmpty() ? QString() : files.dequeue();
}

QString FakePrompter::saveFileName(QWidget *, const QString &title, const QString &filter,
                                   const QString &name)
{
    asked.append({Asked::Kind::SaveFile, title, filter, Icon::None, {}, Button::Ok, name});
    return files.isEmpty() ? QString() : files.dequeue();
}

std::optional<Prompter::FontChoice> FakePrompter::chooseFont(QWidget *, const FontChoice &initial)
{
    asked.append({Asked::Kind::Font, {}, {}, Icon::None, {}, Button::Ok, {}});
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
