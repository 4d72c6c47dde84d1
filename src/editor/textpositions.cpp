#include "textpositions.h"

#include <QTextBlock>
#include <QTextDocument>
#include <algorithm>

namespace velmira {

namespace {

// The number of characters of the document, without the final paragraph end QTextDocument keeps.
int documentLength(const QTextDocument &document)
{
    return std::max(0, document.characterCount() - 1);
}

} // namespace

int toCrLfPosition(const QTextDocument &document, int position)
{
    position = std::clamp(position, 0, documentLength(document));
    const QTextBlock block = document.findBlock(position);
    // Every paragraph before this one ends with one break character that counts twice.
    return position + (block.isValid() ? block.blockNumber() : 0);
}

int fromCrLfPosition(const QTextDocument &document, int position)
{
    if (position <= 0)
        return 0;
    // Find the last paragraph whose CR LF start is not after `position`: paragraph b starts at
    // document position s and CR LF position s + b, and both grow with b.
    int low = 0;
    int high = document.blockCount() - 1;
    while (low < high) {
        const int mid = (low + high + 1) / 2;
        const QTextBlock block = document.findBlockByNumber(mid);
        if (block.position() + mid <= position)
            low = mid;
        else
            high = mid - 1;
    }
    const QTextBlock block = document.findBlockByNumber(low);
    const int offset = position - (block.position() + low);
    return std::min(block.position() + std::min(offset, block.length() - 1), documentLength(document));
}

int crLfLength(const QTextDocument &document)
{
    return documentLength(document) + document.blockCount() - 1;
}

} // namespace velmira
