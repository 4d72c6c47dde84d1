#include "longwords.h"

#include <QTextCursor>
#include <QTextDocument>
#include <QTextOption>

#include <algorithm>

namespace velmira {

namespace {

// Where Qt may break a line between words. Hyphens and the like are break points too but are left out:
// a word taken for longer than it is only gets its lines broken anywhere.
bool isSpaceAt(const QTextDocument &document, int position)
{
    return document.characterAt(position).isSpace();
}

void setWrapMode(QTextDocument &document, QTextOption::WrapMode mode)
{
    QTextOption option = document.defaultTextOption();
    if (option.wrapMode() == mode)
        return;
    option.setWrapMode(mode);
    document.setDefaultTextOption(option);
}

} // namespace

bool hasLongWordAround(const QTextDocument &document, int from, int to)
{
    const int end = document.characterCount() - 1;
    from = std::clamp(from, 0, end);
    to = std::clamp(to, from, end);
    // The words cut by the change's ends reach out of it; looking a word's length further is enough.
    int first = from;
    while (first > 0 && from - first <= LongestWrappedWord && !isSpaceAt(document, first - 1))
        --first;
    int last = to;
    while (last < end && last - to <= LongestWrappedWord && !isSpaceAt(document, last))
        ++last;
    QTextCursor cursor(const_cast<QTextDocument *>(&document));
    cursor.setPosition(first);
    cursor.setPosition(last, QTextCursor::KeepAnchor);
    const QString text = cursor.selectedText();
    qsizetype word = 0;
    for (const QChar c : text) {
        word = c.isSpace() ? 0 : word + 1;
        if (word > LongestWrappedWord)
            return true;
    }
    return false;
}

void fitWrapModeToChange(QTextDocument &document, int from, int added)
{
    const bool wholeText = from == 0 && added >= document.characterCount() - 1;
    if (wholeText)
        setWrapMode(document, QTextOption::WrapAtWordBoundaryOrAnywhere);
    else if (document.defaultTextOption().wrapMode() == QTextOption::WrapAnywhere)
        return;
    if (hasLongWordAround(document, from, from + added))
        setWrapMode(document, QTextOption::WrapAnywhere);
}

} // namespace velmira
