// Opening a document of any format the program reads into a text document, for the editor and for
// the command-line companion alike.
#pragma once

#include <QByteArray>
#include <QString>
#include <functional>

class QTextDocument;

namespace velmira {

enum class DocumentFormat {
    Text,      // plain text (Windows-1251 or UTF-8)
    Rtf,       // a file named ".rtf"
    Fb2,       // FictionBook 2
    ZippedFb2, // an FB2 book in a zip archive (".fb2.zip")
    Epub,
    Docx,
    Odt,
    Html, // HTML or XHTML
    Pdf,
};

// The format of a document, from its first bytes and, where they do not tell, its name. Throws Error
// with a message that names the file and the reason when the bytes are of no format the program reads (a picture, a program, an archive
// without a book, an encrypted or old-style Word document).
DocumentFormat documentFormat(const QString &path, const QByteArray &bytes);

// The bytes of the document at `path`; throws Error naming the file when it cannot be read or is too
// large (checkDocumentFileSize).
QByteArray readDocumentBytes(const QString &path);

// Replaces the content of `document` with the document whose file is `path` and whose bytes are
// `bytes`: rich text with headings in bold and larger type, bold, italic and underlined words,
// pictures, tables as lines of tab-separated cells. A ".rtf" file that holds no RTF and a plain-text
// file are read as plain text. Throws Error with a message in Russian that names the file and the
// reason when the file cannot be read (damaged, encrypted, no text in it, hostile, of no known format),
// leaving the document as it was, and when its text is longer than MaxDocumentLength, which a rich
// document shows only once read: that leaves the document empty. `beginningRead`, when given, is
// called once a long RTF document's beginning is in (see readRtf).
void readDocument(const QString &path, const QByteArray &bytes, QTextDocument &document,
                  const std::function<void()> &beginningRead = {});

// readDocument of the file at `path`.
void readDocumentFile(const QString &path, QTextDocument &document);

// The file types the open box offers, as "Name|*.a;*.b|" pairs.
QString documentFileFilter();

} // namespace velmira
