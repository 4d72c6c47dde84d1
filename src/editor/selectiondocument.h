// The selected part of the editor's document as a document of its own, and as clipboard data.
#pragma once

#include <QMimeData>
#include <memory>

class QTextCursor;
class QTextDocument;

namespace velmira {

// A new document holding the cursor's selection with its formatting, its default font and the pictures
// it shows (the picture data travels with it, so that writeRtf can write them).
std::unique_ptr<QTextDocument> selectionDocument(const QTextCursor &cursor);

// Clipboard data of a document: plain text ("text/plain"), HTML ("text/html"), RTF ("text/rtf" and
// "application/rtf") and OpenDocument text. Each format is made from the document when it is first
// asked for.
class DocumentMimeData : public QMimeData
{
    Q_OBJECT

public:
    explicit DocumentMimeData(std::unique_ptr<QTextDocument> document);
    ~DocumentMimeData() override;

    bool hasFormat(const QString &mimeType) const override;
    QStringList formats() const override;

protected:
    QVariant retrieveData(const QString &mimeType, QMetaType type) const override;

private:
    std::unique_ptr<QTextDocument> m_document;
};

} // namespace velmira
