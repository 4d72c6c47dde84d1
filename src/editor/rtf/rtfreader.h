// Reading RTF documents into the editor's document.
#pragma once

#include <QByteArray>
#include <QTextFormat>

#include <functional>
#include <limits>

class QTextDocument;

namespace velmira {

// True when the bytes are an RTF document: they start with "{\rtf", possibly after white space or a
// UTF-8 byte-order mark.
bool looksLikeRtf(const QByteArray &bytes);

// Reads an RTF document into `document` and returns true. The document's content (text, formatting,
// pictures) is replaced by what the file holds and its undo history is cleared; its default font is
// kept. Returns false and leaves the document untouched when the bytes are not RTF (see looksLikeRtf),
// so that the caller can load them as plain text.
//
// What is read: text in the code page of its font (\fcharset, \cpg) or of the document (\ansicpg),
// \'hh and \uN with \ucN; bold, italic, underline, strike-out, font, size, text and background colour,
// sub- and superscript; alignment, indents, spacing before and after, line spacing; \line as a line
// break inside the paragraph, \tab as a tab. Tables give one paragraph per row with the cells' texts
// separated by tabs. Fields show their result. PNG and JPEG pictures become images of their
// display size; other pictures, headers, footers, footnotes, comments and hidden text are left out.
//
// Fonts: text takes the family its font names, for the first MostFamiliesShown families of the
// document; text in any further family is shown in the document's default font and keeps the name in
// UnshownFontFamily, which writeRtf writes as its font (the name is kept, the look is not).
//
// Sizes: a size is read as points (\fs is in half points, pictures and indents in twips, 15 twips to a
// pixel). Text in the size and font family of the document's default font gets neither of its own,
// so that it keeps following the default font exactly; that default is compared after the same
// rounding as writeRtf uses (a 15 px font is written as 11.5 pt and read back as the default).
//
// Damaged input is read as far as it goes: missing or extra braces, a file cut off anywhere, absurd
// numbers, very deep nesting and binary junk never make it fail, hang or take memory beyond a small
// multiple of the input's size. Reading stops where the outermost group closes, or once the document
// has more than `mostParagraphs` paragraphs (a caller that refuses such a document need not wait for
// the rest).
//
// A long document's beginning can be shown while the rest is read: `beginningRead`, when given, is
// called once, with the rest still to come, as soon as the document holds its first paragraphs (see
// isBeginning); never for a shorter document.
bool readRtf(const QByteArray &bytes, QTextDocument &document,
             qint64 mostParagraphs = std::numeric_limits<qint64>::max(),
             const std::function<void()> &beginningRead = {});

// As many paragraphs, or characters, as are enough to show as the beginning of a longer document: a
// few screenfuls of the largest window, laid out in a few milliseconds.
inline constexpr qint64 BeginningParagraphs = 200;
inline constexpr qint64 BeginningCharacters = 20 * 1000;

constexpr bool isBeginning(qint64 paragraphs, qint64 characters)
{
    return paragraphs >= BeginningParagraphs || characters >= BeginningCharacters;
}

// Every family a document shows costs Qt a search among the system's fonts the first time it draws
// it, a millisecond or two for one the system does not have: a document switching among 100,000 fonts
// would be drawn after minutes. Real documents name a few dozen.
inline constexpr int MostFamiliesShown = 256;

// The character format property (a string) holding the family of a font the document names but does
// not show (see readRtf).
inline constexpr int UnshownFontFamily = QTextFormat::UserProperty + 1;

} // namespace velmira
