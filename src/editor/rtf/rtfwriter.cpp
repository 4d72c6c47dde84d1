#include "rtfwriter.h"

#include "rtfcodepage.h"
#include "rtfpicture.h"
#include "rtfreader.h"
#include "rtfunits.h"

#include <QBuffer>
#include <QColor>
#include <QHash>
#include <QImage>
#include <QImageWriter>
#include <QPixmap>
#include <QTextBlock>
#include <QTextDocument>
#include <QTextFragment>
#include <QTextImageFormat>
#include <QUrl>
#include <charconv>

namespace velmira {

namespace {

using namespace rtf;

constexpr char HexDigits[] = "0123456789abcdef";
constexpr int HexBytesPerLine = 64;

// Everything \plain and the words after it say about a run of text.
struct RunStyle
{
    int font = 0;
    int halfPoints = 24;
    int foreground = 0; // colour table index, 0 automatic
    int background = 0; // 0 none
    bool bold = false;
    bool italic = false;
    bool strike = false;
    QTextCharFormat::UnderlineStyle underline = QTextCharFormat::NoUnderline;
    QTextCharFormat::VerticalAlignment position = QTextCharFormat::AlignNormal;

    bool operator==(const RunStyle &) const = default;
};

void appendNumber(QByteArray &out, qint64 value)
{
    char buffer[24];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
    out.append(buffer, result.ptr - buffer);
}

void appendWord(QByteArray &out, const char *word, qint64 value)
{
    out += word;
    appendNumber(out, value);
}

// Hexadecimal data in lines of a readable length.
void appendHex(QByteArray &out, QByteArrayView data)
{
    const qsizetype lines = (data.size() + HexBytesPerLine - 1) / HexBytesPerLine;
    const qsizetype start = out.size();
    out.resize(start + data.size() * 2 + lines * 2);
    char *q = out.data() + start;
    const auto *bytes = reinterpret_cast<const unsigned char *>(data.data());
    for (qsizetype i = 0; i < data.size(); ++i) {
        *q++ = HexDigits[bytes[i] >> 4];
        *q++ = HexDigits[bytes[i] & 15];
        if ((i + 1) % HexBytesPerLine == 0 || i + 1 == data.size()) {
            *q++ = '\r';
            *q++ = '\n';
        }
    }
    out.resize(q - out.constData());
}

// Text as RTF: ASCII as it is, Windows-1251 as \'hh, the rest as \uN?. Tabs, line breaks and the
// special spaces and hyphens have words of their own in text; a name in the font table has no such
// words (nor tabs or ';'), so there they go as characters.
void appendText(QByteArray &out, QStringView text, bool inFontTable = false)
{
    // The text goes through a small buffer, flushed when it could not take the longest character
    // ("\\u-32768?"), so that the output grows by what is written and no further.
    char buffer[4096];
    char *q = buffer;
    char *const limit = buffer + sizeof buffer - 16;
    const auto put = [&q](const char *word) {
        while (*word)
            *q++ = *word++;
    };
    for (const QChar qc : text) {
        if (q > limit) {
            out.append(buffer, q - buffer);
            q = buffer;
        }
        const char16_t c = qc.unicode();
        if (c < 0x80) {
            switch (c) {
            case u'\\':
            case u'{':
            case u'}':
                *q++ = '\\';
                *q++ = char(c);
                break;
            case u'\t':
                if (!inFontTable)
                    put("\\tab ");
                break;
            case u';':
                if (!inFontTable)
                    *q++ = ';';
                break;
            default:
                if (c >= 0x20 && c != 0x7F)
                    *q++ = char(c);
                break;
            }
            continue;
        }
        if (!inFontTable) {
            switch (c) {
            case 0x2028:
                put("\\line ");
                continue;
            case 0x00A0:
                put("\\~");
                continue;
            case 0x00AD:
                put("\\-");
                continue;
            case 0x2011:
                put("\\_");
                continue;
            default:
                break;
            }
        }
        if (c == 0x2029 || c == 0xFDD0 || c == 0xFDD1 || c == 0xFFFC)
            continue; // marks of the document's own structure, not text
        if (const unsigned char byte = windows1251Byte(c)) {
            *q++ = '\\';
            *q++ = '\'';
            *q++ = HexDigits[byte >> 4];
            *q++ = HexDigits[byte & 15];
        } else {
            put("\\u");
            q = std::to_chars(q, q + 6, c > 0x7FFF ? int(c) - 0x10000 : int(c)).ptr;
            *q++ = '?';
        }
    }
    out.append(buffer, q - buffer);
}

class Writer
{
public:
    explicit Writer(const QTextDocument &document)
        : m_document(document), m_defaultFont(document.defaultFont())
    {
        fontIndex(m_defaultFont.family());
    }

    QByteArray write();

private:
    int fontIndex(const QString &family);
    int colourIndex(const QColor &colour);
    RunStyle styleOf(const QTextCharFormat &format);
    const RunStyle &styleOfFragment(const QTextFragment &fragment);
    void writeParagraphFormat(const QTextBlockFormat &format);
    void writeStyle(const RunStyle &style);
    void writePicture(const QTextImageFormat &format);

    const QTextDocument &m_document;
    const QFont m_defaultFont;
    QByteArray m_out;
    QStringList m_fonts;
    QHash<QString, int> m_fontIndexes;
    QList<QRgb> m_colours;
    QHash<QRgb, int> m_colourIndexes;
    QHash<int, RunStyle> m_styles; // by the document's format index
};

QByteArray Writer::write()
{
    // The tables come first in the file but are known only when every run has been seen: a first
    // pass over the runs fills them, the second writes.
    for (QTextBlock block = m_document.begin(); block.isValid(); block = block.next()) {
        bool hasText = false;
        for (auto it = block.begin(); !it.atEnd(); ++it) {
            if (it.fragment().isValid() && !it.fragment().charFormat().isImageFormat()) {
                styleOfFragment(it.fragment());
                hasText = true;
            }
        }
        if (!hasText)
            styleOf(block.charFormat());
    }

    m_out.reserve(m_document.characterCount() * 5 + 1024);
    m_out += "{\\rtf1\\ansi\\ansicpg1251\\deff0\\uc1\\deflang1049\r\n{\\fonttbl";
    for (qsizetype i = 0; i < m_fonts.size(); ++i) {
        appendWord(m_out, "{\\f", i);
        m_out += "\\fnil\\fcharset204 ";
        appendText(m_out, m_fonts.at(i), true);
        m_out += ";}";
    }
    m_out += "}\r\n{\\colortbl;";
    for (const QRgb rgb : std::as_const(m_colours)) {
        appendWord(m_out, "\\red", qRed(rgb));
        appendWord(m_out, "\\green", qGreen(rgb));
        appendWord(m_out, "\\blue", qBlue(rgb));
        m_out += ';';
    }
    m_out += "}\r\n{\\*\\generator Velmira 6.1;}\r\n";

    for (QTextBlock block = m_document.begin(); block.isValid(); block = block.next()) {
        m_out += "\\pard";
        writeParagraphFormat(block.blockFormat());
        bool styled = false;
        bool hasText = false;
        RunStyle current;
        // Sub- and superscript end with \nosupersub: a word processor may miss the end that \plain
        // or \par make of them and lose the text that follows.
        const auto endPosition = [&] {
            if (styled && current.position != QTextCharFormat::AlignNormal) {
                m_out += "\\nosupersub ";
                styled = false;
            }
        };
        for (auto it = block.begin(); !it.atEnd(); ++it) {
            const QTextFragment fragment = it.fragment();
            if (!fragment.isValid())
                continue;
            const QTextCharFormat format = fragment.charFormat();
            if (format.isImageFormat()) {
                endPosition();
                const QTextImageFormat image = format.toImageFormat();
                for (qsizetype i = 0; i < fragment.length(); ++i)
                    writePicture(image);
                continue;
            }
            const RunStyle &style = styleOfFragment(fragment);
            if (!styled || !(style == current)) {
                endPosition();
                writeStyle(style);
                current = style;
                styled = true;
            }
            appendText(m_out, fragment.text());
            hasText = true;
        }
        // An empty paragraph keeps the look of its paragraph mark (its height follows the size); a
        // mark is never raised or lowered.
        if (!hasText) {
            RunStyle mark = styleOf(block.charFormat());
            mark.position = QTextCharFormat::AlignNormal;
            writeStyle(mark);
        }
        endPosition();
        m_out += "\\par\r\n";
    }
    m_out += "}\r\n";
    return std::move(m_out);
}

int Writer::fontIndex(const QString &name)
{
    QString family = name;
    family.removeIf([](QChar c) {
        const char16_t u = c.unicode();
        return u == u';' || u < 0x20 || u == 0x7F || u == 0x2029 || u == 0xFDD0 || u == 0xFDD1 || u == 0xFFFC;
    });
    family = family.trimmed();
    if (family.isEmpty() && !m_fonts.isEmpty())
        return 0;
    const auto it = m_fontIndexes.constFind(family);
    if (it != m_fontIndexes.constEnd())
        return *it;
    const int index = int(m_fonts.size());
    m_fonts.append(family);
    m_fontIndexes.insert(family, index);
    return index;
}

int Writer::colourIndex(const QColor &colour)
{
    const QRgb rgb = colour.rgb() | 0xFF000000u;
    const auto it = m_colourIndexes.constFind(rgb);
    if (it != m_colourIndexes.constEnd())
        return *it;
    m_colours.append(rgb);
    const int index = int(m_colours.size()); // index 0 is "automatic"
    m_colourIndexes.insert(rgb, index);
    return index;
}

const RunStyle &Writer::styleOfFragment(const QTextFragment &fragment)
{
    const int index = fragment.charFormatIndex();
    auto it = m_styles.find(index);
    if (it == m_styles.end())
        it = m_styles.insert(index, styleOf(fragment.charFormat()));
    return *it;
}

RunStyle Writer::styleOf(const QTextCharFormat &format)
{
    RunStyle style;
    QString family;
    if (format.hasProperty(QTextFormat::FontFamilies))
        family = format.fontFamilies().toStringList().value(0);
    if (family.isEmpty() && format.hasProperty(QTextFormat::FontFamily))
        family = format.stringProperty(QTextFormat::FontFamily);
    // A font the document named but did not show; a family set since (a font chosen) stands instead.
    if (family.isEmpty() && format.hasProperty(UnshownFontFamily))
        family = format.stringProperty(UnshownFontFamily);
    style.font = fontIndex(family);

    if (format.hasProperty(QTextFormat::FontPointSize) && format.fontPointSize() > 0)
        style.halfPoints = halfPointsFromPoints(format.fontPointSize());
    else if (format.hasProperty(QTextFormat::FontPixelSize) &&
             format.intProperty(QTextFormat::FontPixelSize) > 0)
        style.halfPoints = halfPointsFromPixels(format.intProperty(QTextFormat::FontPixelSize));
    else
        style.halfPoints = halfPointsOf(m_defaultFont);

    style.bold = format.hasProperty(QTextFormat::FontWeight) ? format.fontWeight() > QFont::Medium
                                                             : m_defaultFont.bold();
    style.italic = format.hasProperty(QTextFormat::FontItalic) ? format.fontItalic() : m_defaultFont.italic();
    style.strike =
        format.hasProperty(QTextFormat::FontStrikeOut) ? format.fontStrikeOut() : m_defaultFont.strikeOut();
    if (format.hasProperty(QTextFormat::TextUnderlineStyle))
        style.underline = format.underlineStyle();
    else if (format.hasProperty(QTextFormat::FontUnderline))
        style.underline =
            format.fontUnderline() ? QTextCharFormat::SingleUnderline : QTextCharFormat::NoUnderline;
    else
        style.underline =
            m_defaultFont.underline() ? QTextCharFormat::SingleUnderline : QTextCharFormat::NoUnderline;

    const QBrush foreground = format.foreground();
    if (foreground.style() != Qt::NoBrush)
        style.foreground = colourIndex(foreground.color());
    const QBrush background = format.background();
    if (background.style() != Qt::NoBrush)
        style.background = colourIndex(background.color());
    const auto position = format.verticalAlignment();
    if (position == QTextCharFormat::AlignSuperScript || position == QTextCharFormat::AlignSubScript)
        style.position = position;
    return style;
}

void Writer::writeStyle(const RunStyle &style)
{
    appendWord(m_out, "\\plain\\f", style.font);
    appendWord(m_out, "\\fs", style.halfPoints);
    if (style.bold)
        m_out += "\\b";
    if (style.italic)
        m_out += "\\i";
    switch (style.underline) {
    case QTextCharFormat::NoUnderline:
    case QTextCharFormat::SpellCheckUnderline:
        break;
    case QTextCharFormat::DashUnderline:
        m_out += "\\uldash";
        break;
    case QTextCharFormat::DotLine:
        m_out += "\\uld";
        break;
    case QTextCharFormat::DashDotLine:
        m_out += "\\uldashd";
        break;
    case QTextCharFormat::DashDotDotLine:
        m_out += "\\uldashdd";
        break;
    case QTextCharFormat::WaveUnderline:
        m_out += "\\ulwave";
        break;
    case QTextCharFormat::SingleUnderline:
    default:
        m_out += "\\ul";
        break;
    }
    if (style.strike)
        m_out += "\\strike";
    if (style.foreground > 0)
        appendWord(m_out, "\\cf", style.foreground);
    if (style.background > 0)
        appendWord(m_out, "\\chcbpat", style.background);
    if (style.position == QTextCharFormat::AlignSuperScript)
        m_out += "\\super";
    else if (style.position == QTextCharFormat::AlignSubScript)
        m_out += "\\sub";
    m_out += ' ';
}

void Writer::writeParagraphFormat(const QTextBlockFormat &format)
{
    const Qt::Alignment alignment = format.alignment() & Qt::AlignHorizontal_Mask;
    if (alignment & Qt::AlignHCenter)
        m_out += "\\qc";
    else if (alignment & Qt::AlignJustify)
        m_out += "\\qj";
    else if (alignment & Qt::AlignRight)
        m_out += "\\qr";
    else
        m_out += "\\ql";
    const double left = format.leftMargin() + format.indent() * m_document.indentWidth();
    if (const int twips = twipsFromPixels(left))
        appendWord(m_out, "\\li", twips);
    if (const int twips = twipsFromPixels(format.rightMargin()))
        appendWord(m_out, "\\ri", twips);
    if (const int twips = twipsFromPixels(format.textIndent()))
        appendWord(m_out, "\\fi", twips);
    if (const int twips = twipsFromPixels(format.topMargin()))
        appendWord(m_out, "\\sb", twips);
    if (const int twips = twipsFromPixels(format.bottomMargin()))
        appendWord(m_out, "\\sa", twips);
    // Line spacing: \slN\slmult1 in 240ths of a line, \slN\slmult0 at least N twips, negative exactly.
    const double height = format.lineHeight();
    int spacing = 0;
    bool multiple = false;
    switch (format.lineHeightType()) {
    case QTextBlockFormat::ProportionalHeight:
        if (height > 0 && height != 100) {
            spacing = int(std::lround(qMin(height, 10000.0) * 240 / 100));
            multiple = true;
        }
        break;
    case QTextBlockFormat::FixedHeight:
        spacing = -qMax(0, twipsFromPixels(height));
        break;
    case QTextBlockFormat::MinimumHeight:
        spacing = qMax(0, twipsFromPixels(height));
        break;
    default:
        break;
    }
    if (spacing != 0) {
        appendWord(m_out, "\\sl", spacing);
        m_out += multiple ? "\\slmult1" : "\\slmult0";
    }
    m_out += ' ';
}

void Writer::writePicture(const QTextImageFormat &format)
{
    const QVariant resource = m_document.resource(QTextDocument::ImageResource, QUrl(format.name()));
    QByteArray data;
    QSize natural;
    PictureFormat kind = PictureFormat::Unknown;
    QImage image;
    if (resource.userType() == QMetaType::QByteArray) {
        // Picture data as read from a file: PNG and JPEG go out as they came in.
        data = resource.toByteArray();
        kind = pictureFormatOf(data);
        natural = pictureSizeOf(data);
        if (!natural.isValid()) {
            kind = PictureFormat::Unknown;
            image = QImage::fromData(data);
        }
    } else if (resource.userType() == QMetaType::QImage) {
        image = resource.value<QImage>();
    } else if (resource.userType() == QMetaType::QPixmap) {
        image = resource.value<QPixmap>().toImage();
    }
    if (kind == PictureFormat::Unknown) {
        if (image.isNull())
            return;
        data.clear();
        QBuffer buffer(&data);
        buffer.open(QIODevice::WriteOnly);
        QImageWriter writer(&buffer, "png");
        if (!writer.write(image))
            return;
        kind = PictureFormat::Png;
        natural = image.size();
    }

    double width = format.width();
    double height = format.height();
    if (width <= 0 && height <= 0) {
        width = natural.width();
        height = natural.height();
    } else if (width <= 0) {
        width = height * natural.width() / natural.height();
    } else if (height <= 0) {
        height = width * natural.height() / natural.width();
    }

    m_out += kind == PictureFormat::Png ? "{\\pict\\pngblip" : "{\\pict\\jpegblip";
    appendWord(m_out, "\\picw", natural.width());
    appendWord(m_out, "\\pich", natural.height());
    appendWord(m_out, "\\picwgoal", twipsFromPixels(width));
    appendWord(m_out, "\\pichgoal", twipsFromPixels(height));
    m_out += "\r\n";
    appendHex(m_out, data);
    m_out += '}';
}

} // namespace

QByteArray writeRtf(const QTextDocument &document)
{
    return Writer(document).write();
}

} // namespace velmira
