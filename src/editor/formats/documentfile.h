// What a document file holds for the editor, and which name a saved document gets.
#pragma once

#include <QByteArray>
#include <QString>

class QTextDocument;

namespace velmira {

// Documents larger than this are not opened: the editor could not work with them sensibly, and
// reading one would only eat the computer's memory.
constexpr qint64 MaxDocumentSize = qint64(64) * 1024 * 1024;

// The longest text the editor opens, saves and remembers, in characters (a paragraph break counts as
// one). It is the text that is measured, not its file: the same text takes about a byte a character
// as Windows-1251 and three to four as RTF.
constexpr qint64 MaxDocumentLength = MaxDocumentSize;

// The most paragraphs (lines of a plain text) in a text the editor opens, saves and remembers. The
// editor shows a document as one column of lines, and Qt's layout cannot go much further: 2,000,000
// empty paragraphs were never laid out (the window held a processor and a gigabyte for good), and
// every paragraph costs some microseconds to show and half a kilobyte of memory. Texts in real use
// have far fewer: a plain-text book broken into lines of 70 characters has about 15,000 a megabyte.
constexpr qint64 MaxDocumentParagraphs = 1'000'000;

// RTF files larger than this are not opened, and the program never writes one: room for the
// longest text in Russian (four bytes a letter, "\'e0") with its formatting.
constexpr qint64 MaxRtfSize = 4 * MaxDocumentLength;

// Throws Error naming the file when a document file of `size` bytes is too large to open: larger than
// MaxRtfSize for a ".rtf" file, than MaxDocumentSize for any other.
void checkDocumentFileSize(const QString &path, qint64 size);

// Throws Error naming the file when the text of `document` is longer than MaxDocumentLength or has more
// than MaxDocumentParagraphs paragraphs.
void checkDocumentLength(const QTextDocument &document, const QString &path);
// The same for a plain text as the editor takes it in (see plainDocumentText): a line a paragraph.
void checkDocumentLength(const QString &text, const QString &path);

// Saves the whole document as RTF into the file at `path` (atomically, see writeFileAtomically). A
// text the program would not open again is refused before anything is written: Error when it is too
// long (checkDocumentLength) or its RTF too large (checkDocumentFileSize); FileWriteError when the
// file cannot be written.
void saveDocumentRtf(const QTextDocument &document, const QString &path);

// True when the file's extension (from the last dot of its name on) is ".rtf" in any letter case, so
// that «ТЕКСТ.RTF» is read as rich text.
bool hasRtfExtension(const QString &path);

// The text of a plain-text document, as the editor shows it: a line ends at LF or CR LF, a CR that is
// not followed by LF is dropped, a byte 26 (Ctrl+Z) ends the text and whatever follows it is ignored,
// lines may be of any length. Every line, the last one too, is followed by CR LF. The bytes are decoded
// as the program's text files are (Windows-1251, or UTF-8 when the file is UTF-8), or as UTF-16 when
// they start with its byte-order mark, as Windows editors save "Unicode" text.
QString plainDocumentText(const QByteArray &bytes);

// True when the bytes start with a UTF-16 byte-order mark, little- or big-endian.
bool hasUtf16Bom(const QByteArray &bytes);

// The file a document is saved to when the user chose `name` in the save box: the name itself when it
// already ends in ".rtf" (any letter case), otherwise the name with ".rtf" appended («итог» becomes
// «итог.rtf», «итог.txt» becomes «итог.txt.rtf»).
QString rtfSaveName(const QString &name);

} // namespace velmira
