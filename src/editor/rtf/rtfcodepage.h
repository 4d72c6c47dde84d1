// The 8-bit code pages that RTF text is written in.
#pragma once

#include <QByteArrayView>
#include <QString>
#include <array>

namespace velmira::rtf {

// The symbol character set (\fcharset2): each byte names a glyph of its font, kept as the character
// U+F000 + byte of the private use area, as word processors do.
constexpr int SymbolCodepage = 42;
// The glyphs of the font named "Symbol", which do have characters of their own: Greek letters,
// mathematical signs, arrows, the bullet.
constexpr int SymbolFontCodepage = 0x10000 + 42;

// The Windows code page of an RTF font character set (\fcharsetN), or 0 when the set names none, so
// that the document's code page (\ansicpgN) applies. `fontName` tells the Symbol font from other
// symbol fonts.
int codepageOfCharset(int charset, const QString &fontName = {});

// One code page, ready to decode bytes. Code pages are shared and live for the whole run.
class Codepage
{
public:
    // The code page with that number; an unknown number gives Windows-1252, the RTF default.
    static const Codepage &get(int number);

    int number() const { return m_number; }

    // True for the East Asian code pages, where one character may take two bytes: their bytes must be
    // collected and decoded together.
    bool isMultiByte() const { return m_multiByte; }

    // The character of one byte of a single-byte code page.
    char16_t character(unsigned char byte) const { return m_table[byte]; }

    // Decodes bytes; undecodable bytes give U+FFFD.
    QString decode(QByteArrayView bytes) const;

    explicit Codepage(int number);

private:
    int m_number = 1252;
    bool m_multiByte = false;
    QByteArray m_name;
    std::array<char16_t, 256> m_table{};
};

// The Windows-1251 byte of a character, or 0 when the code page has no place for it (control
// characters included).
unsigned char windows1251Byte(char16_t character);

} // namespace velmira::rtf
