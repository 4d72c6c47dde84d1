// The formatting commands: alignment, bold, italic, underline, font size steps and the font box.
#pragma once

#include "selectionformat.h"

#include <QString>
#include <functional>

namespace velmira {

class Prompter;
class RichEdit;

class FormatCommands
{
public:
    // `status` shows a short message in the main window's status bar.
    FormatCommands(RichEdit &editor, Prompter &prompter, std::function<void(const QString &)> status);

    // Aligns every paragraph the selection touches (the caret's paragraph when nothing is selected).
    void align(Qt::Alignment alignment);

    // Bold, italic or underline on or off over the whole selection, decided by what is read for it
    // (selectionHasStyle): on when the selection does not wholly have it, off when it does. The other
    // flags stay as each character has them. With nothing selected, the flag for what is typed next.
    void toggleStyle(StyleFlag flag);

    // The selection's size (read from its first character) plus `step` points, written over the whole
    // selection, 1 point at least; then the status message with the size the editor now reports.
    void stepFontSize(int step);

    // The font box, filled from the selection, applied to the selection; with nothing selected, to the
    // whole text after asking, the caret staying where it was.
    void chooseFont();

private:
    void change(const std::function<void(QTextCharFormat &)> &change);

    RichEdit &m_editor;
    Prompter &m_prompter;
    std::function<void(const QString &)> m_status;
};

} // namespace velmira
