// The program's dialogs, shown with Qt.
#pragma once

#include "common/core/prompter.h"

#include <QFileDialog>

namespace velmira {

class QtPrompter : public Prompter
{
public:
    Button message(QWidget *owner, const QString &caption, const QString &text, Icon icon, Buttons buttons,
                   Button defaultButton = Button::Ok) override;
    void notify(QWidget *owner, const QString &caption, const QString &text, Icon icon) override;
    int choose(QWidget *owner, const QString &caption, const QString &text, Icon icon,
               const QStringList &choices, int defaultChoice, int escapeChoice) override;
    QString openFileName(QWidget *owner, const QString &title, const QString &filter,
                         const QString &name = {}) override;
    QString saveFileName(QWidget *owner, const QString &title, const QString &filter,
                         const QString &name = {}, int *chosenType = nullptr) override;
    std::optional<FontChoice> chooseFont(QWidget *owner, const FontChoice &initial) override;
};

// Turns a filter written as "Description|*.ext|Description|*.*" into Qt's "Description (*.ext);;...",
// for a file box with FileDialogOptions, which shows each description as written.
// "*.*" means every file, also one without an extension.
QString qtFileFilter(const QString &filter);
inline constexpr QFileDialog::Options FileDialogOptions = QFileDialog::HideNameFilterDetails;

// The font with its style named as the font database names it ("Bold", "Italic"). Qt's font box looks
// a font's style up by a name in the user's language, while its list holds the fonts' own names, so
// under the Russian translation it would show a bold font as the first style of the list.
QFont fontForFontBox(const QFont &font);

} // namespace velmira
