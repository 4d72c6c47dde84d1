// Writing RTF, and reading back what was written: text, formatting, paragraphs and pictures survive.
#include <QRandomGenerator>
#include <QStringDecoder>
#include <QTest>
#include <QTextCursor>

#include "editor/rtf/rtfreader.h"
#include "editor/rtf/rtfwriter.h"
#include "editor/rtf/rtftestsupport.h"

using namespace Qt::StringLiterals;
using velmira::readRtf;
using velmira::writeRtf;
using velmira::test::documentText;
using velmira::test::formatAt;

namespace {

QFont editorFont()
{
    QFont font(u"Times New Roman"_s);
    font.setPixelSize(15);
    return font;
}

// How a character looks, all of it resolved against the document's default font.
struct Look
{
    QString family;
    int halfPoints = 0; // what RTF can tell apart
    bool bold = false, italic = false, strike = false;
    int underline = 0;
    QRgb foreground = 0, background = 0; // 0: none
    int position = 0;
    QImage picture;
    QSizeF pictureSize;

    bool operator==(const Look &other) const
    {
        return family == other.family && halfPoints == other.halfPoints && bold == other.bold &&
               italic == other.italic && strike == other.strike && underline == other.underline &&
               foreground == other.foreground && background == other.background && position == other.position &&
               picture == other.picture && pictureSize == other.pictureSize;
    }
};

char *toString(const Look &look)
{
    return qstrdup(qPrintable(u"%1 %2/2pt b%3 i%4 s%5 u%6 fg%7 bg%8 pos%9 picture %10x%11"_s.arg(look.family)
                                  .arg(look.halfPoints)
                                  .arg(look.bold)
                                  .arg(look.italic)
                                  .arg(look.strike)
                                  .arg(look.underline)
                                  .arg(look.foreground, 0, 16)
                                  .arg(look.background, 0, 16)
                                  .arg(look.position)
                                  .arg(look.pictureSize.width())
                                  .arg(look.pictureSize.height())));
}

Look lookOf(const QTextDocument &document, const QTextCharFormat &format)
{
    Look look;
    const QFont font = format.font().resolve(document.defaultFont());
    look.family = font.family();
    look.halfPoints = int(std::lround((font.pointSizeF() > 0 ? font.pointSizeF() : font.pixelSize() * 0.75) * 2));
    look.bold = font.bold();
    look.italic = font.italic();
    look.strike = font.strikeOut();
    look.underline = format.underlineStyle();
    if (format.foreground().style() != Qt::NoBrush)
        look.foreground = format.foreground().color().rgb();
    if (format.background().style() != Qt::NoBrush)
        look.background = format.background().color().rgb();
    look.position = format.verticalAlignment();
    if (format.isImageFormat()) {
        const QTextImageFormat image = format.toImageFormat();
        look = Look();
        look.picture = velmira::test::imageOf(document, image).convertToFormat(QImage::Format_ARGB32);
        // A picture without a size of its own is shown at the size of its data.
        look.pictureSize = image.width() > 0 ? QSizeF(image.width(), image.height()) : QSizeF(look.picture.size());
    }
    return look;
}

QList<Look> characterLooks(const QTextDocument &document)
{
    QList<Look> looks;
    for (QTextBlock block = document.begin(); block.isValid(); block = block.next())
        for (auto it = block.begin(); !it.atEnd(); ++it) {
            const Look look = lookOf(document, it.fragment().charFormat());
            for (int i = 0; i < it.fragment().length(); ++i)
                looks << look;
        }
    return looks;
}

QString paragraphLook(const QTextBlockFormat &format)
{
    Qt::Alignment alignment = format.alignment() & Qt::AlignHorizontal_Mask;
    double lineHeight = format.lineHeight();
    int lineHeightType = format.lineHeightType();
    if (lineHeightType == QTextBlockFormat::SingleHeight ||
        (lineHeightType == QTextBlockFormat::ProportionalHeight && lineHeight == 100)) {
        lineHeightType = 0;
        lineHeight = 0;
    }
    return u"align %1 margins %2 %3 %4 %5 %6 line %7 %8"_s.arg(int(alignment))
        .arg(format.leftMargin())
        .arg(format.rightMargin())
        .arg(format.textIndent())
        .arg(format.topMargin())
        .arg(format.bottomMargin())
        .arg(lineHeightType)
        .arg(lineHeight);
}

// Characters to draw text from: all of Windows-1251, characters outside it from several scripts and
// planes, and the characters that RTF or the document treat specially.
QStringList characterPool()
{
    QStringList pool;
    QStringDecoder decoder("windows-1251");
    for (int byte = 0x20; byte < 0x100; ++byte) {
        if (byte == 0x7F || byte == 0x98)
            continue;
        pool << decoder.decode(QByteArray(1, char(byte)));
    }
    for (const QString &s : {u"α"_s, u"Ω"_s, u"ש"_s, u"ع"_s, u"中"_s, u"日"_s, u"한"_s, u"♥"_s, u"∑"_s, u"ő"_s,
                             u"ğ"_s, u"ł"_s, u"ꙮ"_s, u"\uFFFD"_s, u"\uF0B7"_s, u"😀"_s, u"𝄞"_s})
        pool << s;
    for (const QString &s : {u"\\"_s, u"{"_s, u"}"_s, u";"_s, u"\t"_s, u"\u2028"_s, u"\u00A0"_s, u"\u00AD"_s,
                             u"\u2011"_s, u"?"_s})
        pool << s << s; // more often than other characters
    return pool;
}

QTextCharFormat randomFormat(QRandomGenerator &random)
{
    QTextCharFormat format;
    static const QStringList families = {u"Arial"_s, u"Courier New"_s, u"Liberation Serif"_s,
                                         u"Шрифт Вельмиры"_s};
    if (random.bounded(3) == 0)
        format.setFontFamilies({families[random.bounded(int(families.size()))]});
    switch (random.bounded(4)) {
    case 0: break;
    case 1: format.setFontPointSize(8 + random.bounded(60) / 2.0); break;
    case 2: format.setFontPointSize(12); break;
    default: format.setProperty(QTextFormat::FontPixelSize, 20); break;
    }
    if (random.bounded(3) == 0)
        format.setFontWeight(QFont::Bold);
    if (random.bounded(3) == 0)
        format.setFontItalic(true);
    if (random.bounded(4) == 0)
        format.setFontStrikeOut(true);
    static const QTextCharFormat::UnderlineStyle underlines[] = {
        QTextCharFormat::SingleUnderline, QTextCharFormat::DashUnderline, QTextCharFormat::DotLine,
        QTextCharFormat::DashDotLine,     QTextCharFormat::DashDotDotLine, QTextCharFormat::WaveUnderline};
    if (random.bounded(3) == 0)
        format.setUnderlineStyle(underlines[random.bounded(6)]);
    if (random.bounded(3) == 0)
        format.setForeground(QColor::fromRgb(random.bounded(0x1000000u)));
    if (random.bounded(5) == 0)
        format.setBackground(QColor::fromRgb(random.bounded(0x1000000u)));
    if (random.bounded(8) == 0)
        format.setVerticalAlignment(random.bounded(2) ? QTextCharFormat::AlignSuperScript
                                                      : QTextCharFormat::AlignSubScript);
    return format;
}

QTextBlockFormat randomBlockFormat(QRandomGenerator &random)
{
    QTextBlockFormat format;
    static const Qt::Alignment alignments[] = {Qt::AlignLeft, Qt::AlignHCenter, Qt::AlignRight, Qt::AlignJustify};
    format.setAlignment(alignments[random.bounded(4)]);
    if (random.bounded(3) == 0) {
        format.setLeftMargin(random.bounded(100));
        format.setRightMargin(random.bounded(50));
        format.setTextIndent(int(random.bounded(60)) - 20);
        format.setTopMargin(random.bounded(20));
        format.setBottomMargin(random.bounded(20));
    }
    switch (random.bounded(5)) {
    case 0: format.setLineHeight(150, QTextBlockFormat::ProportionalHeight); break;
    case 1: format.setLineHeight(24, QTextBlockFormat::FixedHeight); break;
    case 2: format.setLineHeight(18, QTextBlockFormat::MinimumHeight); break;
    default: break;
    }
    return format;
}

QImage randomImage(QRandomGenerator &random)
{
    QImage image(7, 5, QImage::Format_ARGB32);
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            image.setPixel(x, y, random.generate() | 0xFF000000u);
    return image;
}

void fillRandomDocument(QTextDocument &document, quint32 seed)
{
    QRandomGenerator random(seed);
    const QStringList pool = characterPool();
    document.addResource(QTextDocument::ImageResource, QUrl(u"picture.png"_s), randomImage(random));
    QTextCursor cursor(&document);
    const int paragraphs = 1 + int(random.bounded(8));
    const int pictureParagraph = int(random.bounded(paragraphs));
    for (int p = 0; p < paragraphs; ++p) {
        if (p > 0)
            cursor.insertBlock();
        cursor.setBlockFormat(randomBlockFormat(random));
        const int runs = int(random.bounded(6)); // some paragraphs are empty
        for (int r = 0; r < runs; ++r) {
            QString text;
            const int length = 1 + int(random.bounded(40));
            for (int i = 0; i < length; ++i)
                text += pool[random.bounded(int(pool.size()))];
            cursor.insertText(text, randomFormat(random));
            if (p == pictureParagraph && r == 0) {
                QTextImageFormat picture;
                picture.setName(u"picture.png"_s);
                if (random.bounded(2)) {
                    picture.setWidth(14);
                    picture.setHeight(10);
                }
                cursor.insertImage(picture);
            }
        }
    }
}

} // namespace

class TestRtfWriter : public QObject
{
    Q_OBJECT

private slots:
    void roundTrip_data();
    void roundTrip();
    void writesWordProcessorHeader();
    void charactersOutsideTheCodePage();
    void isDeterministic();
    void editorTextKeepsItsLook();
    void emptyDocumentsAndParagraphs();
    void picturesKeepTheirData();
    void missingPictureIsLeftOut();
};

void TestRtfWriter::roundTrip_data()
{
    QTest::addColumn<quint32>("seed");
    QTest::addColumn<bool>("editorDefault");
    for (quint32 seed = 1; seed <= 40; ++seed)
        QTest::addRow("seed %u", seed) << seed << (seed % 2 == 0);
}

void TestRtfWriter::roundTrip()
{
    QFETCH(quint32, seed);
    QFETCH(bool, editorDefault);
    QTextDocument original;
    if (editorDefault)
        original.setDefaultFont(editorFont());
    fillRandomDocument(original, seed);

    const QByteArray rtf = writeRtf(original);
    QTextDocument copy;
    copy.setDefaultFont(original.defaultFont());
    QVERIFY(readRtf(rtf, copy));

    QCOMPARE(copy.blockCount(), original.blockCount());
    QCOMPARE(documentText(copy), documentText(original));
    for (int n = 0; n < original.blockCount(); ++n)
        QCOMPARE(paragraphLook(copy.findBlockByNumber(n).blockFormat()),
                 paragraphLook(original.findBlockByNumber(n).blockFormat()));
    const QList<Look> expected = characterLooks(original);
    const QList<Look> actual = characterLooks(copy);
    QCOMPARE(actual.size(), expected.size());
    for (qsizetype i = 0; i < expected.size(); ++i)
        QCOMPARE(actual[i], expected[i]);

    // What was read is written the same way again.
    QCOMPARE(writeRtf(copy), rtf);
}

void TestRtfWriter::writesWordProcessorHeader()
{
    QTextDocument document;
    document.setDefaultFont(editorFont());
    QTextCursor cursor(&document);
    QTextCharFormat red;
    red.setForeground(Qt::red);
    red.setFontFamilies({u"Arial"_s});
    cursor.insertText(u"Привет, "_s);
    cursor.insertText(u"мир"_s, red);
    const QByteArray rtf = writeRtf(document);

    QVERIFY(rtf.startsWith("{\\rtf1\\ansi\\ansicpg1251\\deff0"));
    QVERIFY(rtf.contains("{\\fonttbl{\\f0\\fnil\\fcharset204 Times New Roman;}{\\f1\\fnil\\fcharset204 Arial;}}"));
    QVERIFY(rtf.contains("{\\colortbl;\\red255\\green0\\blue0;}"));
    QVERIFY(rtf.contains("\\f0\\fs23 \\'cf\\'f0\\'e8\\'e2\\'e5\\'f2, "));
    QVERIFY(rtf.contains("\\f1\\fs23\\cf1 \\'ec\\'e8\\'f0\\par"));
    QVERIFY(rtf.endsWith("}\r\n"));
}

void TestRtfWriter::charactersOutsideTheCodePage()
{
    QTextDocument document;
    QTextCursor(&document).insertText(u"Ж€α😀\uF0B7"_s);
    const QByteArray rtf = writeRtf(document);
    // Windows-1251 has Ж and €; the others go as \uN with a question mark for older readers.
    QVERIFY(rtf.contains("\\'c6\\'88\\u945?\\u-10179?\\u-8704?\\u-3913?"));
}

void TestRtfWriter::isDeterministic()
{
    QTextDocument first;
    QTextDocument second;
    fillRandomDocument(first, 77);
    fillRandomDocument(second, 77);
    const QByteArray rtf = writeRtf(first);
    QCOMPARE(writeRtf(first), rtf);
    QCOMPARE(writeRtf(second), rtf);
}

void TestRtfWriter::editorTextKeepsItsLook()
{
    // Text typed into the editor has no format of its own and follows the editor's font, 15 px Times New
    // Roman. Saved and read back it still has none, and another reader sees it at 11.5 pt.
    QTextDocument document;
    document.setDefaultFont(editorFont());
    QTextCursor cursor(&document);
    cursor.insertText(u"Обычный текст "_s);
    QTextCharFormat larger;
    larger.setFontPointSize(13);
    cursor.insertText(u"крупнее"_s, larger);
    const QByteArray rtf = writeRtf(document);

    QTextDocument editor;
    editor.setDefaultFont(editorFont());
    QVERIFY(readRtf(rtf, editor));
    const QTextCharFormat typed = formatAt(editor, 0);
    QVERIFY(!typed.hasProperty(QTextFormat::FontPointSize));
    QVERIFY(!typed.hasProperty(QTextFormat::FontPixelSize));
    QVERIFY(!typed.hasProperty(QTextFormat::FontFamilies));
    QCOMPARE(formatAt(editor, 14).fontPointSize(), 13.0);

    QTextDocument other;
    other.setDefaultFont(QFont(u"DejaVu Sans"_s, 10));
    QVERIFY(readRtf(rtf, other));
    QCOMPARE(formatAt(other, 0).fontPointSize(), 11.5);
    QCOMPARE(formatAt(other, 0).fontFamilies().toStringList(), QStringList{u"Times New Roman"_s});
}

void TestRtfWriter::emptyDocumentsAndParagraphs()
{
    QTextDocument empty;
    QTextDocument copy;
    QVERIFY(readRtf(writeRtf(empty), copy));
    QCOMPARE(copy.blockCount(), 1);
    QVERIFY(copy.isEmpty());

    // Empty paragraphs, the last one too, keep their number and the size of their mark.
    QTextDocument document;
    QTextCursor cursor(&document);
    QTextCharFormat big;
    big.setFontPointSize(30);
    cursor.insertText(u"а"_s);
    cursor.insertBlock(QTextBlockFormat(), big);
    cursor.insertBlock();
    cursor.insertText(u"б"_s);
    cursor.insertBlock();
    QTextDocument read;
    QVERIFY(readRtf(writeRtf(document), read));
    QCOMPARE(documentText(read), u"а\n\nб\n"_s);
    QCOMPARE(read.findBlockByNumber(1).charFormat().fontPointSize(), 30.0);
}

void TestRtfWriter::picturesKeepTheirData()
{
    QRandomGenerator random(5);
    const QImage image = randomImage(random);
    QByteArray jpeg;
    {
        QBuffer buffer(&jpeg);
        buffer.open(QIODevice::WriteOnly);
        image.save(&buffer, "JPEG");
    }
    QTextDocument document;
    document.addResource(QTextDocument::ImageResource, QUrl(u"photo.jpg"_s), jpeg);
    document.addResource(QTextDocument::ImageResource, QUrl(u"drawing.png"_s), image);
    QTextCursor cursor(&document);
    QTextImageFormat photo;
    photo.setName(u"photo.jpg"_s);
    photo.setWidth(21); // the height follows the picture's proportions
    cursor.insertImage(photo);
    QTextImageFormat drawing;
    drawing.setName(u"drawing.png"_s);
    cursor.insertImage(drawing);
    const QByteArray rtf = writeRtf(document);
    QVERIFY(rtf.contains("{\\pict\\jpegblip\\picw7\\pich5\\picwgoal315\\pichgoal225\r\n" + jpeg.left(64).toHex()));
    QVERIFY(rtf.contains("{\\pict\\pngblip\\picw7\\pich5\\picwgoal105\\pichgoal75\r\n"));

    QTextDocument read;
    QVERIFY(readRtf(rtf, read));
    const QTextImageFormat readPhoto = formatAt(read, 0).toImageFormat();
    QCOMPARE(read.resource(QTextDocument::ImageResource, QUrl(readPhoto.name())).toByteArray(), jpeg);
    QCOMPARE(velmira::test::imageOf(read, formatAt(read, 1).toImageFormat()).convertToFormat(QImage::Format_ARGB32),
             image);
}

void TestRtfWriter::missingPictureIsLeftOut()
{
    QTextDocument document;
    QTextCursor cursor(&document);
    cursor.insertText(u"до"_s);
    QTextImageFormat picture;
    picture.setName(u"rtfimage:missing"_s);
    cursor.insertImage(picture);
    cursor.insertText(u"после"_s);
    QTextDocument read;
    QVERIFY(readRtf(writeRtf(document), read));
    QCOMPARE(documentText(read), u"допосле"_s);
}

QTEST_MAIN(TestRtfWriter)
#include "tst_rtfwriter.moc"
