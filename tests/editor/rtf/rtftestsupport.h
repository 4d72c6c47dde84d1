// What the RTF tests look at: the text of a document, the look of its characters and paragraphs.
#pragma once

#include <QBuffer>
#include <QImage>
#include <QTextBlock>
#include <QTextDocument>
#include <QTextFragment>
#include <QTextImageFormat>
#include <QUrl>
#include <memory>

#include "editor/rtf/rtfreader.h"

namespace velmira::test {

// The texts of the blocks joined by '\n'; a picture shows as '#'.
inline QString documentText(const QTextDocument &document)
{
    QStringList blocks;
    for (QTextBlock block = document.begin(); block.isValid(); block = block.next())
        blocks << block.text().replace(QChar::ObjectReplacementCharacter, u'#');
    return blocks.join(u'\n');
}

// A document read from RTF, with the default font given.
inline std::unique_ptr<QTextDocument> readDocument(const QByteArray &rtf, const QFont &defaultFont = QFont())
{
    auto document = std::make_unique<QTextDocument>();
    document->setDefaultFont(defaultFont);
    if (!readRtf(rtf, *document))
        return nullptr;
    return document;
}

// The format of the character at a position of the document's text (as documentText gives it).
inline QTextCharFormat formatAt(const QTextDocument &document, int position)
{
    const QTextBlock block = document.findBlock(position);
    for (auto it = block.begin(); !it.atEnd(); ++it) {
        const QTextFragment fragment = it.fragment();
        if (position >= fragment.position() && position < fragment.position() + fragment.length())
            return fragment.charFormat();
    }
    return {};
}

// The picture data of an image format, as an image.
inline QImage imageOf(const QTextDocument &document, const QTextImageFormat &format)
{
    const QVariant resource = document.resource(QTextDocument::ImageResource, QUrl(format.name()));
    if (resource.userType() == QMetaType::QImage)
        return resource.value<QImage>();
    return QImage::fromData(resource.toByteArray());
}

inline QByteArray pngBytes(const QImage &image)
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    return bytes;
}

} // namespace velmira::test
