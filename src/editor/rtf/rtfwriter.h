// Writing the editor's document as RTF.
#pragma once

#include <QByteArray>

class QTextDocument;

namespace velmira {

// Writes the whole document as RTF that word processors read back with the same text and look:
// "{\rtf1\ansi\ansicpg1251\deff0", a font table (the document's default font first, every font with
// \fcharset204), a colour table, then one \par-ended paragraph for each block of the document.
//
// Characters of Windows-1251 are written as \'hh, every other character as \uN? (so none is lost);
// tabs as \tab, line breaks inside a paragraph as \line. Every run states its font, size, bold,
// italic, underline, strike-out, sub- or superscript and colours in full; text without a format of
// its own takes those of the document's default font. Sizes are written in half points: a size in
// pixels is converted at 96 dpi and rounded to the nearest half point (15 px becomes \fs23).
// Paragraphs state alignment, indents, spacing and line spacing. Pictures are written as hexadecimal
// PNG at their display size; a picture the document holds as JPEG data is written as JPEG. A picture
// whose data the document cannot give is left out.
//
// The same document always gives the same bytes. The text ends with a line end.
QByteArray writeRtf(const QTextDocument &document);

} // namespace velmira
