#include "rtfreader.h"

#include "rtfcodepage.h"
#include "rtfpicture.h"
#include "rtfunits.h"

#include <QColor>
#include <QCryptographicHash>
#include <QHash>
#include <QSet>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextImageFormat>
#include <QUrl>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace velmira {

namespace {

using namespace rtf;
using namespace Qt::StringLiterals;

// Deeper groups than this are skipped whole: no real document comes near it.
constexpr int MaxGroupDepth = 500;
constexpr qint64 MaxParameter = 2'000'000'000;
constexpr int MaxFontNameLength = 256;
// Font and colour tables hold at most this many entries; more only come from damaged files.
constexpr int MaxTableEntries = 32768;
// Pictures are shown at most this many pixels wide or high.
constexpr double MaxPictureSide = 10000;
// Sizes and lengths beyond what any word processor offers are cut to these.
constexpr int MaxHalfPoints = 3276;
constexpr int MaxTwips = 31680;

enum class Destination : quint8 {
    Text,      // shown text
    Container, // text is not shown, but groups inside may hold shown text or pictures
    FontTable,
    ColorTable,
    Picture,
};

enum class Underline : quint8 { None, Single, Dotted, Dash, DashDot, DashDotDot, Wave };
enum class VerticalPosition : quint8 { Normal, Sub, Super };
enum class Alignment : quint8 { Left, Center, Right, Justify };

struct CharState
{
    int font = -1; // -1: the default font (\deff)
    int halfPoints = 24;
    int foreground = -1; // colour table index, -1 automatic
    int background = -1;
    bool bold = false;
    bool italic = false;
    bool strike = false;
    bool hidden = false;
    Underline underline = Underline::None;
    VerticalPosition position = VerticalPosition::Normal;

    bool operator==(const CharState &) const = default;
};

struct ParaState
{
    int leftIndent = 0; // twips
    int rightIndent = 0;
    int firstIndent = 0;
    int spaceBefore = 0;
    int spaceAfter = 0;
    int lineSpacing = 0;
    bool lineMultiple = false;
    bool inTable = false;
    Alignment alignment = Alignment::Left;

    bool operator==(const ParaState &) const = default;
};

struct GroupState
{
    CharState chr;
    ParaState para;
    Destination destination = Destination::Text;
    int unicodeSkip = 1;
};

enum class Kw : quint8 {
    // Destinations.
    SkipDestination,
    TransparentDestination,
    ContainerDestination,
    TextInContainer,
    FontTable,
    ColorTable,
    Picture,
    // Document.
    Ansi,
    Mac,
    Pc,
    Pca,
    AnsiCodepage,
    DefaultFont,
    UnicodeSkip,
    Unicode,
    Bin,
    // Font table and colour table.
    Font,
    FontCharset,
    FontCodepage,
    Red,
    Green,
    Blue,
    // Characters.
    Plain,
    Bold,
    Italic,
    Underline,
    UnderlineDotted,
    UnderlineDash,
    UnderlineDashDot,
    UnderlineDashDotDot,
    UnderlineWave,
    UnderlineNone,
    Strike,
    FontSize,
    Foreground,
    Background,
    Highlight,
    Sub,
    Super,
    NoSuperSub,
    Hidden,
    // Paragraphs.
    Pard,
    AlignLeft,
    AlignCenter,
    AlignRight,
    AlignJustify,
    LeftIndent,
    RightIndent,
    FirstIndent,
    SpaceBefore,
    SpaceAfter,
    LineSpacing,
    LineMultiple,
    InTable,
    // Content.
    Par,
    SectionEnd,
    Character,
    Cell,
    Row,
    // Pictures.
    PngBlip,
    JpegBlip,
    OtherBlip,
    PicGoalWidth,
    PicGoalHeight,
    PicScaleX,
    PicScaleY,
};

bool isDestination(Kw kw)
{
    switch (kw) {
    case Kw::SkipDestination:
    case Kw::TransparentDestination:
    case Kw::ContainerDestination:
    case Kw::TextInContainer:
    case Kw::FontTable:
    case Kw::ColorTable:
    case Kw::Picture:
        return true;
    default:
        return false;
    }
}

struct Keyword
{
    Kw kw;
    char16_t character = 0; // for Kw::Character
};

const std::unordered_map<std::string_view, Keyword> &keywords()
{
    static const std::unordered_map<std::string_view, Keyword> map = [] {
        std::unordered_map<std::string_view, Keyword> m;
        // Destinations whose text is never shown.
        for (std::string_view word : {"stylesheet",   "info",          "header",       "headerl",
                                      "headerr",      "headerf",       "footer",       "footerl",
                                      "footerr",      "footerf",       "footnote",     "annotation",
                                      "atnid",        "atnauthor",     "atndate",      "atnref",
                                      "atrfstart",    "atrfend",       "fldinst",      "xe",
                                      "tc",           "tcn",           "txe",          "rxe",
                                      "bkmkstart",    "bkmkend",       "pn",           "pntxta",
                                      "pntxtb",       "pnseclvl",      "listtable",    "listoverridetable",
                                      "revtbl",       "rsidtbl",       "filetbl",      "generator",
                                      "template",     "nonshppict",    "shprslt",      "shptxt",
                                      "objdata",      "objclass",      "objname",      "objalias",
                                      "objsect",      "datafield",     "themedata",    "colorschememapping",
                                      "latentstyles", "datastore",     "xmlnstbl",     "pgdsctbl",
                                      "mmathPr",      "comment",       "author",       "operator",
                                      "title",        "subject",       "keywords",     "doccomm",
                                      "company",      "category",      "manager",      "hlinkbase",
                                      "userprops",    "ftnsep",        "ftnsepc",      "ftncn",
                                      "aftnsep",      "aftnsepc",      "aftncn",       "private",
                                      "blipuid",      "picprop",       "nonesttables", "formfield",
                                      "docvar",       "wgrffmtfilter", "defchp",       "defpap",
                                      "panose",       "falt",          "fname",        "fontemb",
                                      "fontfile",     "passwordhash",  "protusertbl",  "listpicture",
                                      "do",           "background",    "buptim",       "creatim",
                                      "revtim",       "printim",       "password",     "expandedcolortbl",
                                      "fchars",       "lchars",        "pgptbl",       "oldcprops",
                                      "oldpprops",    "oldsprops",     "oldtprops",    "factoidname",
                                      "xmlopen",      "xmlclose",      "xmlattrname",  "xmlattrvalue",
                                      "mhtmltag",     "htmltag",       "ebcstart",     "ebcend",
                                      "gridtbl",      "fileinfo"})
            m[word] = {Kw::SkipDestination};
        // Destinations that only group shown text: the list label, a field and its result, a picture
        // in its newer wrapping, the properties of a nested table row (some writers put the row's
        // text there too).
        for (std::string_view word : {"field", "fldrslt", "listtext", "pntext", "shppict", "nesttableprops"})
            m[word] = {Kw::TransparentDestination};
        // Destinations holding one shown part among parts that are not shown.
        for (std::string_view word : {"upr", "object", "shp", "shpinst", "sp", "sn", "sv"})
            m[word] = {Kw::ContainerDestination};
        m["ud"] = {Kw::TextInContainer};
        m["result"] = {Kw::TextInContainer};
        m["fonttbl"] = {Kw::FontTable};
        m["colortbl"] = {Kw::ColorTable};
        m["pict"] = {Kw::Picture};

        m["ansi"] = {Kw::Ansi};
        m["mac"] = {Kw::Mac};
        m["pc"] = {Kw::Pc};
        m["pca"] = {Kw::Pca};
        m["ansicpg"] = {Kw::AnsiCodepage};
        m["deff"] = {Kw::DefaultFont};
        m["uc"] = {Kw::UnicodeSkip};
        m["u"] = {Kw::Unicode};
        m["bin"] = {Kw::Bin};
        m["f"] = {Kw::Font};
        m["fcharset"] = {Kw::FontCharset};
        m["cpg"] = {Kw::FontCodepage};
        m["red"] = {Kw::Red};
        m["green"] = {Kw::Green};
        m["blue"] = {Kw::Blue};

        m["plain"] = {Kw::Plain};
        m["b"] = {Kw::Bold};
        m["i"] = {Kw::Italic};
        for (std::string_view word : {"ul", "uldb", "ulth", "ulw"})
            m[word] = {Kw::Underline};
        for (std::string_view word : {"uld", "ulthd"})
            m[word] = {Kw::UnderlineDotted};
        for (std::string_view word : {"uldash", "ulthdash", "ulldash", "ulthldash"})
            m[word] = {Kw::UnderlineDash};
        for (std::string_view word : {"uldashd", "ulthdashd"})
            m[word] = {Kw::UnderlineDashDot};
        for (std::string_view word : {"uldashdd", "ulthdashdd"})
            m[word] = {Kw::UnderlineDashDotDot};
        for (std::string_view word : {"ulwave", "ulhwave", "ululdbwave"})
            m[word] = {Kw::UnderlineWave};
        m["ulnone"] = {Kw::UnderlineNone};
        m["strike"] = {Kw::Strike};
        m["striked"] = {Kw::Strike};
        m["fs"] = {Kw::FontSize};
        m["cf"] = {Kw::Foreground};
        m["cb"] = {Kw::Background};
        m["chcbpat"] = {Kw::Background};
        m["highlight"] = {Kw::Highlight};
        m["sub"] = {Kw::Sub};
        m["super"] = {Kw::Super};
        m["nosupersub"] = {Kw::NoSuperSub};
        m["v"] = {Kw::Hidden};

        m["pard"] = {Kw::Pard};
        m["ql"] = {Kw::AlignLeft};
        m["qc"] = {Kw::AlignCenter};
        m["qr"] = {Kw::AlignRight};
        m["qj"] = {Kw::AlignJustify};
        m["qd"] = {Kw::AlignJustify};
        m["li"] = {Kw::LeftIndent};
        m["lin"] = {Kw::LeftIndent};
        m["ri"] = {Kw::RightIndent};
        m["rin"] = {Kw::RightIndent};
        m["fi"] = {Kw::FirstIndent};
        m["sb"] = {Kw::SpaceBefore};
        m["sa"] = {Kw::SpaceAfter};
        m["sl"] = {Kw::LineSpacing};
        m["slmult"] = {Kw::LineMultiple};
        m["intbl"] = {Kw::InTable};

        m["par"] = {Kw::Par};
        m["sect"] = {Kw::SectionEnd};
        m["page"] = {Kw::SectionEnd};
        m["cell"] = {Kw::Cell};
        m["nestcell"] = {Kw::Cell};
        m["row"] = {Kw::Row};
        m["nestrow"] = {Kw::Row};
        const std::pair<std::string_view, char16_t> characters[] = {
            {"tab", u'\t'},           {"line", u'\u2028'},    {"lbr", u'\u2028'},
            {"emdash", u'\u2014'},    {"endash", u'\u2013'},  {"bullet", u'\u2022'},
            {"lquote", u'\u2018'},    {"rquote", u'\u2019'},  {"ldblquote", u'\u201C'},
            {"rdblquote", u'\u201D'}, {"emspace", u'\u2003'}, {"enspace", u'\u2002'},
            {"qmspace", u'\u2005'},   {"zwj", u'\u200D'},     {"zwnj", u'\u200C'},
            {"zwbo", u'\u200B'},      {"ltrmark", u'\u200E'}, {"rtlmark", u'\u200F'},
        };
        for (const auto &[word, character] : characters)
            m[word] = {Kw::Character, character};

        m["pngblip"] = {Kw::PngBlip};
        m["jpegblip"] = {Kw::JpegBlip};
        for (std::string_view word : {"emfblip", "wmetafile", "dibitmap", "wbitmap", "macpict", "pmmetafile"})
            m[word] = {Kw::OtherBlip};
        m["picwgoal"] = {Kw::PicGoalWidth};
        m["pichgoal"] = {Kw::PicGoalHeight};
        m["picscalex"] = {Kw::PicScaleX};
        m["picscaley"] = {Kw::PicScaleY};
        return m;
    }();
    return map;
}

bool isLetter(char c)
{
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

bool isDigit(char c)
{
    return c >= '0' && c <= '9';
}

int hexValue(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

struct FontDef
{
    QString name;
    int codepage = 0; // 0: the document's
};

struct Word
{
    std::string_view name;
    bool hasParameter = false;
    int parameter = 0;
};

class Parser
{
public:
    Parser(const char *begin, const char *end, QTextDocument &document, qint64 mostParagraphs,
           const std::function<void()> &beginningRead)
        : m_p(begin), m_end(end), m_document(document), m_cursor(&document), m_mostParagraphs(mostParagraphs),
          m_beginningRead(beginningRead)
    {
        const QFont font = document.defaultFont();
        m_defaultFamily = font.family();
        m_defaultHalfPoints = halfPointsOf(font);
    }

    void run();

private:
    void readAll();
    GroupState &state() { return m_stack.back(); }

    // Tokens.
    Word readWord();
    void openGroup();
    void closeGroup();
    void popGroup();
    void skipGroup();
    void skipRestOfGroup();
    void controlWord();
    void controlSymbol();
    void plainText();
    void hexByte();
    void binary(int length);

    // Keywords.
    void handleKeyword(const Keyword &keyword, const Word &word);
    void setDestination(Destination destination);

    // Shown text.
    bool showsText() { return state().destination == Destination::Text && !state().chr.hidden; }
    void prepareContent();
    void appendCharacter(char16_t character);
    void appendBytes(const char *begin, const char *end);
    void flushBytes();
    void flushRun();
    void startBlock();
    void insertBlocks();
    void endParagraph();
    void finishParagraph(const ParaState &para);
    const Codepage &currentCodepage();
    QTextCharFormat charFormat(const CharState &chr) const;
    bool isShownFamily(const QString &family) const;
    QTextBlockFormat blockFormat(const ParaState &para) const;
    QColor colour(int index) const;

    // Tables of the document.
    void addFontNameByte(char byte);
    void addFontNameCharacter(char16_t character);
    int fontNameCodepage() const;
    void finishFont();
    void finishColour();

    // Pictures.
    void startPicture();
    void pictureHex(const char *begin, const char *end);
    void finishPicture();

    const char *m_p;
    const char *m_end;
    QTextDocument &m_document;
    QTextCursor m_cursor;
    QString m_defaultFamily;
    int m_defaultHalfPoints = 24;

    std::vector<GroupState> m_stack;
    bool m_done = false;
    qint64 m_mostParagraphs;
    qint64 m_paragraphs = 1;
    // Paragraphs started and not in the document yet (see startBlock).
    int m_blocksToInsert = 0;
    std::function<void()> m_beginningRead;
    bool m_starred = false; // the last token was \*
    int m_skipCount = 0;    // characters still to skip after \uN

    int m_documentCodepage = 1252;
    int m_defaultFont = 0;
    QHash<int, FontDef> m_fonts;
    // The families that text takes, the first MostFamiliesShown.
    mutable QSet<QString> m_shownFamilies;
    int m_codepageFont = -2; // the font whose code page m_codepage holds
    const Codepage *m_codepage = nullptr;

    // The font table entry being read.
    bool m_fontOpen = false;
    qsizetype m_fontDepth = 0; // the group depth at which the entry began
    int m_fontNumber = 0;
    int m_fontCharset = -1;
    int m_fontCodepage = 0;
    QByteArray m_fontNameBytes; // not decoded yet
    QString m_fontName;

    // The colour table and the entry being read.
    std::vector<QColor> m_colours;
    int m_red = 0, m_green = 0, m_blue = 0;
    bool m_colourSet = false;

    // The text waiting to be inserted, all in one character format.
    QString m_run;
    CharState m_runChar;
    QByteArray m_pendingBytes;       // bytes of a multi-byte code page, decoded together
    bool m_paragraphPending = false; // a paragraph ended; the next content starts a new one
    bool m_blockHasContent = false;
    // The formats the current block has: a new block takes over those of the one before, so they are
    // set only when they change.
    ParaState m_blockPara;
    CharState m_markChar;
    bool m_markKnown = false;
    int m_pendingCells = 0;          // cells ended in this row, shown as tabs before the next content
    bool m_pendingLineBreak = false; // a paragraph ended inside a table cell
    bool m_cellHasContent = false;

    struct Picture
    {
        bool active = false;
        size_t depth = 0;
        PictureFormat format = PictureFormat::Unknown;
        QByteArray data;
        int highNibble = -1;
        int goalWidth = 0, goalHeight = 0; // twips
        int scaleX = 100, scaleY = 100;
    } m_picture;
};

void Parser::run()
{
    m_cursor.beginEditBlock();
    readAll();
    insertBlocks();
    m_cursor.endEditBlock();
}

void Parser::readAll()
{
    m_stack.reserve(64);
    m_colours.reserve(16);
    // The caller made sure that the data starts with "{\rtf" after white space.
    while (m_p < m_end && *m_p != '{')
        ++m_p;
    while (m_p < m_end && !m_done) {
        switch (*m_p) {
        case '{':
            ++m_p;
            openGroup();
            break;
        case '}':
            ++m_p;
            closeGroup();
            break;
        case '\\':
            ++m_p;
            if (m_p < m_end && isLetter(*m_p))
                controlWord();
            else
                controlSymbol();
            break;
        default:
            plainText();
            break;
        }
    }
    // The end of the outermost group, or of a file cut short: whatever is open is closed.
    if (m_stack.empty())
        return;
    flushBytes();
    const ParaState lastPara = state().para;
    while (m_stack.size() > 1)
        popGroup();
    finishParagraph(lastPara);
}

Word Parser::readWord()
{
    const char *start = m_p;
    while (m_p < m_end && isLetter(*m_p))
        ++m_p;
    Word word;
    word.name = std::string_view(start, size_t(m_p - start));
    bool negative = false;
    if (m_p + 1 < m_end && *m_p == '-' && isDigit(m_p[1])) {
        negative = true;
        ++m_p;
    }
    qint64 value = 0;
    while (m_p < m_end && isDigit(*m_p)) {
        word.hasParameter = true;
        if (value <= MaxParameter)
            value = value * 10 + (*m_p - '0');
        ++m_p;
    }
    value = qMin(value, MaxParameter);
    word.parameter = int(negative ? -value : value);
    if (m_p < m_end && *m_p == ' ')
        ++m_p;
    return word;
}

void Parser::openGroup()
{
    flushBytes();
    m_starred = false;
    m_skipCount = 0;
    if (m_stack.size() >= size_t(MaxGroupDepth)) {
        skipGroup();
        return;
    }
    if (m_stack.empty())
        m_stack.emplace_back();
    else
        m_stack.push_back(m_stack.back());
}

void Parser::closeGroup()
{
    flushBytes();
    m_starred = false;
    m_skipCount = 0;
    if (m_stack.size() <= 1) {
        m_done = true;
        return;
    }
    popGroup();
}

void Parser::popGroup()
{
    const Destination closed = state().destination;
    const bool endsPicture = m_picture.active && m_stack.size() == m_picture.depth;
    m_stack.pop_back();
    if (endsPicture)
        finishPicture();
    // An entry ends with the group it began in, not with a group inside it ({\*\panose ...}).
    if (closed == Destination::FontTable && qsizetype(m_stack.size()) < m_fontDepth)
        finishFont();
    if (closed == Destination::ColorTable && m_colourSet)
        finishColour();
}

// Skips the rest of the current group, nested groups and binary data included, and closes it.
void Parser::skipGroup()
{
    int depth = 1;
    while (m_p < m_end) {
        const char c = *m_p++;
        if (c == '{') {
            ++depth;
        } else if (c == '}') {
            if (--depth == 0)
                return;
        } else if (c == '\\' && m_p < m_end) {
            if (isLetter(*m_p)) {
                const Word word = readWord();
                if (word.name == "bin" && word.parameter > 0)
                    m_p += qMin<qint64>(word.parameter, m_end - m_p);
            } else {
                ++m_p;
            }
        }
    }
}

void Parser::controlWord()
{
    flushBytes();
    const Word word = readWord();
    const bool starred = std::exchange(m_starred, false);
    const auto &map = keywords();
    const auto it = map.find(word.name);
    const Keyword *keyword = it == map.end() ? nullptr : &it->second;

    if (m_skipCount > 0) {
        // A control word stands for one character of the text that follows \uN for older readers.
        --m_skipCount;
        if (keyword && keyword->kw == Kw::Bin && word.parameter > 0)
            m_p += qMin<qint64>(word.parameter, m_end - m_p);
        return;
    }
    // An unknown word is ignored; a destination marked with \* that is not known is skipped whole.
    if (!keyword) {
        if (starred)
            skipRestOfGroup();
        return;
    }
    if (keyword->kw == Kw::SkipDestination || (starred && !isDestination(keyword->kw))) {
        skipRestOfGroup();
        return;
    }
    handleKeyword(*keyword, word);
}

// Skips the rest of a destination that is not shown. The outermost group is never skipped: a
// destination word standing in it without a group of its own is ignored.
void Parser::skipRestOfGroup()
{
    if (m_stack.size() <= 1)
        return;
    skipGroup();
    popGroup();
}

void Parser::controlSymbol()
{
    if (m_p >= m_end)
        return;
    const char c = *m_p;
    if (c == '\'') {
        ++m_p;
        hexByte();
        return;
    }
    ++m_p;
    flushBytes();
    if (c == '*') {
        m_starred = true;
        return;
    }
    m_starred = false;
    if (m_skipCount > 0) {
        --m_skipCount;
        return;
    }
    switch (c) {
    case '\\':
    case '{':
    case '}':
        if (state().destination == Destination::FontTable) {
            addFontNameByte(c);
        } else if (showsText()) {
            appendCharacter(char16_t(c));
        }
        break;
    case '~':
        if (showsText())
            appendCharacter(u'\u00A0');
        break;
    case '-':
        if (showsText())
            appendCharacter(u'\u00AD');
        break;
    case '_':
        if (showsText())
            appendCharacter(u'\u2011');
        break;
    case '\r':
    case '\n':
        handleKeyword({Kw::Par}, {});
        break;
    case '\t':
        if (showsText())
            appendCharacter(u'\t');
        break;
    default: // \| \: and others name nothing shown
        break;
    }
}

void Parser::hexByte()
{
    m_starred = false;
    // Two hex digits; a broken escape takes the characters it would have had, but no brace or backslash.
    int value = 0;
    int digits = 0;
    bool valid = true;
    while (digits < 2 && m_p < m_end && *m_p != '\\' && *m_p != '{' && *m_p != '}') {
        const int v = hexValue(*m_p++);
        if (v < 0)
            valid = false;
        value = value * 16 + qMax(v, 0);
        ++digits;
    }
    if (m_skipCount > 0) {
        --m_skipCount;
        return;
    }
    if (!valid || digits < 2)
        return;
    const char byte = char(value);
    switch (state().destination) {
    case Destination::Text:
        if (!state().chr.hidden)
            appendBytes(&byte, &byte + 1);
        break;
    case Destination::FontTable:
        addFontNameByte(byte);
        break;
    default:
        break;
    }
}

void Parser::binary(int length)
{
    const qint64 n = qMin<qint64>(qMax(length, 0), m_end - m_p);
    if (state().destination == Destination::Picture && m_picture.active) {
        m_picture.data.append(m_p, n);
        m_picture.highNibble = -1;
    }
    m_p += n;
}

void Parser::plainText()
{
    m_starred = false;
    const char *begin = m_p;
    while (m_p < m_end && *m_p != '\\' && *m_p != '{' && *m_p != '}')
        ++m_p;
    const char *end = m_p;
    // Line ends are not text in RTF; the characters standing in for \uN are skipped.
    while (m_skipCount > 0 && begin < end) {
        if (*begin != '\r' && *begin != '\n')
            --m_skipCount;
        ++begin;
    }
    if (begin == end)
        return;
    switch (state().destination) {
    case Destination::Text:
        if (!state().chr.hidden)
            appendBytes(begin, end);
        break;
    case Destination::FontTable:
        for (const char *q = begin; q < end; ++q) {
            if (*q == ';') {
                finishFont();
            } else if (uchar(*q) >= 0x20) {
                addFontNameByte(*q);
            }
        }
        break;
    case Destination::ColorTable:
        for (const char *q = begin; q < end; ++q) {
            if (*q == ';')
                finishColour();
        }
        break;
    case Destination::Picture:
        pictureHex(begin, end);
        break;
    case Destination::Container:
        break;
    }
}

void Parser::setDestination(Destination destination)
{
    state().destination = destination;
}

void Parser::handleKeyword(const Keyword &keyword, const Word &word)
{
    GroupState &s = state();
    CharState &chr = s.chr;
    ParaState &para = s.para;
    const int param = word.parameter;
    const bool on = !word.hasParameter || param != 0;
    const auto twips = [&] {
        return qBound(-MaxTwips, param, MaxTwips);
    };

    switch (keyword.kw) {
    case Kw::SkipDestination:
        break; // handled by the caller
    case Kw::TransparentDestination:
        break;
    case Kw::ContainerDestination:
        if (s.destination == Destination::Text)
            setDestination(Destination::Container);
        break;
    case Kw::TextInContainer:
        if (s.destination == Destination::Container)
            setDestination(Destination::Text);
        break;
    case Kw::FontTable:
        setDestination(Destination::FontTable);
        break;
    case Kw::ColorTable:
        setDestination(Destination::ColorTable);
        m_colourSet = false;
        m_red = m_green = m_blue = 0;
        break;
    case Kw::Picture:
        if (s.destination == Destination::Text || s.destination == Destination::Container) {
            setDestination(Destination::Picture);
            startPicture();
        } else {
            skipRestOfGroup();
        }
        break;

    case Kw::Ansi:
        m_documentCodepage = 1252;
        m_codepageFont = -2;
        break;
    case Kw::Mac:
        m_documentCodepage = 10000;
        m_codepageFont = -2;
        break;
    case Kw::Pc:
        m_documentCodepage = 437;
        m_codepageFont = -2;
        break;
    case Kw::Pca:
        m_documentCodepage = 850;
        m_codepageFont = -2;
        break;
    case Kw::AnsiCodepage:
        if (param > 0)
            m_documentCodepage = param;
        m_codepageFont = -2;
        break;
    case Kw::DefaultFont:
        m_defaultFont = param;
        m_codepageFont = -2;
        break;
    case Kw::UnicodeSkip:
        s.unicodeSkip = qBound(0, param, 16);
        break;
    case Kw::Unicode: {
        int code = param;
        if (code < 0)
            code += 65536;
        const char16_t character = code >= 0 && code <= 0xFFFF ? char16_t(code) : u'\uFFFD';
        if (showsText())
            appendCharacter(character);
        else if (s.destination == Destination::FontTable)
            addFontNameCharacter(character);
        m_skipCount = s.unicodeSkip;
        break;
    }
    case Kw::Bin:
        binary(param);
        break;

    case Kw::Font:
        if (s.destination == Destination::FontTable) {
            finishFont();
            m_fontOpen = true;
            m_fontDepth = qsizetype(m_stack.size());
            m_fontNumber = param;
            m_fontCharset = -1;
            m_fontCodepage = 0;
            m_fontName.clear();
            m_fontNameBytes.clear();
        } else {
            chr.font = param;
        }
        break;
    case Kw::FontCharset:
        if (m_fontOpen)
            m_fontCharset = param;
        break;
    case Kw::FontCodepage:
        if (m_fontOpen)
            m_fontCodepage = param;
        break;
    case Kw::Red:
        m_red = qBound(0, param, 255);
        m_colourSet = true;
        break;
    case Kw::Green:
        m_green = qBound(0, param, 255);
        m_colourSet = true;
        break;
    case Kw::Blue:
        m_blue = qBound(0, param, 255);
        m_colourSet = true;
        break;

    case Kw::Plain:
        chr = CharState();
        break;
    case Kw::Bold:
        chr.bold = on;
        break;
    case Kw::Italic:
        chr.italic = on;
        break;
    case Kw::Underline:
        chr.underline = on ? Underline::Single : Underline::None;
        break;
    case Kw::UnderlineDotted:
        chr.underline = on ? Underline::Dotted : Underline::None;
        break;
    case Kw::UnderlineDash:
        chr.underline = on ? Underline::Dash : Underline::None;
        break;
    case Kw::UnderlineDashDot:
        chr.underline = on ? Underline::DashDot : Underline::None;
        break;
    case Kw::UnderlineDashDotDot:
        chr.underline = on ? Underline::DashDotDot : Underline::None;
        break;
    case Kw::UnderlineWave:
        chr.underline = on ? Underline::Wave : Underline::None;
        break;
    case Kw::UnderlineNone:
        chr.underline = Underline::None;
        break;
    case Kw::Strike:
        chr.strike = on;
        break;
    case Kw::FontSize:
        chr.halfPoints = param > 0 ? qMin(param, MaxHalfPoints) : 24;
        break;
    case Kw::Foreground:
        chr.foreground = param;
        break;
    case Kw::Background:
    case Kw::Highlight:
        chr.background = param;
        break;
    case Kw::Sub:
        chr.position = on ? VerticalPosition::Sub : VerticalPosition::Normal;
        break;
    case Kw::Super:
        chr.position = on ? VerticalPosition::Super : VerticalPosition::Normal;
        break;
    case Kw::NoSuperSub:
        chr.position = VerticalPosition::Normal;
        break;
    case Kw::Hidden:
        chr.hidden = on;
        break;

    case Kw::Pard:
        para = ParaState();
        break;
    case Kw::AlignLeft:
        para.alignment = Alignment::Left;
        break;
    case Kw::AlignCenter:
        para.alignment = Alignment::Center;
        break;
    case Kw::AlignRight:
        para.alignment = Alignment::Right;
        break;
    case Kw::AlignJustify:
        para.alignment = Alignment::Justify;
        break;
    case Kw::LeftIndent:
        para.leftIndent = twips();
        break;
    case Kw::RightIndent:
        para.rightIndent = twips();
        break;
    case Kw::FirstIndent:
        para.firstIndent = twips();
        break;
    case Kw::SpaceBefore:
        para.spaceBefore = qMax(0, twips());
        break;
    case Kw::SpaceAfter:
        para.spaceAfter = qMax(0, twips());
        break;
    case Kw::LineSpacing:
        para.lineSpacing = twips();
        break;
    case Kw::LineMultiple:
        para.lineMultiple = on;
        break;
    case Kw::InTable:
        para.inTable = on;
        break;

    case Kw::Par:
        if (s.destination != Destination::Text)
            break;
        if (para.inTable) {
            // A paragraph inside a table cell: the row stays one paragraph.
            if (m_cellHasContent)
                m_pendingLineBreak = true;
        } else {
            endParagraph();
        }
        break;
    case Kw::SectionEnd:
        if (s.destination == Destination::Text && !m_paragraphPending && m_blockHasContent)
            endParagraph();
        break;
    case Kw::Character:
        if (showsText())
            appendCharacter(keyword.character);
        break;
    case Kw::Cell:
        if (s.destination == Destination::Text) {
            ++m_pendingCells;
            m_pendingLineBreak = false;
            m_cellHasContent = false;
        }
        break;
    case Kw::Row:
        if (s.destination == Destination::Text) {
            endParagraph();
            para.inTable = false;
        }
        break;

    case Kw::PngBlip:
        if (s.destination == Destination::Picture)
            m_picture.format = PictureFormat::Png;
        break;
    case Kw::JpegBlip:
        if (s.destination == Destination::Picture)
            m_picture.format = PictureFormat::Jpeg;
        break;
    case Kw::OtherBlip:
        if (s.destination == Destination::Picture) {
            // A kind of picture that is not shown: its data is passed over.
            m_picture.active = false;
            skipRestOfGroup();
        }
        break;
    case Kw::PicGoalWidth:
        m_picture.goalWidth = param;
        break;
    case Kw::PicGoalHeight:
        m_picture.goalHeight = param;
        break;
    case Kw::PicScaleX:
        m_picture.scaleX = param;
        break;
    case Kw::PicScaleY:
        m_picture.scaleY = param;
        break;
    }
}

// Everything shown goes through here first: it opens the paragraph that a \par left pending and
// puts in the tabs and line breaks of table cells.
void Parser::prepareContent()
{
    if (m_paragraphPending) {
        flushRun();
        startBlock();
        m_paragraphPending = false;
    }
    if (!(m_runChar == state().chr)) {
        flushRun();
        m_runChar = state().chr;
    }
    if (m_pendingCells > 0) {
        m_run.append(QString(m_pendingCells, u'\t'));
        m_pendingCells = 0;
    }
    if (m_pendingLineBreak) {
        m_run.append(QChar(QChar::LineSeparator));
        m_pendingLineBreak = false;
    }
    m_blockHasContent = true;
    m_cellHasContent = true;
}

void Parser::appendCharacter(char16_t character)
{
    prepareContent();
    m_run.append(QChar(character));
}

void Parser::appendBytes(const char *begin, const char *end)
{
    const char *firstShown = begin;
    while (firstShown < end && uchar(*firstShown) < 0x20 && *firstShown != '\t')
        ++firstShown;
    if (firstShown == end)
        return;
    prepareContent();
    const Codepage &page = currentCodepage();
    if (page.isMultiByte()) {
        for (const char *q = firstShown; q < end; ++q) {
            if (uchar(*q) >= 0x20 || *q == '\t')
                m_pendingBytes += *q;
        }
        return;
    }
    const qsizetype used = m_run.size();
    if (m_run.capacity() < used + (end - firstShown))
        m_run.reserve(qMax(used + (end - firstShown), 2 * m_run.capacity()));
    m_run.resize(used + (end - firstShown));
    QChar *out = m_run.data() + used;
    for (const char *q = firstShown; q < end; ++q) {
        const uchar byte = uchar(*q);
        if (byte >= 0x20 || byte == '\t')
            *out++ = QChar(page.character(byte));
    }
    m_run.truncate(out - m_run.constData());
}

void Parser::flushBytes()
{
    if (m_pendingBytes.isEmpty())
        return;
    m_run += currentCodepage().decode(m_pendingBytes);
    m_pendingBytes.clear();
}

const Codepage &Parser::currentCodepage()
{
    const int font = state().chr.font < 0 ? m_defaultFont : state().chr.font;
    if (font != m_codepageFont || !m_codepage) {
        int number = m_documentCodepage;
        const auto it = m_fonts.constFind(font);
        if (it != m_fonts.constEnd() && it->codepage > 0)
            number = it->codepage;
        m_codepage = &Codepage::get(number);
        m_codepageFont = font;
    }
    return *m_codepage;
}

void Parser::flushRun()
{
    flushBytes();
    if (m_run.isEmpty())
        return;
    // Characters that the document gives a meaning of its own (paragraph and frame marks, the
    // picture placeholder) or that are not text at all do not enter it from a file.
    QChar *out = m_run.data();
    const QChar *end = out + m_run.size();
    QChar *write = out;
    for (const QChar *q = out; q < end; ++q) {
        const char16_t c = q->unicode();
        if ((c < 0x20 && c != u'\t') || c == 0x7F)
            continue;
        if (QChar::isHighSurrogate(c)) {
            if (q + 1 < end && q[1].isLowSurrogate()) {
                *write++ = *q++;
                *write++ = *q;
            } else {
                *write++ = QChar(QChar::ReplacementCharacter);
            }
            continue;
        }
        if (QChar::isLowSurrogate(c) || c == 0xFDD0 || c == 0xFDD1 || c == 0xFFFC)
            *write++ = QChar(QChar::ReplacementCharacter);
        else if (c == 0x2029)
            *write++ = QChar(QChar::LineSeparator);
        else
            *write++ = *q;
    }
    m_run.truncate(write - out);
    if (!m_run.isEmpty()) {
        insertBlocks();
        m_cursor.insertText(m_run, charFormat(m_runChar));
    }
    m_run.clear();
}

// A new block takes the formats of the block before: its block format, and as its mark's format the
// format of the last character before it, or the mark's format of an empty block.
void Parser::startBlock()
{
    // One paragraph past the most wanted, the rest of the file is left unread.
    if (m_beginningRead && isBeginning(m_paragraphs, m_document.characterCount())) {
        insertBlocks();
        m_beginningRead();
        m_beginningRead = nullptr;
    }
    if (++m_paragraphs > m_mostParagraphs)
        m_done = true;
    // Put in with the next text or format: Qt puts a run of empty paragraphs (a document can hold a
    // million) in as one text of paragraph separators a third quicker than one paragraph at a time, each
    // in the formats of the paragraph before, as insertBlock does.
    ++m_blocksToInsert;
    if (m_blockHasContent)
        m_markKnown = false;
    m_blockHasContent = false;
}

void Parser::insertBlocks()
{
    if (m_blocksToInsert == 0)
        return;
    m_cursor.insertText(QString(m_blocksToInsert, QChar::ParagraphSeparator));
    m_blocksToInsert = 0;
}

void Parser::endParagraph()
{
    flushRun();
    if (m_paragraphPending)
        startBlock();
    m_paragraphPending = false;
    finishParagraph(state().para);
    m_paragraphPending = true;
    m_pendingCells = 0;
    m_pendingLineBreak = false;
    m_cellHasContent = false;
}

// Gives the current paragraph its format. A paragraph ended by \par whose successor never came is
// not made: the last \par of a document ends its last paragraph and starts none.
void Parser::finishParagraph(const ParaState &para)
{
    flushRun();
    if (m_paragraphPending)
        return;
    if (!(para == m_blockPara)) {
        insertBlocks();
        m_cursor.setBlockFormat(blockFormat(para));
        m_blockPara = para;
    }
    // An empty paragraph shows in the size of its mark.
    if (!m_blockHasContent && !(m_markKnown && m_markChar == state().chr)) {
        insertBlocks();
        m_cursor.setBlockCharFormat(charFormat(state().chr));
        m_markChar = state().chr;
        m_markKnown = true;
    }
}

QColor Parser::colour(int index) const
{
    if (index < 0 || size_t(index) >= m_colours.size())
        return {};
    return m_colours[size_t(index)];
}

bool Parser::isShownFamily(const QString &family) const
{
    if (m_shownFamilies.contains(family))
        return true;
    if (m_shownFamilies.size() >= MostFamiliesShown)
        return false;
    m_shownFamilies.insert(family);
    return true;
}

QTextCharFormat Parser::charFormat(const CharState &chr) const
{
    QTextCharFormat format;
    const int fontNumber = chr.font < 0 ? m_defaultFont : chr.font;
    const auto font = m_fonts.constFind(fontNumber);
    if (font != m_fonts.constEnd() && !font->name.isEmpty() && font->name != m_defaultFamily) {
        if (isShownFamily(font->name)) {
            format.setFontFamilies(QStringList{font->name});
            // The document keeps one copy of each format, found by a hash that sees a list of
            // families only as a list: a document switching among many fonts would compare each new
            // format with every earlier one. The family as a string tells them apart.
            format.setProperty(QTextFormat::FontFamily, font->name);
        } else {
            format.setProperty(UnshownFontFamily, font->name);
        }
    }
    if (chr.halfPoints != m_defaultHalfPoints)
        format.setFontPointSize(chr.halfPoints / 2.0);
    if (chr.bold)
        format.setFontWeight(QFont::Bold);
    if (chr.italic)
        format.setFontItalic(true);
    switch (chr.underline) {
    case Underline::None:
        break;
    case Underline::Single:
        format.setUnderlineStyle(QTextCharFormat::SingleUnderline);
        break;
    case Underline::Dotted:
        format.setUnderlineStyle(QTextCharFormat::DotLine);
        break;
    case Underline::Dash:
        format.setUnderlineStyle(QTextCharFormat::DashUnderline);
        break;
    case Underline::DashDot:
        format.setUnderlineStyle(QTextCharFormat::DashDotLine);
        break;
    case Underline::DashDotDot:
        format.setUnderlineStyle(QTextCharFormat::DashDotDotLine);
        break;
    case Underline::Wave:
        format.setUnderlineStyle(QTextCharFormat::WaveUnderline);
        break;
    }
    if (chr.strike)
        format.setFontStrikeOut(true);
    if (const QColor c = colour(chr.foreground); c.isValid())
        format.setForeground(c);
    if (const QColor c = colour(chr.background); c.isValid())
        format.setBackground(c);
    if (chr.position == VerticalPosition::Sub)
        format.setVerticalAlignment(QTextCharFormat::AlignSubScript);
    else if (chr.position == VerticalPosition::Super)
        format.setVerticalAlignment(QTextCharFormat::AlignSuperScript);
    return format;
}

QTextBlockFormat Parser::blockFormat(const ParaState &para) const
{
    QTextBlockFormat format;
    switch (para.alignment) {
    case Alignment::Left:
        break;
    case Alignment::Center:
        format.setAlignment(Qt::AlignHCenter);
        break;
    case Alignment::Right:
        format.setAlignment(Qt::AlignRight);
        break;
    case Alignment::Justify:
        format.setAlignment(Qt::AlignJustify);
        break;
    }
    if (para.leftIndent != 0)
        format.setLeftMargin(pixelsFromTwips(para.leftIndent));
    if (para.rightIndent != 0)
        format.setRightMargin(pixelsFromTwips(para.rightIndent));
    if (para.firstIndent != 0)
        format.setTextIndent(pixelsFromTwips(para.firstIndent));
    if (para.spaceBefore != 0)
        format.setTopMargin(pixelsFromTwips(para.spaceBefore));
    if (para.spaceAfter != 0)
        format.setBottomMargin(pixelsFromTwips(para.spaceAfter));
    if (para.lineSpacing != 0) {
        if (para.lineMultiple)
            format.setLineHeight(std::abs(para.lineSpacing) * 100.0 / 240.0,
                                 QTextBlockFormat::ProportionalHeight);
        else if (para.lineSpacing > 0)
            format.setLineHeight(pixelsFromTwips(para.lineSpacing), QTextBlockFormat::MinimumHeight);
        else
            format.setLineHeight(pixelsFromTwips(-para.lineSpacing), QTextBlockFormat::FixedHeight);
    }
    return format;
}

void Parser::addFontNameByte(char byte)
{
    if (m_fontOpen && m_fontName.size() + m_fontNameBytes.size() < MaxFontNameLength)
        m_fontNameBytes += byte;
}

void Parser::addFontNameCharacter(char16_t character)
{
    if (!m_fontOpen || m_fontName.size() + m_fontNameBytes.size() >= MaxFontNameLength)
        return;
    m_fontName += Codepage::get(fontNameCodepage()).decode(m_fontNameBytes);
    m_fontNameBytes.clear();
    m_fontName += QChar(character);
}

// A font's name is in the font's own code page, or in the document's for a symbol font.
int Parser::fontNameCodepage() const
{
    const int codepage = m_fontCodepage > 0 ? m_fontCodepage : codepageOfCharset(m_fontCharset);
    if (codepage <= 0 || codepage == SymbolCodepage || codepage == SymbolFontCodepage)
        return m_documentCodepage;
    return codepage;
}

void Parser::finishFont()
{
    if (!m_fontOpen)
        return;
    m_fontOpen = false;
    FontDef font;
    m_fontName += Codepage::get(fontNameCodepage()).decode(m_fontNameBytes);
    m_fontNameBytes.clear();
    font.name = m_fontName.trimmed();
    font.codepage = m_fontCodepage > 0 ? m_fontCodepage : codepageOfCharset(m_fontCharset, font.name);
    if (m_fonts.size() < MaxTableEntries || m_fonts.contains(m_fontNumber))
        m_fonts.insert(m_fontNumber, font);
    m_codepageFont = -2;
}

void Parser::finishColour()
{
    if (m_colours.size() < size_t(MaxTableEntries))
        m_colours.push_back(m_colourSet ? QColor(m_red, m_green, m_blue) : QColor());
    m_colourSet = false;
    m_red = m_green = m_blue = 0;
}

void Parser::startPicture()
{
    m_picture = Picture();
    m_picture.active = true;
    m_picture.depth = m_stack.size();
}

void Parser::pictureHex(const char *begin, const char *end)
{
    if (!m_picture.active)
        return;
    QByteArray &data = m_picture.data;
    if (data.capacity() < data.size() + (end - begin) / 2 + 1)
        data.reserve(qMax(data.size() + (end - begin) / 2 + 1, 2 * data.capacity()));
    int high = m_picture.highNibble;
    for (const char *q = begin; q < end; ++q) {
        const int v = hexValue(*q);
        if (v < 0)
            continue;
        if (high < 0) {
            high = v;
        } else {
            data += char(high * 16 + v);
            high = -1;
        }
    }
    m_picture.highNibble = high;
}

void Parser::finishPicture()
{
    Picture picture = std::move(m_picture);
    m_picture = Picture();
    if (picture.format == PictureFormat::Unknown || pictureFormatOf(picture.data) != picture.format)
        return;
    const QSize natural = pictureSizeOf(picture.data);
    if (!natural.isValid() || state().chr.hidden)
        return;
    const double scaleX = picture.scaleX > 0 ? qMin(picture.scaleX, 10000) / 100.0 : 1.0;
    const double scaleY = picture.scaleY > 0 ? qMin(picture.scaleY, 10000) / 100.0 : 1.0;
    double width = picture.goalWidth > 0 ? pixelsFromTwips(picture.goalWidth) : natural.width();
    double height = picture.goalHeight > 0 ? pixelsFromTwips(picture.goalHeight) : natural.height();
    width = qBound(1.0, width * scaleX, MaxPictureSide);
    height = qBound(1.0, height * scaleY, MaxPictureSide);

    // Pictures keep their original bytes, so that writing the document again keeps them as they were.
    const QString name =
        u"rtfimage:"_s +
        QString::fromLatin1(QCryptographicHash::hash(picture.data, QCryptographicHash::Sha1).toHex());
    m_document.addResource(QTextDocument::ImageResource, QUrl(name), picture.data);

    // The picture's own group is closed by now: it takes its place in the text of the enclosing group.
    prepareContent();
    flushRun();
    QTextImageFormat format;
    format.setName(name);
    format.setWidth(width);
    format.setHeight(height);
    insertBlocks();
    m_cursor.insertImage(format);
}

} // namespace

bool looksLikeRtf(const QByteArray &bytes)
{
    QByteArrayView view(bytes);
    if (view.startsWith("\xEF\xBB\xBF"))
        view = view.sliced(3);
    qsizetype i = 0;
    while (i < view.size() && (view[i] == ' ' || view[i] == '\t' || view[i] == '\r' || view[i] == '\n'))
        ++i;
    return view.sliced(i).startsWith("{\\rtf");
}

bool readRtf(const QByteArray &bytes, QTextDocument &document, qint64 mostParagraphs,
             const std::function<void()> &beginningRead)
{
    if (!looksLikeRtf(bytes))
        return false;
    const bool undo = document.isUndoRedoEnabled();
    document.setUndoRedoEnabled(false);
    document.clear();
    {
        Parser parser(bytes.constData(), bytes.constData() + bytes.size(), document, mostParagraphs,
                      beginningRead);
        parser.run();
    }
    document.setUndoRedoEnabled(undo);
    return true;
}

} // namespace velmira
