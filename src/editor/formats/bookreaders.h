// The readers of book and document formats. Each reads the whole file into a Book, or throws Error
// with the reason in Russian (without the file's name, which the caller adds) when the file is damaged,
// encrypted, hostile or holds no text.
#pragma once

#include <QByteArray>
#include <QString>
#include <functional>

class QXmlStreamAttributes;
class QXmlStreamReader;

namespace velmira {

class Book;
class ZipArchive;

// FictionBook 2, in the encoding its XML declaration names: titles as headings, emphasis in italic,
// strong in bold, pictures where they stand, notes bodies after the main text, note links left out.
void readFb2(const QByteArray &bytes, Book &book);
// An FB2 book inside a zip archive.
void readZippedFb2(ZipArchive &archive, Book &book);
// An EPUB 2 or 3 book: its chapters in the order of its spine, the navigation document left out.
void readEpub(ZipArchive &archive, Book &book);
// An Office Open XML text document (DOCX).
void readDocx(ZipArchive &archive, Book &book);
// An OpenDocument text (ODT).
void readOdt(ZipArchive &archive, Book &book);
// An HTML or XHTML page, in the charset it declares, else UTF-8, else Windows-1251; scripts and
// styles left out. `picture` gives the bytes of a picture or style sheet the page links to, or nothing.
void readHtml(const QByteArray &bytes, Book &book,
              const std::function<QByteArray(const QString &)> &picture = {});
// The text layer of a PDF document, page by page.
void readPdf(const QByteArray &bytes, Book &book);

// The text of an HTML page as decoded by readHtml.
QString decodeHtml(const QByteArray &bytes);

// Reads the next token and refuses, with Error, a document type that declares entities (which could
// expand beyond any sensible size); ends with Error at a syntax error.
void readXmlToken(QXmlStreamReader &xml);

// The value of the attribute with the local name `name`, whatever prefix its namespace has in the
// file ("w:val", "text:style-name"); empty when there is none.
QString xmlAttribute(const QXmlStreamAttributes &attributes, QStringView name);
bool hasXmlAttribute(const QXmlStreamAttributes &attributes, QStringView name);

} // namespace velmira
