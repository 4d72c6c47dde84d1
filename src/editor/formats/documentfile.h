// What a document file holds for the editor, and which name a saved document gets.
#pragma once

#include <QByteArray>
#include <QString>

namespace velmira {

// Documents larger than this are not opened: the editor could not work with them sensibly, and
// reading one would only eat the computer's memory.
constexpr qint64 MaxDocumentSize = qint64(64) * 1024 * 1024;

// True when the file's extension (from the last dot of its name on) is ".rtf" in any letter case, so
// that «ТЕКСТ.RTF» is read as rich text.
bool hasRtfExtension(const QString &path);

// The text of a plain-text document, as the editor shows it: a line ends at LF or CR LF, a CR that is
// not followed by LF is dropped, a byte 26 (Ctrl+Z) ends the text and whatever follows it is ignored,
// lines may be of any length. Every line, the last one too, is followed by CR LF. The bytes are decoded
// as the program's text files are (Windows-1251, or UTF-8 when the file is UTF-8).
QString plainDocumentText(const QByteArray &bytes);

// The file a document is saved to when the user chose `name` in the save box: the name itself when it
// already ends in ".rtf" (any letter case), otherwise the name with ".rtf" appended («итог» becomes
// «итог.rtf», «итог.txt» becomes «итог.txt.rtf»).
QString rtfSaveName(const QString &name);

} // namespace velmira
