// The HTML and XHTML reader: Qt's HTML importer reads the page, this file decides its charset, takes
// out what is never shown and carries the importer's result into the book.
#include "book.h"
#include "bookreaders.h"
#include "common/core/error.h"
#include "common/core/textcodec.h"

#include <QRegularExpression>
#include <QStringDecoder>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextTable>

using namespace Qt::StringLiterals;

namespace velmira {

namespace {

// The charset a page names in its first bytes: an XML declaration, or a meta element.
QByteArray declaredCharset(const QByteArray &bytes)
{
    const QByteArray head = bytes.left(4096);
    static const QRegularExpression xml(uR"(^\s*<\?xml[^>]*encoding\s*=\s*["']([A-Za-z0-9._:-]+)["'])"_s);
    static const QRegularExpression meta(uR"(<meta[^>]*charset\s*=\s*["']?\s*([A-Za-z0-9._:-]+))"_s,
                                         QRegularExpression::CaseInsensitiveOption);
    const QString latin = QString::fromLatin1(head);
    QRegularExpressionMatch match = xml.match(latin);
    if (!match.hasMatch())
        match = meta.match(latin);
    return match.hasMatch() ? match.captured(1).toLatin1() : QByteArray();
}

// Removes the elements whose content is never shown and that Qt's importer would take for text
// (a "<" inside a script ends its reading of the page).
QString withoutHiddenElements(const QString &html)
{
    static const QRegularExpression open(uR"(<(script|style|template)(?=[\s/>]))"_s,
                                         QRegularExpression::CaseInsensitiveOption);
    QString result;
    result.reserve(html.size());
    qsizetype from = 0;
    for (;;) {
        const QRegularExpressionMatch match = open.match(html, from);
        if (!match.hasMatch())
            break;
        result += QStringView(html).sliced(from, match.capturedStart() - from);
        const qsizetype tagEnd = html.indexOf(u'>', match.capturedEnd());
        if (tagEnd < 0)
            return result;
        // <script ... /> in XHTML has no content.
        if (html[tagEnd - 1] == u'/') {
            from = tagEnd + 1;
            continue;
        }
        const QString close = u"</"_s + match.captured(1);
        const qsizetype closeAt = html.indexOf(close, tagEnd, Qt::CaseInsensitive);
        if (closeAt < 0)
            return result;
        const qsizetype closeEnd = html.indexOf(u'>', closeAt);
        if (closeEnd < 0)
            return result;
        from = closeEnd + 1;
    }
    result += QStringView(html).sliced(from);
    return result;
}

// The document the importer fills. It gets the pictures and style sheets a page links to only through
// the reader's own function, never from the disk or the network, whatever the page names.
class PageDocument : public QTextDocument
{
public:
    explicit PageDocument(const std::function<QByteArray(const QString &)> &picture) : m_picture(picture) {}

protected:
    QVariant loadResource(int type, const QUrl &name) override
    {
        if ((type != QTextDocument::ImageResource && type != QTextDocument::StyleSheetResource) || !m_picture)
            return {};
        const QByteArray data = m_picture(name.toString());
        return data.isEmpty() ? QVariant() : QVariant(data);
    }

private:
    const std::function<QByteArray(const QString &)> &m_picture;
};

// The heading level of a block that the page did not mark as a heading but set all in large type, as
// word processors write their headings into EPUB books.
int headingBySize(const QTextBlock &block)
{
    double smallest = 0;
    for (auto it = block.begin(); !it.atEnd(); ++it) {
        const QTextCharFormat format = it.fragment().charFormat();
        if (format.isImageFormat() || it.fragment().text().trimmed().isEmpty())
            continue;
        const double size = format.hasProperty(QTextFormat::FontPointSize) ? format.fontPointSize() : 0;
        smallest = smallest == 0 ? size : qMin(smallest, size);
        if (size == 0)
            return 0;
    }
    if (smallest >= 20)
        return 1;
    if (smallest >= 16)
        return 2;
    return smallest >= 14 ? 3 : 0;
}

unsigned char styleOf(const QTextCharFormat &format)
{
    unsigned char style = Plain;
    if (format.fontWeight() >= QFont::DemiBold)
        style |= Bold;
    if (format.fontItalic())
        style |= Italic;
    // The importer underlines links; only underlining the page asked for counts.
    if (format.fontUnderline() && !format.isAnchor())
        style |= Underline;
    return style;
}

// Carries the importer's document into the book: one paragraph per block, the cells of a table row on
// one line separated by tabs, empty blocks left out.
void appendDocument(QTextDocument &document, Book &book)
{
    for (QTextBlock block = document.begin(); block.isValid(); block = block.next()) {
        bool hasContent = false;
        for (auto it = block.begin(); !it.atEnd() && !hasContent; ++it)
            hasContent = !it.fragment().text().trimmed().isEmpty() || it.fragment().charFormat().isImageFormat();
        if (!hasContent)
            continue;
        const QTextCursor at(block);
        const QTextTable *table = at.currentTable();
        const QTextTableCell cell = table ? table->cellAt(block.position()) : QTextTableCell();
        const bool laterCell = cell.isValid() && cell.column() > 0;
        if (laterCell && book.inParagraph()) {
            book.addTab();
        } else {
            int heading = qBound(0, block.blockFormat().headingLevel(), 6);
            if (heading == 0)
                heading = headingBySize(block);
            book.startParagraph(heading);
        }
        for (auto it = block.begin(); !it.atEnd(); ++it) {
            const QTextFragment fragment = it.fragment();
            const QTextCharFormat format = fragment.charFormat();
            if (format.isImageFormat()) {
                const QVariant data =
                    document.resource(QTextDocument::ImageResource, QUrl(format.toImageFormat().name()));
                if (data.userType() == QMetaType::QByteArray)
                    book.addPicture(data.toByteArray());
                continue;
            }
            QString text = fragment.text();
            text.remove(QChar::ObjectReplacementCharacter);
            // The importer leaves a blank where the page had a line end before a closing tag.
            book.addText(text, styleOf(format));
        }
        // The next cell of the same row continues this line.
        if (!cell.isValid())
            book.endParagraph();
        else if (cell.column() + cell.columnSpan() >= table->columns())
            book.endParagraph();
    }
}

} // namespace

QString decodeHtml(const QByteArray &bytes)
{
    if (bytes.startsWith("\xFF\xFE") || bytes.startsWith("\xFE\xFF"))
        return QStringDecoder(QStringDecoder::Utf16)(bytes);
    const QByteArray charset = declaredCharset(bytes);
    if (!charset.isEmpty()) {
        QStringDecoder decoder(charset.constData());
        if (decoder.isValid()) {
            QString text = decoder(bytes);
            if (text.startsWith(QChar::ByteOrderMark))
                text.remove(0, 1);
            return text;
        }
    }
    return decodeText(bytes);
}

void readHtml(const QByteArray &bytes, Book &book, const std::function<QByteArray(const QString &)> &picture)
{
    PageDocument document(picture);
    document.setUndoRedoEnabled(false);
    document.setHtml(withoutHiddenElements(decodeHtml(bytes)));
    appendDocument(document, book);
}

} // namespace velmira
