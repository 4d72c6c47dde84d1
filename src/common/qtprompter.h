// The program's dialogs, shown with Qt.
#pragma once

#include "prompter.h"

namespace velmira {

class QtPrompter : public Prompter
{
public:
    Button message(QWidget *owner, const QString &caption, const QString &text, Icon icon, Buttons buttons,
                   Button defaultButton = Button::Ok) override;
    QString openFileName(QWidget *owner, const QString &title, const QString &filter,
                         const QString &name = {}) override;
    QString saveFileName(QWidget *owner, const QString &title, const QString &filter,
                         const QString &name = {}) override;
    std::optional<FontChoice> chooseFont(QWidget *owner, const FontChoice &initial) override;
};

// Turns a filter written as "Description|*.ext|Description|*.*" into Qt's "Description (*.ext);;...".
// "*.*" means every file, also one without an extension.
QString qtFileFilter(const QString &filter);

} // namespace velmira
