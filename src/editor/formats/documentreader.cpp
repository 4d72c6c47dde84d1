#include "documentreader.h"

#include "book.h"
#include "bookreaders.h"
#include "common/core/error.h"
#include "common/core/textfile.h"
#include "documentfile.h"
#include "editor/rtf/rtfreader.h"
#include "ziparchive.h"

#include <QFileInfo>
#include <QTextDocument>
#include <QXmlStreamReader>

using namespace Qt::StringLiterals;

namespace velmira {

namespace {

bool hasExtension(const QString &path, std::initializer_list<const char *> extensions)
{
    const QString name = QFileInfo(path).fileName();
    for (const char *extension : extensions)
        if (name.endsWith(QLatin1String(extension), Qt::CaseInsensitive))
            return true;
    return false;
}

DocumentFormat zipFormat(const QByteArray &bytes)
{
    ZipArchive archive(bytes);
    QByteArray mimetype;
    if (archive.contains(u"mimetype"_s))
        mimetype = archive.read(u"mimetype"_s).trimmed();
    if (mimetype == "application/epub+zip" || archive.contains(u"META-INF/container.xml"_s))
        return DocumentFormat::Epub;
    if (archive.contains(u"word/document.xml"_s))
        return DocumentFormat::Docx;
    // Writer's own documents, and its web pages and master documents, keep their text alike.
    if (mimetype.startsWith("application/vnd.oasis.opendocument.text") ||
        (mimetype.isEmpty() && archive.contains(u"content.xml"_s)))
        return DocumentFormat::Odt;
    for (const QString &name : archive.names())
        if (name.endsWith(QLatin1String(".fb2"), Qt::CaseInsensitive))
            return DocumentFormat::ZippedFb2;
    throw Error(u"это архив, в котором нет ни книги, ни документа"_s);
}

// Files that begin like these are pictures, sound, programs or archives, never text.
bool hasBinarySignature(const QByteArray &bytes)
{
    static const char *const signatures[] = {
        "\x89PNG", "\xFF\xD8\xFF", "GIF8", "\x1F\x8B", "\x7F" "ELF", "7z\xBC\xAF", "Rar!", "OggS", "ID3",
        "RIFF", "fLaC", "BM", "BZh", "\xFD" "7zXZ", "MZ", "%!PS",
    };
    for (const char *signature : signatures)
        if (bytes.startsWith(signature))
            return true;
    return false;
}

// Text has no NUL bytes and hardly any other control characters. Only the part before a Ctrl+Z
// counts, as the rest is never shown.
bool looksBinary(const QByteArray &bytes)
{
    qsizetype end = bytes.indexOf('\x1A');
    if (end < 0)
        end = bytes.size();
    end = qMin<qsizetype>(end, 64 * 1024);
    qsizetype controls = 0;
    for (qsizetype i = 0; i < end; ++i) {
        const unsigned char c = static_cast<unsigned char>(bytes[i]);
        if (c == 0)
            return true;
        if (c < 0x20 && c != '\t' && c != '\n' && c != '\r' && c != '\f' && c != 0x1B)
            ++controls;
    }
    return controls * 50 > end;
}

QString lowerHead(const QByteArray &bytes)
{
    QByteArray head = bytes.left(4096);
    if (head.startsWith("\xEF\xBB\xBF"))
        head.remove(0, 3);
    return QString::fromLatin1(head).trimmed().toLower();
}

QString failure(const QString &path, const QString &reason)
{
    return u"Не удалось открыть файл «%1»: %2."_s.arg(QFileInfo(path).fileName(), reason);
}

void readBook(DocumentFormat format, const QByteArray &bytes, Book &book)
{
    switch (format) {
    case DocumentFormat::Fb2:
        readFb2(bytes, book);
        break;
    case DocumentFormat::Html:
        readHtml(bytes, book);
        break;
    case DocumentFormat::Pdf:
        readPdf(bytes, book);
        break;
    case DocumentFormat::ZippedFb2:
    case DocumentFormat::Epub:
    case DocumentFormat::Docx:
    case DocumentFormat::Odt: {
        ZipArchive archive(bytes);
        if (format == DocumentFormat::ZippedFb2)
            readZippedFb2(archive, book);
        else if (format == DocumentFormat::Epub)
            readEpub(archive, book);
        else if (format == DocumentFormat::Docx)
            readDocx(archive, book);
        else
            readOdt(archive, book);
        break;
    }
    case DocumentFormat::Text:
    case DocumentFormat::Rtf:
        Q_ASSERT(false);
        break;
    }
}

// Only the text read tells whether it is too long: an RTF file takes several bytes a letter, a zipped
// book far fewer than one. A file no larger than MaxDocumentLength that is not zipped never holds more
// letters than bytes, so hardly any document that reaches here is too long; one that is, is emptied
// again before the refusal is thrown.
void emptyWhenTooLong(QTextDocument &document, const QString &path)
{
    try {
        checkDocumentLength(document, path);
    } catch (const Error &) {
        document.clear();
        throw;
    }
}

} // namespace

void readXmlToken(QXmlStreamReader &xml)
{
    xml.readNext();
    if (xml.isDTD() && !xml.entityDeclarations().isEmpty())
        throw Error(u"в файле объявлены сущности XML, такие файлы не открываются"_s);
    if (xml.hasError())
        throw Error(u"файл повреждён (%1, строка %2)"_s.arg(xml.errorString()).arg(xml.lineNumber()));
}

QString xmlAttribute(const QXmlStreamAttributes &attributes, QStringView name)
{
    for (const QXmlStreamAttribute &attribute : attributes)
        if (attribute.name() == name)
            return attribute.value().toString();
    return {};
}

bool hasXmlAttribute(const QXmlStreamAttributes &attributes, QStringView name)
{
    for (const QXmlStreamAttribute &attribute : attributes)
        if (attribute.name() == name)
            return true;
    return false;
}

static DocumentFormat formatOf(const QString &path, const QByteArray &bytes)
{
    // "Unicode" text as Windows editors save it: its NUL bytes make no binary file of it.
    if (hasUtf16Bom(bytes))
        return hasExtension(path, {".rtf"}) ? DocumentFormat::Rtf : DocumentFormat::Text;
    if (bytes.left(1024).contains("%PDF-"))
        return DocumentFormat::Pdf;
    if (ZipArchive::looksLikeZip(bytes))
        return zipFormat(bytes);
    if (bytes.startsWith("\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1"))
        throw Error(u"это документ, зашифрованный паролем, или документ старого формата Word (.doc), "
                    "такие не открываются"_s);
    if (hasExtension(path, {".rtf"})) {
        // A ".rtf" file without RTF in it is read as plain text, unless it is no text at all.
        if (!looksLikeRtf(bytes) && (hasBinarySignature(bytes) || looksBinary(bytes)))
            throw Error(u"это двоичный файл неизвестного формата, а не текст"_s);
        return DocumentFormat::Rtf;
    }
    if (hasBinarySignature(bytes))
        throw Error(u"это двоичный файл неизвестного формата, а не текст"_s);
    if (hasExtension(path, {".epub", ".docx", ".odt", ".zip", ".pdf"}))
        throw Error(u"файл повреждён"_s);
    const QString head = lowerHead(bytes);
    if (head.contains(QLatin1String("<fictionbook")) || hasExtension(path, {".fb2"}))
        return DocumentFormat::Fb2;
    if (hasExtension(path, {".html", ".htm", ".xhtml", ".xht", ".shtml"}) ||
        head.startsWith(QLatin1String("<!doctype html")) || head.startsWith(QLatin1String("<html")) ||
        (head.startsWith(QLatin1String("<?xml")) && head.contains(QLatin1String("<html"))))
        return DocumentFormat::Html;
    if (looksBinary(bytes))
        throw Error(u"это двоичный файл неизвестного формата, а не текст"_s);
    return DocumentFormat::Text;
}

DocumentFormat documentFormat(const QString &path, const QByteArray &bytes)
{
    try {
        return formatOf(path, bytes);
    } catch (const Error &error) {
        throw Error(failure(path, error.message()));
    }
}

QByteArray readDocumentBytes(const QString &path)
{
    checkDocumentFileSize(path, QFileInfo(path).size());
    const QByteArray bytes = readFileBytes(path);
    // A file can grow between the look and the read.
    checkDocumentFileSize(path, bytes.size());
    return bytes;
}

void readDocument(const QString &path, const QByteArray &bytes, QTextDocument &document,
                  const std::function<void()> &beginningRead)
{
    DocumentFormat format;
    Book book;
    try {
        format = formatOf(path, bytes);
        if (format != DocumentFormat::Text && format != DocumentFormat::Rtf) {
            readBook(format, bytes, book);
            if (!book.hasText())
                throw Error(u"в нём нет текста"_s);
        }
    } catch (const Error &error) {
        throw Error(failure(path, error.message()));
    }
    if (format == DocumentFormat::Rtf && readRtf(bytes, document, MaxDocumentParagraphs, beginningRead)) {
        emptyWhenTooLong(document, path);
        return;
    }
    if (format == DocumentFormat::Text || format == DocumentFormat::Rtf) {
        const QString text = plainDocumentText(bytes);
        checkDocumentLength(text, path);
        const bool undo = document.isUndoRedoEnabled();
        document.setUndoRedoEnabled(false);
        document.setPlainText(text);
        document.setUndoRedoEnabled(undo);
        return;
    }
    fillDocument(book, document);
    emptyWhenTooLong(document, path);
}

void readDocumentFile(const QString &path, QTextDocument &document)
{
    readDocument(path, readDocumentBytes(path), document);
}

QString documentFileFilter()
{
    return u"Книги и документы|*.fb2;*.fb2.zip;*.epub;*.docx;*.odt;*.html;*.htm;*.xhtml;*.pdf;*.rtf;*.txt|"
           "Книги FB2|*.fb2;*.fb2.zip|Книги EPUB|*.epub|Документы Word (DOCX)|*.docx|"
           "Документы OpenDocument (ODT)|*.odt|Страницы HTML|*.html;*.htm;*.xhtml|"
           "Документы PDF|*.pdf|Файлы RTF|*.rtf|Текстовые файлы|*.txt|"_s;
}

} // namespace velmira
