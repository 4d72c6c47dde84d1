// The FictionBook 2 reader.
#include "book.h"
#include "bookreaders.h"
#include "common/core/error.h"
#include "ziparchive.h"

#include <QRegularExpression>
#include <QXmlStreamReader>

using namespace Qt::StringLiterals;

namespace velmira {

namespace {

// Note marks as books write them: «[1]», «{12}», «(3)», «*», «**».
bool looksLikeNoteMark(const QString &text)
{
    static const QRegularExpression mark(uR"(^\s*(?:[\[{(]?\s*\d{1,4}\s*[\]})]?|\*{1,4})\s*$)"_s);
    return mark.match(text).hasMatch();
}

QString linkTarget(const QXmlStreamAttributes &attributes)
{
    // The xlink prefix is bound to different names in different books ("l:", "xlink:").
    for (const QXmlStreamAttribute &attribute : attributes)
        if (attribute.name() == u"href")
            return attribute.value().toString();
    return {};
}

class Fb2Walker
{
public:
    Fb2Walker(const QByteArray &bytes, Book &book) : m_xml(bytes), m_book(book) {}

    void run()
    {
        bool sawRoot = false;
        while (!m_xml.atEnd()) {
            readXmlToken(m_xml);
            if (m_xml.isStartElement()) {
                if (!sawRoot && m_xml.name() != u"FictionBook")
                    throw Error(u"это не книга FB2"_s);
                sawRoot = true;
                start();
            } else if (m_xml.isEndElement()) {
                end();
            } else if (m_xml.isCharacters() && m_paragraphs > 0) {
                m_book.addText(m_xml.text(), style());
            }
        }
        if (!sawRoot)
            throw Error(u"это не книга FB2"_s);
    }

private:
    unsigned char style() const
    {
        return (m_strong > 0 ? Bold : Plain) | (m_emphasis > 0 ? Italic : Plain);
    }

    int headingLevel(int extra) const { return qMin(m_sections + 1 + extra, 6); }

    void start()
    {
        const QStringView name = m_xml.name();
        if (name == u"description" || name == u"stylesheet") {
            m_xml.skipCurrentElement();
        } else if (name == u"binary") {
            const QString id = xmlAttribute(m_xml.attributes(), u"id");
            const QString data = m_xml.readElementText();
            m_book.providePicture(id, QByteArray::fromBase64(data.toLatin1()));
        } else if (name == u"section") {
            ++m_sections;
        } else if (name == u"title") {
            ++m_titles;
        } else if (name == u"p" || name == u"v" || name == u"subtitle" || name == u"text-author") {
            if (m_rows > 0) {
                // A paragraph inside a table cell stays on the row's line.
                m_book.addText(u" ", Plain);
            } else {
                int heading = 0;
                if (m_titles > 0)
                    heading = headingLevel(0);
                else if (name == u"subtitle")
                    heading = headingLevel(1);
                m_book.startParagraph(heading);
            }
            ++m_paragraphs;
        } else if (name == u"empty-line") {
            if (m_rows == 0) {
                m_book.startParagraph();
                m_book.endParagraph();
            }
        } else if (name == u"tr") {
            if (m_rows++ == 0)
                m_book.startParagraph();
            m_firstCell = true;
        } else if (name == u"td" || name == u"th") {
            if (!m_firstCell)
                m_book.addTab();
            m_firstCell = false;
            ++m_paragraphs;
        } else if (name == u"strong") {
            ++m_strong;
        } else if (name == u"emphasis") {
            ++m_emphasis;
        } else if (name == u"a") {
            link();
        } else if (name == u"image") {
            const QString target = linkTarget(m_xml.attributes());
            if (target.startsWith(u'#')) {
                // A picture between paragraphs stands on a line of its own.
                if (m_paragraphs == 0 && m_rows == 0)
                    m_book.startParagraph();
                m_book.addPictureReference(target.mid(1));
                if (m_paragraphs == 0 && m_rows == 0)
                    m_book.endParagraph();
            }
        }
    }

    void end()
    {
        const QStringView name = m_xml.name();
        if (name == u"section") {
            --m_sections;
        } else if (name == u"title") {
            --m_titles;
        } else if (name == u"p" || name == u"v" || name == u"subtitle" || name == u"text-author") {
            --m_paragraphs;
            if (m_rows == 0)
                m_book.endParagraph();
        } else if (name == u"td" || name == u"th") {
            --m_paragraphs;
        } else if (name == u"tr") {
            if (--m_rows == 0)
                m_book.endParagraph();
        } else if (name == u"strong") {
            --m_strong;
        } else if (name == u"emphasis") {
            --m_emphasis;
        }
    }

    // A note link ("[1]" pointing into the notes) is a mark for the eye, not text to read; other links
    // are read as their text.
    void link()
    {
        const bool note = xmlAttribute(m_xml.attributes(), u"type") == u"note";
        const bool inside = linkTarget(m_xml.attributes()).startsWith(u'#');
        const QString text = m_xml.readElementText(QXmlStreamReader::IncludeChildElements);
        if (m_xml.hasError())
            throw Error(u"файл повреждён: %1"_s.arg(m_xml.errorString()));
        if (note || (inside && looksLikeNoteMark(text)))
            return;
        if (m_paragraphs > 0)
            m_book.addText(text, style());
    }

    QXmlStreamReader m_xml;
    Book &m_book;
    int m_sections = 0;
    int m_titles = 0;
    int m_paragraphs = 0;
    int m_rows = 0;
    int m_strong = 0;
    int m_emphasis = 0;
    bool m_firstCell = true;
};

} // namespace

void readFb2(const QByteArray &bytes, Book &book)
{
    Fb2Walker(bytes, book).run();
}

void readZippedFb2(ZipArchive &archive, Book &book)
{
    for (const QString &name : archive.names()) {
        if (name.endsWith(QLatin1String(".fb2"), Qt::CaseInsensitive)) {
            readFb2(archive.read(name), book);
            return;
        }
    }
    throw Error(u"в архиве нет книги FB2"_s);
}

} // namespace velmira
