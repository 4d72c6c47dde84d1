#include "formatcommands.h"

#include "common/core/prompter.h"
#include "richedit.h"

#include <QTextBlockFormat>
#include <QTextCursor>

using namespace Qt::StringLiterals;

namespace velmira {

FormatCommands::FormatCommands(RichEdit &editor, Prompter &prompter,
                               std::function<void(const QString &)> status)
    : m_editor(editor), m_prompter(prompter), m_status(std::move(status))
{}

void FormatCommands::change(const std::function<void(QTextCharFormat &)> &change)
{
    QTextCursor cursor = m_editor.textCursor();
    changeSelectionFormat(cursor, change);
    m_editor.setTextCursor(cursor);
}

void FormatCommands::align(Qt::Alignment alignment)
{
    QTextCursor cursor = m_editor.textCursor();
    QTextBlockFormat format;
    format.setAlignment(alignment);
    cursor.mergeBlockFormat(format);
    m_editor.setTextCursor(cursor);
}

void FormatCommands::toggleStyle(StyleFlag flag)
{
    const bool on = !selectionHasStyle(m_editor.textCursor(), flag);
    change([flag, on](QTextCharFormat &format) { setStyleFlag(format, flag, on); });
}

void FormatCommands::stepFontSize(int step)
{
    const int size = selectionPointSize(m_editor.textCursor()) + step;
    change([size](QTextCharFormat &format) { setPointSize(format, size); });
    m_status(u"Текущий размер шрифта %1."_s.arg(selectionPointSize(m_editor.textCursor())));
}

void FormatCommands::chooseFont()
{
    QTextCursor cursor = m_editor.textCursor();
    QFont font = effectiveFont(selectionFormat(cursor), *m_editor.document());
    font.setPointSize(selectionPointSize(cursor));
    const QColor color = selectionColor(cursor, m_editor.palette().color(QPalette::Text));
    const std::optional<Prompter::FontChoice> choice =
        m_prompter.chooseFont(m_editor.window(), {font, color});
    if (!choice)
        return;
    const auto apply = [&choice](QTextCharFormat &format) {
        setFontAndColor(format, choice->font, choice->color);
    };
    if (cursor.hasSelection()) {
        change(apply);
        return;
    }
    if (!m_prompter.askYesNo(
            m_editor.window(), programCaption(),
            u"Не был выделен текст, чтобы применить к нему шрифт.\r\n Применить "
                           "шрифт ко всему тексту?"_s))
        return;
    const int caret = cursor.position();
    cursor.select(QTextCursor::Document);
    changeSelectionFormat(cursor, apply);
    cursor.setPosition(caret);
    m_editor.setTextCursor(cursor);
}

} // namespace velmira
