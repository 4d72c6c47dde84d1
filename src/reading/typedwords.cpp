#include "typedwords.h"

#include <QKeyEvent>

namespace velmira {

QChar typedCharacter(const QKeyEvent &event)
{
    const Qt::KeyboardModifiers modifiers = event.modifiers() & (Qt::ControlModifier | Qt::AltModifier);
    const int key = event.key();
    // Alt alone types nothing into the editor; Ctrl with Alt is AltGr on some keyboards and types the
    // key's text.
    if (modifiers == Qt::AltModifier)
        return {};
    if (key == Qt::Key_Return || key == Qt::Key_Enter)
        return QChar(modifiers == Qt::ControlModifier ? u'\n' : u'\r');
    if (modifiers == Qt::ControlModifier) {
        if (key >= Qt::Key_A && key <= Qt::Key_Z)
            return QChar(char16_t(key - Qt::Key_A + 1));
        return {};
    }
    switch (key) {
    case Qt::Key_Tab:
    case Qt::Key_Backtab:
        return QChar(u'\t');
    case Qt::Key_Backspace:
        return QChar(u'\b');
    case Qt::Key_Escape:
        return QChar(u'\x1b');
    default:
        break;
    }
    // Delete comes with the character DEL on some platforms, yet types nothing.
    const QString text = event.text();
    if (text.isEmpty() || key == Qt::Key_Delete || text.front() == u'\x7f')
        return {};
    return text.front();
}

bool isWordCharacter(QChar c)
{
    const char16_t u = c.unicode();
    return (u >= u'0' && u <= u'9') || (u >= u'@' && u <= u'Z') || (u >= u'a' && u <= u'z') ||
           (u >= u'А' && u <= u'я') || u == u'Ё' || u == u'ё';
}

bool endsWord(QChar typed, int caret)
{
    const char16_t u = typed.unicode();
    if (u < 9 || (u >= 15 && u <= 29))
        return false;
    return !isWordCharacter(typed) && caret > 0;
}

QStringView wordAtEnd(QStringView text)
{
    qsizetype start = text.size();
    while (start > 0 && isWordCharacter(text[start - 1]))
        --start;
    return text.mid(start);
}

} // namespace velmira
