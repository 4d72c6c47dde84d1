// Questions, messages and file and font choices: every dialog the program asks the user through.
#pragma once

#include <QColor>
#include <QFlags>
#include <QFont>
#include <QString>
#include <QStringList>
#include <optional>

class QWidget;

namespace velmira {

// The program's dialogs go through this interface, so that tests can answer them from a script and
// read what was asked. The program uses the Qt dialogs (QtPrompter).
class Prompter
{
public:
    enum class Icon { None, Information, Warning, Question, Critical };
    enum class Button { Ok = 0x1, Yes = 0x2, No = 0x4, Cancel = 0x8 };
    Q_DECLARE_FLAGS(Buttons, Button)

    struct FontChoice
    {
        QFont font;
        QColor color;
    };

    virtual ~Prompter() = default;

    // A message box. Returns the button pressed; closing the box without a button gives Cancel when
    // the box has one, else No when it has one, else Ok. `defaultButton` Ok means the first button.
    virtual Button message(QWidget *owner, const QString &caption, const QString &text, Icon icon,
                           Buttons buttons, Button defaultButton = Button::Ok) = 0;

    // A message box with one OK button that does not wait: the program goes on at once, and several may
    // be open together. The default waits like `message`, which is what a scripted fake needs.
    virtual void notify(QWidget *owner, const QString &caption, const QString &text, Icon icon)
    {
        message(owner, caption, text, icon, Button::Ok);
    }

    // A message box whose buttons say what they do (a "&" marks the key that presses a button). Returns
    // the index of the button pressed: Enter presses `defaultChoice`; Esc, and closing the box without
    // a button, give `escapeChoice`.
    virtual int choose(QWidget *owner, const QString &caption, const QString &text, Icon icon,
                       const QStringList &choices, int defaultChoice, int escapeChoice) = 0;

    // A file-open box. `filter` is written as "Description|*.ext|Description|*.*"; `name` is the name
    // shown at first. Returns the chosen path, empty when cancelled.
    virtual QString openFileName(QWidget *owner, const QString &title, const QString &filter,
                                 const QString &name = {}) = 0;
    // A file-save box, the same way. `chosenType`, when given, receives the position (from 0) of the
    // type the user left chosen in the box's list of types, -1 when cancelled or unknown.
    virtual QString saveFileName(QWidget *owner, const QString &title, const QString &filter,
                                 const QString &name = {}, int *chosenType = nullptr) = 0;

    // The font box, filled with `initial`. Returns nothing when cancelled.
    virtual std::optional<FontChoice> chooseFont(QWidget *owner, const FontChoice &initial) = 0;

    // Shorthands.
    void inform(QWidget *owner, const QString &caption, const QString &text, Icon icon = Icon::Information)
    {
        message(owner, caption, text, icon, Button::Ok);
    }
    bool askYesNo(QWidget *owner, const QString &caption, const QString &text,
                  Button defaultButton = Button::Yes)
    {
        return message(owner, caption, text, Icon::Question, Buttons(Button::Yes) | Button::No,
                       defaultButton) == Button::Yes;
    }
};

Q_DECLARE_OPERATORS_FOR_FLAGS(Prompter::Buttons)

// The caption of the program's message boxes.
inline QString programCaption()
{
    using namespace Qt::StringLiterals;
    return u"Вельмира 6.1"_s;
}

// What the user is told when a text could not be spoken.
inline QString speechFailureText()
{
    using namespace Qt::StringLiterals;
    return u"Ошибка! Возможно, звуковая карта занята другим приложением."_s;
}

} // namespace velmira
