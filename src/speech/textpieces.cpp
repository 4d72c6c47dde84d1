// Cutting texts into sentence-sized pieces for the synthesiser.
#include "textpieces.h"

#include <algorithm>

namespace velmira {

namespace {

bool isSentencePunctuation(QChar c)
{
    return c == u'.' || c == u'!' || c == u'?' || c == u'…';
}

bool isCloser(QChar c)
{
    return c == u'"' || c == u'\'' || c == u'»' || c == u'”' || c == u'’' || c == u')' || c == u']'
           || c == u'}';
}

bool isLineBreak(QChar c)
{
    return c == u'\n' || c == u'\r' || c == u'\v' || c == u'\f' || c == QChar::ParagraphSeparator
           || c == QChar::LineSeparator;
}

bool isBlank(QChar c)
{
    return c.isSpace() && !isLineBreak(c);
}

} // namespace

PieceEnd findPieceEnd(QStringView text, qsizetype from, qsizetype limit)
{
    Q_ASSERT(from >= 0 && from < text.size() && limit > 0);
    const qsizetype size = text.size();
    const qsizetype stop = size - from > limit ? from + limit : size;
    qsizetype afterLastBlank = -1;

    for (qsizetype i = from; i < stop; ++i) {
        const QChar c = text[i];
        if (isLineBreak(c)) {
            qsizetype end = i + 1;
            if (c == u'\r' && end < size && text[end] == u'\n')
                ++end;
            bool emptyLine = false;
            qsizetype next = end;
            while (next < size && text[next].isSpace()) {
                emptyLine = emptyLine || isLineBreak(text[next]);
                ++next;
            }
            // A line that goes on in lower case is a text wrapped by hand, not a new paragraph.
            if (!emptyLine && next < size && text[next].isLower()) {
                afterLastBlank = end;
                i = end - 1;
                continue;
            }
            return {next, true};
        }
        if (isSentencePunctuation(c)) {
            qsizetype end = i + 1;
            while (end < size && (isSentencePunctuation(text[end]) || isCloser(text[end])))
                ++end;
            if (end == size)
                return {size, true};
            if (isBlank(text[end])) {
                qsizetype next = end;
                while (next < size && isBlank(text[next]))
                    ++next;
                if (next == size || !text[next].isLower())
                    return {next, true};
            }
            i = end - 1;
            continue;
        }
        if (isBlank(c))
            afterLastBlank = i + 1;
    }

    if (stop == size)
        return {size, true};
    if (afterLastBlank > from)
        return {afterLastBlank, false};
    qsizetype end = stop;
    if (text[end - 1].isHighSurrogate() && text[end].isLowSurrogate() && end - 1 > from)
        --end;
    return {end, false};
}

TextSpan wordAt(QStringView text, qsizetype position)
{
    const qsizetype size = text.size();
    qsizetype start = std::clamp(position, qsizetype(0), size);
    // A report on blanks means the word after them (the engine is one off after a full stop that
    // does not end a sentence).
    while (start < size && text[start].isSpace())
        ++start;
    if (start == size)
        return {};

    qsizetype from = start;
    while (from > 0 && !text[from - 1].isSpace())
        --from;
    qsizetype to = start;
    while (to < size && !text[to].isSpace())
        ++to;

    qsizetype first = from;
    while (first < to && text[first].isPunct())
        ++first;
    qsizetype last = to;
    while (last > first && text[last - 1].isPunct())
        --last;
    // A word of punctuation alone (a dash read aloud) is shown as it stands.
    if (first == last)
        return {from, to - from};
    return {first, last - first};
}

EnginePiece::EnginePiece(QStringView piece) : m_utf16Size(piece.size())
{
    m_chars.reserve(size_t(piece.size()) + 1);
    bool surrogates = false;
    for (qsizetype i = 0; i < piece.size(); ++i) {
        const QChar c = piece[i];
        if (c.isHighSurrogate() && i + 1 < piece.size() && piece[i + 1].isLowSurrogate()) {
            if (!surrogates) {
                surrogates = true;
                m_offsets.reserve(size_t(piece.size()) + 1);
                for (size_t k = 0; k < m_chars.size(); ++k)
                    m_offsets.push_back(qsizetype(k));
            }
            m_offsets.push_back(i);
            m_chars.push_back(wchar_t(QChar::surrogateToUcs4(c, piece[i + 1])));
            ++i;
            continue;
        }
        if (surrogates)
            m_offsets.push_back(i);
        if (c.isSurrogate())
            m_chars.push_back(wchar_t(QChar::ReplacementCharacter));
        else if (c.isNull())
            m_chars.push_back(L' '); // a zero would end the text for the synthesiser
        else
            m_chars.push_back(wchar_t(c.unicode()));
    }
    if (surrogates)
        m_offsets.push_back(piece.size());
    m_chars.push_back(L'\0');
}

qsizetype EnginePiece::utf16Offset(qsizetype index) const
{
    index = std::clamp(index, qsizetype(0), characterCount());
    if (m_offsets.empty())
        return index;
    return m_offsets[size_t(index)];
}

} // namespace velmira
