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

// The document as RTF for the clipboard and for other programs: writeRtf's text without the paragraph
// end after the last paragraph, since the selection did not end with one (a selection that takes a
// paragraph end along has an empty paragraph after it). So a word pasted into a line stays in it.
QByteArray selectionRtf(const QTextDocument &document);

// Clipboard data of a document: plain text ("text/plain"), HTML ("text/html"), RTF ("text/rtf" and
// "application/rtf", see selectionRtf) and OpenDocument text. Each format is made from the document when it
// is first asked for.
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
