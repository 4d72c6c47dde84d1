#include "book.h"

#include <QBuffer>
#include <QCryptographicHash>
#include <QImageReader>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextImageFormat>
#include <QUrl>

using namespace Qt::StringLiterals;

namespace velmira {

namespace {

// Pictures are shown no wider than this, in pixels, whatever their own size.
constexpr int MaxPictureWidth = 600;

QSize pictureSize(const QByteArray &data)
{
    QBuffer buffer;
    buffer.setData(data);
    QImageReader reader(&buffer);
    return reader.canRead() ? reader.size() : QSize();
}

bool isBlank(QChar c)
{
    return c == u' ' || c == u'\t' || c == u'\n' || c == u'\r' || c == u'\f';
}

} // namespace

BookParagraph &Book::current()
{
    if (!m_open)
        startParagraph();
    return m_paragraphs.back();
}

void Book::startParagraph(int heading)
{
    m_paragraphs.push_back(BookParagraph{heading, {}});
    m_open = true;
    m_pendingSpace = false;
}

void Book::endParagraph()
{
    m_open = false;
    m_pendingSpace = false;
}

void Book::append(QStringView text, unsigned char style)
{
    BookParagraph &paragraph = current();
    if (!paragraph.runs.empty() && paragraph.runs.back().picture < 0 && paragraph.runs.back().style == style)
        paragraph.runs.back().text += text;
    else
        paragraph.runs.push_back(BookRun{text.toString(), style, -1});
    m_textSize += text.size();
}

void Book::addText(QStringView text, unsigned char style, bool collapse)
{
    if (!collapse) {
        if (m_pendingSpace) {
            m_pendingSpace = false;
            append(u" ", style);
        }
        if (!text.isEmpty())
            append(text, style);
        return;
    }
    qsizetype i = 0;
    while (i < text.size()) {
        if (isBlank(text[i])) {
            while (i < text.size() && isBlank(text[i]))
                ++i;
            // A space only between words: never at the start of a paragraph.
            if (m_open && !m_paragraphs.back().runs.empty())
                m_pendingSpace = true;
            continue;
        }
        qsizetype end = i;
        while (end < text.size() && !isBlank(text[end]))
            ++end;
        if (m_pendingSpace) {
            // The space between words has only the styles that both have, so that a bold word is
            // bold without the blanks around it.
            m_pendingSpace = false;
            const std::vector<BookRun> &runs = m_paragraphs.back().runs;
            const unsigned char before = runs.empty() || runs.back().picture >= 0 ? style : runs.back().style;
            append(u" ", before & style);
        }
        append(text.sliced(i, end - i), style);
        i = end;
    }
}

void Book::addLineBreak()
{
    m_pendingSpace = false;
    append(QString(QChar::LineSeparator), Plain);
}

void Book::addTab()
{
    m_pendingSpace = false;
    append(u"\t", Plain);
}

void Book::addPicture(const QByteArray &data)
{
    if (pictureSize(data).isEmpty())
        return;
    m_pendingSpace = false;
    m_pictures.push_back(BookPicture{QString(), data});
    current().runs.push_back(BookRun{QString(), Plain, int(m_pictures.size()) - 1});
}

void Book::addPictureReference(const QString &key)
{
    m_pendingSpace = false;
    m_pictures.push_back(BookPicture{key, QByteArray()});
    current().runs.push_back(BookRun{QString(), Plain, int(m_pictures.size()) - 1});
}

void Book::providePicture(const QString &key, const QByteArray &data)
{
    for (BookPicture &picture : m_pictures)
        if (picture.data.isEmpty() && picture.key == key)
            picture.data = data;
}

bool Book::hasText() const
{
    for (const BookParagraph &paragraph : m_paragraphs)
        for (const BookRun &run : paragraph.runs)
            if (run.picture >= 0 || !run.text.trimmed().isEmpty())
                return true;
    return false;
}

QString Book::plainText() const
{
    QString text;
    for (const BookParagraph &paragraph : m_paragraphs) {
        for (const BookRun &run : paragraph.runs)
            text += run.picture >= 0 ? QString(QChar::ObjectReplacementCharacter) : run.text;
        text += u'\n';
    }
    text.replace(QChar::LineSeparator, u'\n');
    return text;
}

double headingPointSize(int level, double bodyPoints)
{
    static const double scale[] = {1.6, 1.4, 1.25, 1.15, 1.1, 1.05};
    return qRound(bodyPoints * scale[qBound(1, level, 6) - 1] * 2) / 2.0;
}

void fillDocument(const Book &book, QTextDocument &document)
{
    const bool undo = document.isUndoRedoEnabled();
    document.setUndoRedoEnabled(false);
    // Cleared and filled in one edit, the document changes from empty to whole at once, which lets an
    // editor showing it lay out only what it shows and the rest later.
    QTextCursor cursor(&document);
    cursor.beginEditBlock();
    document.clear();

    const QFont body = document.defaultFont();
    const double bodyPoints = body.pointSizeF() > 0 ? body.pointSizeF() : body.pixelSize() * 72.0 / 96.0;

    // Pictures are named by their content, so that one picture used twice is stored once.
    std::vector<QString> pictureNames;
    std::vector<QSizeF> pictureSizes;
    for (const BookPicture &picture : book.pictures()) {
        QSizeF size = pictureSize(picture.data);
        if (size.isEmpty()) {
            pictureNames.emplace_back();
            pictureSizes.push_back(size);
            continue;
        }
        if (size.width() > MaxPictureWidth)
            size = QSizeF(MaxPictureWidth, size.height() * MaxPictureWidth / size.width());
        const QString name =
            u"bookimage:"_s +
            QString::fromLatin1(QCryptographicHash::hash(picture.data, QCryptographicHash::Sha1).toHex());
        document.addResource(QTextDocument::ImageResource, QUrl(name), picture.data);
        pictureNames.push_back(name);
        pictureSizes.push_back(size);
    }

    bool first = true;
    for (const BookParagraph &paragraph : book.paragraphs()) {
        QTextBlockFormat block;
        QTextCharFormat base;
        if (paragraph.heading > 0) {
            block.setHeadingLevel(paragraph.heading);
            base.setFontWeight(QFont::Bold);
            base.setFontPointSize(headingPointSize(paragraph.heading, bodyPoints));
        }
        if (first) {
            cursor.setBlockFormat(block);
            cursor.setBlockCharFormat(base);
            first = false;
        } else {
            cursor.insertBlock(block, base);
        }
        for (const BookRun &run : paragraph.runs) {
            if (run.picture >= 0) {
                if (pictureNames[std::size_t(run.picture)].isEmpty())
                    continue;
                QTextImageFormat image;
                image.setName(pictureNames[std::size_t(run.picture)]);
                image.setWidth(pictureSizes[std::size_t(run.picture)].width());
                image.setHeight(pictureSizes[std::size_t(run.picture)].height());
                cursor.insertImage(image);
                continue;
            }
            QTextCharFormat format = base;
            if (run.style & Bold)
                format.setFontWeight(QFont::Bold);
            if (run.style & Italic)
                format.setFontItalic(true);
            if (run.style & Underline)
                format.setFontUnderline(true);
            cursor.insertText(run.text, format);
        }
    }
    cursor.endEditBlock();
    document.setUndoRedoEnabled(undo);
}

} // namespace velmira
