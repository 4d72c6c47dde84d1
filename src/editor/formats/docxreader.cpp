// The DOCX reader: word/document.xml in the order it is written, with the styles of word/styles.xml.
#include "book.h"
#include "bookreaders.h"
#include "common/core/error.h"
#include "ziparchive.h"

#include <QHash>
#include <QRegularExpression>
#include <QXmlStreamReader>
#include <optional>

using namespace Qt::StringLiterals;

namespace velmira {

namespace {

// Bold, italic and underline as a style or a run sets them; unset ones come from the style's base.
struct Emphasis
{
    std::optional<bool> bold, italic, underline;

    void inherit(const Emphasis &base)
    {
        if (!bold)
            bold = base.bold;
        if (!italic)
            italic = base.italic;
        if (!underline)
            underline = base.underline;
    }
    unsigned char style() const
    {
        return (bold.value_or(false) ? Bold : Plain) | (italic.value_or(false) ? Italic : Plain) |
               (underline.value_or(false) ? Underline : Plain);
    }
};

struct DocxStyle
{
    QString basedOn;
    int heading = 0;
    Emphasis emphasis;
};

bool isOn(const QXmlStreamAttributes &attributes)
{
    const QString value = xmlAttribute(attributes, u"val");
    return value.isEmpty() || !(value == u"0" || value == u"false" || value == u"off" || value == u"none");
}

// Reads one run-properties element (w:rPr) into `emphasis`; the reader ends on its end tag.
void readRunProperties(QXmlStreamReader &xml, Emphasis &emphasis, QString *characterStyle)
{
    int depth = 1;
    while (depth > 0 && !xml.atEnd()) {
        readXmlToken(xml);
        if (xml.isEndElement()) {
            --depth;
            continue;
        }
        if (!xml.isStartElement())
            continue;
        ++depth;
        const QStringView name = xml.name();
        if (name == u"b")
            emphasis.bold = isOn(xml.attributes());
        else if (name == u"i")
            emphasis.italic = isOn(xml.attributes());
        else if (name == u"u")
            emphasis.underline = isOn(xml.attributes());
        else if (name == u"rStyle" && characterStyle)
            *characterStyle = xmlAttribute(xml.attributes(), u"val");
    }
}

int headingOfName(const QString &name)
{
    static const QRegularExpression heading(uR"(^heading\s*(\d)$)"_s,
                                            QRegularExpression::CaseInsensitiveOption);
    const QRegularExpressionMatch match = heading.match(name);
    if (match.hasMatch())
        return qBound(1, match.captured(1).toInt(), 6);
    return name.compare(QLatin1String("Title"), Qt::CaseInsensitive) == 0 ? 1 : 0;
}

QHash<QString, DocxStyle> readStyles(const QByteArray &bytes)
{
    QHash<QString, DocxStyle> styles;
    QXmlStreamReader xml(bytes);
    QString id;
    while (!xml.atEnd()) {
        readXmlToken(xml);
        if (!xml.isStartElement())
            continue;
        const QStringView name = xml.name();
        if (name == u"style") {
            id = xmlAttribute(xml.attributes(), u"styleId");
            styles.insert(id, {});
        } else if (id.isEmpty()) {
            continue;
        } else if (name == u"name") {
            styles[id].heading = qMax(styles[id].heading, headingOfName(xmlAttribute(xml.attributes(), u"val")));
        } else if (name == u"basedOn") {
            styles[id].basedOn = xmlAttribute(xml.attributes(), u"val");
        } else if (name == u"outlineLvl") {
            const int level = xmlAttribute(xml.attributes(), u"val").toInt() + 1;
            if (level >= 1 && level <= 9)
                styles[id].heading = qMin(level, 6);
        } else if (name == u"rPr") {
            readRunProperties(xml, styles[id].emphasis, nullptr);
        }
    }
    // Every style takes what it leaves unset from the styles it is based on.
    for (auto it = styles.begin(); it != styles.end(); ++it) {
        QString base = it->basedOn;
        for (int step = 0; step < 20 && !base.isEmpty(); ++step) {
            const auto found = styles.constFind(base);
            if (found == styles.constEnd())
                break;
            it->emphasis.inherit(found->emphasis);
            if (it->heading == 0)
                it->heading = found->heading;
            base = found->basedOn;
        }
    }
    return styles;
}

QString mainDocumentPath(ZipArchive &archive)
{
    if (archive.contains(u"_rels/.rels"_s)) {
        QXmlStreamReader xml(archive.read(u"_rels/.rels"_s));
        while (!xml.atEnd()) {
            readXmlToken(xml);
            if (xml.isStartElement() && xml.name() == u"Relationship" &&
                xmlAttribute(xml.attributes(), u"Type").endsWith(u"/officeDocument")) {
                const QString path = resolveArchivePath(QString(), xmlAttribute(xml.attributes(), u"Target"));
                if (archive.contains(path))
                    return path;
            }
        }
    }
    return u"word/document.xml"_s;
}

class DocxWalker
{
public:
    DocxWalker(const QByteArray &bytes, const QHash<QString, DocxStyle> &styles, Book &book)
        : m_xml(bytes), m_styles(styles), m_book(book)
    {}

    void run()
    {
        while (!m_xml.atEnd()) {
            readXmlToken(m_xml);
            if (m_xml.isStartElement())
                start();
            else if (m_xml.isEndElement())
                end();
        }
    }

private:
    void start()
    {
        const QStringView name = m_xml.name();
        if (name == u"p") {
            m_paragraph = Emphasis();
            m_heading = 0;
            if (m_rows > 0) {
                if (!m_firstInCell)
                    m_book.addText(u" ", Plain);
            } else {
                m_paragraphStarted = false;
            }
            m_firstInCell = false;
        } else if (name == u"pStyle") {
            const auto style = m_styles.constFind(xmlAttribute(m_xml.attributes(), u"val"));
            if (style != m_styles.constEnd()) {
                m_heading = style->heading;
                m_paragraph = style->emphasis;
            }
        } else if (name == u"outlineLvl" && m_inParagraphProperties) {
            const int level = xmlAttribute(m_xml.attributes(), u"val").toInt() + 1;
            m_heading = level >= 1 && level <= 9 ? qMin(level, 6) : 0;
        } else if (name == u"pPr") {
            m_inParagraphProperties = true;
        } else if (name == u"r") {
            m_run = Emphasis();
        } else if (name == u"rPr") {
            // The paragraph mark's own properties (inside w:pPr) format no text.
            Emphasis emphasis;
            QString characterStyle;
            readRunProperties(m_xml, emphasis, &characterStyle);
            if (!m_inParagraphProperties) {
                const auto style = m_styles.constFind(characterStyle);
                if (style != m_styles.constEnd())
                    emphasis.inherit(style->emphasis);
                m_run = emphasis;
            }
        } else if (name == u"t") {
            const QString text = m_xml.readElementText();
            ensureParagraph();
            Emphasis emphasis = m_run;
            emphasis.inherit(m_paragraph);
            m_book.addText(text, emphasis.style(), false);
        } else if (name == u"tab" && !m_inParagraphProperties) {
            ensureParagraph();
            m_book.addTab();
        } else if ((name == u"br" || name == u"cr") && !m_inParagraphProperties) {
            ensureParagraph();
            m_book.addLineBreak();
        } else if (name == u"tr") {
            if (m_rows++ == 0) {
                m_book.startParagraph();
                m_paragraphStarted = true;
            }
            m_firstCell = true;
        } else if (name == u"tc") {
            if (!m_firstCell)
                m_book.addTab();
            m_firstCell = false;
            m_firstInCell = true;
        } else if (name == u"Fallback" || name == u"del" || name == u"instrText" || name == u"delText") {
            // Text that the document shows once already (the fallback of a drawing) or not at all.
            m_xml.skipCurrentElement();
        }
    }

    void end()
    {
        const QStringView name = m_xml.name();
        if (name == u"pPr") {
            m_inParagraphProperties = false;
        } else if (name == u"p" && m_rows == 0) {
            // An empty paragraph is an empty line of the document.
            ensureParagraph();
            m_book.endParagraph();
            m_paragraphStarted = false;
        } else if (name == u"tr") {
            if (--m_rows == 0) {
                m_book.endParagraph();
                m_paragraphStarted = false;
            }
        }
    }

    void ensureParagraph()
    {
        if (m_paragraphStarted)
            return;
        m_book.startParagraph(m_heading);
        m_paragraphStarted = true;
    }

    QXmlStreamReader m_xml;
    const QHash<QString, DocxStyle> &m_styles;
    Book &m_book;
    Emphasis m_paragraph;
    Emphasis m_run;
    int m_heading = 0;
    int m_rows = 0;
    bool m_inParagraphProperties = false;
    bool m_paragraphStarted = false;
    bool m_firstCell = true;
    bool m_firstInCell = true;
};

} // namespace

void readDocx(ZipArchive &archive, Book &book)
{
    QHash<QString, DocxStyle> styles;
    if (archive.contains(u"word/styles.xml"_s))
        styles = readStyles(archive.read(u"word/styles.xml"_s));
    const QString main = mainDocumentPath(archive);
    if (!archive.contains(main))
        throw Error(u"в документе DOCX нет текста"_s);
    DocxWalker(archive.read(main), styles, book).run();
}

} // namespace velmira
