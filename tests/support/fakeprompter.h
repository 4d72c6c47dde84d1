// A prompter for tests: answers from a script and records every question.
#pragma once

#include "common/core/prompter.h"

#include <QList>
#include <QQueue>
#include <QStringList>
#include <functional>

namespace velmira {

class FakePrompter : public Prompter
{
public:
    // One dialog that was shown.
    struct Asked
    {
        enum class Kind { Message, OpenFile, SaveFile, Font } kind = Kind::Message;
        QString caption; // the caption, or the title of a file box
        QString text;    // the message text, or the filter of a file box
        Icon icon = Icon::None;
        Buttons buttons;
        Button defaultButton = Button::Ok;
        QString name; // the name a file box was filled with
        QStringList choices; // the buttons of a box that offers choices
        int defaultChoice = -1;
        int escapeChoice = -1;
    };

    QList<Asked> asked;
    // Answers to message boxes, in order. With nothing queued a box is answered Ok when it has that
    // button, else Cancel when it has that, else No.
    QQueue<Button> answers;
    // Answers to boxes that offer choices, as the text of the button pressed; with nothing queued such
    // a box is answered as Esc answers it.
    QQueue<QString> choices;
    // Called whenever a message box is shown, after it is recorded and before it is answered: what the
    // user does elsewhere while the box is open.
    std::function<void()> whenAsked;
    // Answers to file boxes, in order; an empty string cancels. When empty a file box is cancelled.
    QQueue<QString> files;
    // The type left chosen in a save box with each of `files` (its position in the list); -1 when empty.
    QQueue<int> fileTypes;
    // Answers to the font box; nothing queued cancels.
    QQueue<FontChoice> fonts;
    // What the last font box was filled with.
    std::optional<FontChoice> lastFontShown;

    Button message(QWidget *owner, const QString &caption, const QString &text, Icon icon, Buttons buttons,
                   Button defaultButton = Button::Ok) override;
    int choose(QWidget *owner, const QString &caption, const QString &text, Icon icon,
               const QStringList &choices, int defaultChoice, int escapeChoice) override;
    QString openFileName(QWidget *owner, const QString &title, const QString &filter,
                         const QString &name = {}) override;
    QString saveFileName(QWidget *owner, const QString &title, const QString &filter,
                         const QString &name = {}, int *chosenType = nullptr) override;
    std::optional<FontChoice> chooseFont(QWidget *owner, const FontChoice &initial) override;

    // The texts of all message boxes shown, in order.
    QStringList messages() const;
};

} // namespace velmira
