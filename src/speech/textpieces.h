// Cutting texts into sentence-sized pieces for the synthesiser, and mapping the engine's character
// positions back to positions in the text.
#pragma once

#include <QList>
#include <QString>
#include <QStringView>

#include <vector>

namespace velmira {

// Where a piece of text that is handed to the synthesiser on its own ends.
struct PieceEnd
{
    // End of the piece (exclusive), an offset into the whole text.
    qsizetype end = 0;
    // The piece closes a sentence or a paragraph, so a sentence pause belongs after it; false when it
    // was cut at a blank inside a long sentence.
    bool sentenceEnd = false;
};

// Finds the end of the piece of `text` that starts at `from`: the first sentence end (., !, ? or …,
// possibly followed by closing quotes or brackets, then a blank or the end of the text, and not
// followed by a word in lower case, as in "т. е.") or the first line break. A piece is never longer
// than `limit` characters: a longer sentence is cut after the last blank within the limit, or, when
// there is none, at the limit itself (never between the two halves of a surrogate pair).
// Returns the end of the text when the rest is shorter than that. `from` must be below text.size().
PieceEnd findPieceEnd(QStringView text, qsizetype from, qsizetype limit);

// A part of a text, in UTF-16 units.
struct TextSpan
{
    qsizetype position = 0;
    qsizetype length = 0;

    bool isEmpty() const { return length <= 0; }
    friend bool operator==(const TextSpan &, const TextSpan &) = default;
};

// The word of `text` that the synthesiser means when it reports a word at `position` (with a
// length that is not to be trusted). Its reports are loose: a number is reported several times with shifted
// ranges, and some words are reported one character early, on the blank before them. The word is
// the run of non-blank characters the report starts in (or, when it starts on blanks, the next
// run), without punctuation at its ends. Empty when only blanks follow.
TextSpan wordAt(QStringView text, qsizetype position);

// A piece converted for the synthesiser: one wchar_t per Unicode character, zero-terminated, with
// the way back from character numbers to UTF-16 offsets in the piece.
class EnginePiece
{
public:
    explicit EnginePiece(QStringView piece);

    const wchar_t *data() const { return m_chars.data(); }
    // Size in bytes, the terminating zero included.
    size_t byteSize() const { return m_chars.size() * sizeof(wchar_t); }
    // Number of characters, without the terminating zero.
    qsizetype characterCount() const { return qsizetype(m_chars.size()) - 1; }

    // The UTF-16 offset in the piece where character `index` (from 0) starts; the piece's UTF-16
    // length for index == characterCount(). Indexes outside are clamped.
    qsizetype utf16Offset(qsizetype index) const;

private:
    std::vector<wchar_t> m_chars;
    // UTF-16 offsets of every character, only when the piece has surrogate pairs.
    std::vector<qsizetype> m_offsets;
    qsizetype m_utf16Size = 0;
};

} // namespace velmira
