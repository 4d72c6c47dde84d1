#include "selectiondocument.h"

#include "rtf/rtfwriter.h"

#include <QBuffer>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextDocumentFragment>
#include <QTextDocumentWriter>
#include <QUrl>

using namespace Qt::StringLiterals;

namespace velmira {

namespace {

const QString PlainText = u"text/plain"_s;
const QString Html = u"text/html"_s;
const QString Rtf = u"text/rtf"_s;
const QString ApplicationRtf = u"application/rtf"_s;
const QString OpenDocument = u"application/vnd.oasis.opendocument.text"_s;

// Gives `target` the data of every picture it shows that `source` holds as a resource.
void copyPictures(const QTextDocument &source, QTextDocument &target)
{
    for (QTextBlock block = target.begin(); block.isValid(); block = block.next()) {
        for (auto it = block.begin(); !it.atEnd(); ++it) {
            const QTextCharFormat format = it.fragment().charFormat();
            if (!format.isImageFormat())
                continue;
            const QUrl name(format.toImageFormat().name());
            if (target.resource(QTextDocument::ImageResource, name).isValid())
                continue;
            const QVariant data = source.resource(QTextDocument::ImageResource, name);
            if (data.isValid())
                target.addResource(QTextDocument::ImageResource, name, data);
        }
    }
}

} // namespace

std::unique_ptr<QTextDocument> selectionDocument(const QTextCursor &cursor)
{
    Q_ASSERT(cursor.document());
    const QTextDocument &source = *cursor.document();
    auto document = std::make_unique<QTextDocument>();
    document->setUndoRedoEnabled(false);
    document->setDefaultFont(source.defaultFont());
    QTextCursor(document.get()).insertFragment(QTextDocumentFragment(cursor));
    copyPictures(source, *document);
    return document;
}

QByteArray selectionRtf(const QTextDocument &document)
{
    QByteArray rtf = writeRtf(document);
    static constexpr QByteArrayView LastEnd = "\\par\r\n}\r\n";
    if (rtf.endsWith(LastEnd))
        rtf.replace(rtf.size() - LastEnd.size(), LastEnd.size(), "\r\n}\r\n");
    return rtf;
}

DocumentMimeData::DocumentMimeData(std::unique_ptr<QTextDocument> document) : m_document(std::move(document))
{
    Q_ASSERT(m_document);
}

DocumentMimeData::~DocumentMimeData() = default;

QStringList DocumentMimeData::formats() const
{
    return {PlainText, Html, Rtf, ApplicationRtf, OpenDocument};
}

bool DocumentMimeData::hasFormat(const QString &mimeType) const
{
    return formats().contains(mimeType);
}

QVariant DocumentMimeData::retrieveData(const QString &mimeType, QMetaType type) const
{
    if (mimeType == PlainText)
        return m_document->toPlainText();
    if (mimeType == Html)
        return m_document->toHtml();
    if (mimeType == Rtf || mimeType == ApplicationRtf)
        return selectionRtf(*m_document);
    if (mimeType == OpenDocument) {
        QByteArray odf;
        QBuffer buffer(&odf);
        QTextDocumentWriter writer(&buffer, "ODF");
        if (writer.write(m_document.get()))
            return odf;
        return {};
    }
    return QMimeData::retrieveData(mimeType, type);
}

} // namespace velmira
