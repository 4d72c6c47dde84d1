// The ODT reader: the body of content.xml in the order it is written, with the styles of styles.xml
// and content.xml's own automatic styles.
#include "book.h"
#include "bookreaders.h"
#include "common/core/error.h"
#include "ziparchive.h"

#include <QHash>
#include <QXmlStreamReader>
#include <optional>

using namespace Qt::StringLiterals;

namespace velmira {

namespace {

struct OdtStyle
{
    QString parent;
    std::optional<bool> bold, italic, underline;
    int heading = 0;
};

void readStyles(const QByteArray &bytes, QHash<QString, OdtStyle> &styles)
{
    QXmlStreamReader xml(bytes);
    QString name;
    while (!xml.atEnd()) {
        readXmlToken(xml);
        if (xml.isStartElement() && xml.name() == u"body")
            return;
        if (!xml.isStartElement())
            continue;
        const QXmlStreamAttributes attributes = xml.attributes();
        if (xml.name() == u"style") {
            name = xmlAttribute(attributes, u"name");
            OdtStyle style;
            style.parent = xmlAttribute(attributes, u"parent-style-name");
            const int level = xmlAttribute(attributes, u"default-outline-level").toInt();
            style.heading = qBound(0, level, 6);
            styles.insert(name, style);
        } else if (xml.name() == u"text-properties" && !name.isEmpty()) {
            OdtStyle &style = styles[name];
            if (hasXmlAttribute(attributes, u"font-weight"))
                style.bold = xmlAttribute(attributes, u"font-weight") == u"bold" || xmlAttribute(attributes, u"font-weight").toInt() >= 600;
            if (hasXmlAttribute(attributes, u"font-style"))
                style.italic = xmlAttribute(attributes, u"font-style") != u"normal";
            if (hasXmlAttribute(attributes, u"text-underline-style"))
                style.underline = xmlAttribute(attributes, u"text-underline-style") != u"none";
        }
    }
}

class OdtWalker
{
public:
    OdtWalker(const QByteArray &bytes, const QHash<QString, OdtStyle> &styles, Book &book)
        : m_xml(bytes), m_styles(styles), m_book(book)
    {}

    void run()
    {
        bool inBody = false;
        while (!m_xml.atEnd()) {
            readXmlToken(m_xml);
            if (m_xml.isStartElement()) {
                if (m_xml.name() == u"body")
                    inBody = true;
                else if (inBody)
                    start();
            } else if (m_xml.isEndElement()) {
                if (inBody)
                    end();
            } else if (m_xml.isCharacters() && m_paragraphs > 0) {
                m_book.addText(m_xml.text(), m_spans.empty() ? static_cast<unsigned char>(Plain) : m_spans.back());
            }
        }
    }

private:
    // The emphasis of the named style, its parents' filling in what it leaves unset, over `outer`.
    unsigned char styleOf(const QString &name, unsigned char outer) const
    {
        std::optional<bool> bold, italic, underline;
        QString current = name;
        for (int step = 0; step < 20 && !current.isEmpty(); ++step) {
            const auto style = m_styles.constFind(current);
            if (style == m_styles.constEnd())
                break;
            if (!bold)
                bold = style->bold;
            if (!italic)
                italic = style->italic;
            if (!underline)
                underline = style->underline;
            current = style->parent;
        }
        unsigned char result = outer;
        if (bold)
            result = *bold ? (result | Bold) : (result & ~Bold);
        if (italic)
            result = *italic ? (result | Italic) : (result & ~Italic);
        if (underline)
            result = *underline ? (result | Underline) : (result & ~Underline);
        return result;
    }

    void start()
    {
        const QStringView name = m_xml.name();
        const QString styleName = xmlAttribute(m_xml.attributes(), u"style-name");
        if (name == u"p" || name == u"h") {
            if (m_rows > 0) {
                if (!m_firstInCell)
                    m_book.addText(u" ", Plain);
                m_firstInCell = false;
            } else if (m_paragraphs == 0) {
                int heading = 0;
                if (name == u"h")
                    heading = qBound(1, xmlAttribute(m_xml.attributes(), u"outline-level").toInt(), 6);
                m_book.startParagraph(heading);
            }
            ++m_paragraphs;
            m_spans.push_back(styleOf(styleName, Plain));
        } else if (name == u"span" || name == u"a") {
            m_spans.push_back(styleOf(styleName, m_spans.empty() ? static_cast<unsigned char>(Plain) : m_spans.back()));
        } else if (name == u"s") {
            const int count = qBound(1, xmlAttribute(m_xml.attributes(), u"c").toInt(), 1000);
            m_book.addText(QString(count, u' '), Plain, false);
        } else if (name == u"tab") {
            m_book.addTab();
        } else if (name == u"line-break") {
            m_book.addLineBreak();
        } else if (name == u"table-row") {
            if (m_rows++ == 0)
                m_book.startParagraph();
            m_firstCell = true;
        } else if (name == u"table-cell") {
            if (!m_firstCell)
                m_book.addTab();
            m_firstCell = false;
            m_firstInCell = true;
        } else if (name == u"note" || name == u"annotation" || name == u"tracked-changes" ||
                   name == u"sequence-decls" || name == u"forms") {
            // Footnotes, comments and the record of changes are not part of the running text.
            m_xml.skipCurrentElement();
        }
    }

    void end()
    {
        const QStringView name = m_xml.name();
        if (name == u"p" || name == u"h") {
            m_spans.pop_back();
            if (--m_paragraphs == 0 && m_rows == 0)
                m_book.endParagraph();
        } else if (name == u"span" || name == u"a") {
            if (!m_spans.empty())
                m_spans.pop_back();
        } else if (name == u"table-row") {
            if (--m_rows == 0)
                m_book.endParagraph();
        }
    }

    QXmlStreamReader m_xml;
    const QHash<QString, OdtStyle> &m_styles;
    Book &m_book;
    std::vector<unsigned char> m_spans;
    int m_paragraphs = 0;
    int m_rows = 0;
    bool m_firstCell = true;
    bool m_firstInCell = true;
};

} // namespace

void readOdt(ZipArchive &archive, Book &book)
{
    if (archive.contains(u"META-INF/manifest.xml"_s) &&
        archive.read(u"META-INF/manifest.xml"_s).contains("encryption-data"))
        throw Error(u"документ защищён паролем"_s);
    if (!archive.contains(u"content.xml"_s))
        throw Error(u"в документе ODT нет текста"_s);
    QHash<QString, OdtStyle> styles;
    if (archive.contains(u"styles.xml"_s))
        readStyles(archive.read(u"styles.xml"_s), styles);
    const QByteArray content = archive.read(u"content.xml"_s);
    readStyles(content, styles);
    OdtWalker(content, styles, book).run();
}

} // namespace velmira
