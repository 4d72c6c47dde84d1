#include "rtfcodepage.h"

#include <QHash>
#include <QMutex>
#include <QStringDecoder>
#include <memory>

namespace velmira::rtf {

namespace {

// The characters of the Symbol font's glyphs from 0x20 on; 0 where a glyph is only a piece of a
// larger sign and has no character of its own.
constexpr char16_t SymbolFontCharacters[224] = {
    // 0x20
    0x0020, 0x0021, 0x2200, 0x0023, 0x2203, 0x0025, 0x0026, 0x220B, 0x0028, 0x0029, 0x2217, 0x002B, 0x002C,
    0x2212, 0x002E, 0x002F,
    // 0x30
    0x0030, 0x0031, 0x0032, 0x0033, 0x0034, 0x0035, 0x0036, 0x0037, 0x0038, 0x0039, 0x003A, 0x003B, 0x003C,
    0x003D, 0x003E, 0x003F,
    // 0x40
    0x2245, 0x0391, 0x0392, 0x03A7, 0x0394, 0x0395, 0x03A6, 0x0393, 0x0397, 0x0399, 0x03D1, 0x039A, 0x039B,
    0x039C, 0x039D, 0x039F,
    // 0x50
    0x03A0, 0x0398, 0x03A1, 0x03A3, 0x03A4, 0x03A5, 0x03C2, 0x03A9, 0x039E, 0x03A8, 0x0396, 0x005B, 0x2234,
    0x005D, 0x22A5, 0x005F,
    // 0x60
    0, 0x03B1, 0x03B2, 0x03C7, 0x03B4, 0x03B5, 0x03C6, 0x03B3, 0x03B7, 0x03B9, 0x03D5, 0x03BA, 0x03BB,
    0x03BC, 0x03BD, 0x03BF,
    // 0x70
    0x03C0, 0x03B8, 0x03C1, 0x03C3, 0x03C4, 0x03C5, 0x03D6, 0x03C9, 0x03BE, 0x03C8, 0x03B6, 0x007B, 0x007C,
    0x007D, 0x223C, 0,
    // 0x80, 0x90: no glyphs
    0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0,
    0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0,
    // 0xA0
    0x20AC, 0x03D2, 0x2032, 0x2264, 0x2044, 0x221E, 0x0192, 0x2663, 0x2666, 0x2665, 0x2660, 0x2194, 0x2190,
    0x2191, 0x2192, 0x2193,
    // 0xB0
    0x00B0, 0x00B1, 0x2033, 0x2265, 0x00D7, 0x221D, 0x2202, 0x2022, 0x00F7, 0x2260, 0x2261, 0x2248, 0x2026,
    0, 0, 0x21B5,
    // 0xC0
    0x2135, 0x2111, 0x211C, 0x2118, 0x2297, 0x2295, 0x2205, 0x2229, 0x222A, 0x2283, 0x2287, 0x2284, 0x2282,
    0x2286, 0x2208, 0x2209,
    // 0xD0
    0x2220, 0x2207, 0x00AE, 0x00A9, 0x2122, 0x220F, 0x221A, 0x22C5, 0x00AC, 0x2227, 0x2228, 0x21D4, 0x21D0,
    0x21D1, 0x21D2, 0x21D3,
    // 0xE0
    0x25CA, 0x2329, 0x00AE, 0x00A9, 0x2122, 0x2211, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0,
    // 0xF0
    0, 0x232A, 0x222B, 0x2320, 0, 0x2321, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0,
};

bool isMultiByteNumber(int number)
{
    return number == 932 || number == 936 || number == 949 || number == 950;
}

// The converter names under which the code pages are known.
QByteArray converterName(int number)
{
    switch (number) {
    case 932: return "windows-31j";
    case 936: return "GBK";
    case 949: return "windows-949";
    case 950: return "Big5";
    case 10000: return "macintosh";
    case 10006: return "x-mac-greek";
    case 10007: return "x-mac-cyrillic";
    case 10029: return "x-mac-ce";
    case 20866: return "KOI8-R";
    case 21866: return "KOI8-U";
    default: break;
    }
    if (number >= 28591 && number <= 28605)
        return "ISO-8859-" + QByteArray::number(number - 28590);
    if (number >= 1250 && number <= 1258)
        return "windows-" + QByteArray::number(number);
    if (number == 874)
        return "windows-874";
    if (number >= 437 && number <= 869)
        return "IBM" + QByteArray::number(number);
    return {};
}

} // namespace

int codepageOfCharset(int charset, const QString &fontName)
{
    switch (charset) {
    case 0: return 1252;   // ANSI
    case 2: return fontName.compare(u"Symbol", Qt::CaseInsensitive) == 0 ? SymbolFontCodepage : SymbolCodepage;
    case 77: return 10000; // Mac Roman
    case 78: return 932;
    case 79: return 949;
    case 80: return 936;
    case 81: return 950;
    case 83: return 10005;
    case 84: return 10004;
    case 85: return 10006;
    case 86: return 10081;
    case 87: return 10021;
    case 88: return 10029;
    case 89: return 10007;
    case 128: return 932;  // Shift-JIS
    case 129: return 949;  // Hangul
    case 134: return 936;  // GB2312
    case 136: return 950;  // Big5
    case 161: return 1253; // Greek
    case 162: return 1254; // Turkish
    case 163: return 1258; // Vietnamese
    case 177: return 1255; // Hebrew
    case 178: return 1256; // Arabic
    case 186: return 1257; // Baltic
    case 204: return 1251; // Cyrillic
    case 222: return 874;  // Thai
    case 238: return 1250; // Central European
    case 254: return 437;  // PC 437
    case 255: return 850;  // OEM
    default: return 0;     // 1 (default) and anything unknown: the document's code page
    }
}

Codepage::Codepage(int number)
{
    if (number == SymbolCodepage || number == SymbolFontCodepage) {
        m_number = number;
        for (int byte = 0; byte < 256; ++byte) {
            const char16_t character = byte >= 0x20 && number == SymbolFontCodepage
                                           ? SymbolFontCharacters[byte - 0x20]
                                           : char16_t(0);
            m_table[byte] = character ? character : char16_t(0xF000 + byte);
        }
        return;
    }
    QByteArray name = converterName(number);
    if (name.isEmpty() || !QStringDecoder(name.constData()).isValid()) {
        number = 1252;
        name = "windows-1252";
    }
    m_number = number;
    m_name = name;
    m_multiByte = isMultiByteNumber(number);
    for (int byte = 0; byte < 256; ++byte)
        m_table[byte] = char16_t(byte < 0x80 ? byte : 0xFFFD);
    if (!m_multiByte) {
        QByteArray all(256, '\0');
        for (int byte = 0; byte < 256; ++byte)
            all[byte] = char(byte);
        const QString decoded = decode(all);
        if (decoded.size() == 256) {
            for (int byte = 0; byte < 256; ++byte)
                m_table[byte] = decoded.at(byte).unicode();
        }
    }
}

const Codepage &Codepage::get(int number)
{
    static QMutex mutex;
    static QHash<int, std::shared_ptr<const Codepage>> pages;
    QMutexLocker locker(&mutex);
    auto it = pages.constFind(number);
    if (it == pages.constEnd())
        it = pages.insert(number, std::make_shared<const Codepage>(number));
    return **it;
}

QString Codepage::decode(QByteArrayView bytes) const
{
    if (m_name.isEmpty()) { // a code page of our own table
        QString text(bytes.size(), Qt::Uninitialized);
        for (qsizetype i = 0; i < bytes.size(); ++i)
            text[i] = QChar(m_table[uchar(bytes[i])]);
        return text;
    }
    QStringDecoder decoder(m_name.constData(), QStringConverter::Flag::Stateless);
    return decoder.decode(bytes);
}

unsigned char windows1251Byte(char16_t character)
{
    static const std::array<unsigned char, 65536> table = [] {
        std::array<unsigned char, 65536> bytes{};
        const Codepage &page = Codepage::get(1251);
        for (int byte = 0x20; byte < 256; ++byte) {
            const char16_t c = page.character(uchar(byte));
            if (byte != 0x7F && c != 0xFFFD && !(c >= 0x7F && c < 0xA0))
                bytes[c] = uchar(byte);
        }
        return bytes;
    }();
    return table[character];
}

} // namespace velmira::rtf
