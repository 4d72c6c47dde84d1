#include "longwords.h"

#include <QTextBlock>
#include <QTextDocument>
#include <QTextLayout>
#include <QTextOption>

#include <algorithm>

namespace velmira {

namespace {

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
    // A word cut by an end of the change reaches out of it; a word's length further on each side is
    // enough to see it whole or too long. A paragraph break ends a word, so only paragraphs longer than
    // a long word are looked at: a text of many short lines is passed over quickly.
    const int first = std::max(0, from - LongestWrappedWord - 1);
    const int last = to + LongestWrappedWord + 1;
    for (QTextBlock block = document.findBlock(first); block.isValid() && block.position() <= last;
         block = block.next()) {
        if (block.length() <= LongestWrappedWord)
            continue;
        const QString text = block.text();
        const qsizetype begin = std::max(0, first - block.position());
        const qsizetype end = std::min(text.size(), qsizetype(last) - block.position());
        qsizetype word = 0;
        // Hyphens and the like are break points for Qt too, but are left out here: a word taken for
        // longer than it is only gets its lines broken anywhere.
        for (qsizetype i = begin; i < end; ++i) {
            word = text[i].isSpace() ? 0 : word + 1;
            if (word > LongestWrappedWord)
                return true;
        }
    }
    return false;
}

QTextOption::WrapMode wrapModeFor(const QTextDocument &document)
{
    return hasLongWordAround(document, 0, document.characterCount() - 1) ? QTextOption::WrapAnywhere
                                                                          : QTextOption::WrapAtWordBoundaryOrAnywhere;
}

void fitWrapModeToChange(QTextDocument &document, int from, int added)
{
    // One change of mode at most: each lays the document out anew, and wrapped at words even for a
    // moment, a long word takes minutes.
    if (from == 0 && added >= document.characterCount() - 1)
        setWrapMode(document, wrapModeFor(document));
    else if (document.defaultTextOption().wrapMode() != QTextOption::WrapAnywhere &&
             hasLongWordAround(document, from, from + added))
        setWrapMode(document, QTextOption::WrapAnywhere);
}

void keepLongParagraphsLaidOut(QTextDocument &document, int from, int to)
{
    if (document.characterCount() <= LongestUncachedParagraph)
        return;
    // A block's position is looked up in the whole document: the last block is found once.
    const QTextBlock last = document.findBlock(std::min(to, document.characterCount() - 1));
    for (QTextBlock block = document.findBlock(from); block.isValid(); block = block.next()) {
        if (block.length() > LongestUncachedParagraph)
            block.layout()->setCacheEnabled(true);
        if (block == last)
            break;
    }
}

} // namespace velmira
