// Reading RTF: text and its code pages, formatting, pictures, tables, and damaged files.
#include <QElapsedTimer>
#include <QRandomGenerator>
#include <QStringEncoder>
#include <QTest>
#include <QTextCursor>

#include "editor/rtf/rtfreader.h"
#include "editor/rtf/rtftestsupport.h"
#include "editor/rtf/rtfwriter.h"

using namespace Qt::StringLiterals;
using velmira::readRtf;
using velmira::test::documentText;
using velmira::test::formatAt;
using velmira::test::readDocument;

namespace {

// Text in Windows-1251 with every non-ASCII character as \'hh, as word processors write Russian.
QByteArray hex1251(const QString &text)
{
    QStringEncoder encoder("windows-1251");
    const QByteArray bytes = encoder.encode(text);
    QByteArray out;
    for (const char c : bytes) {
        if (uchar(c) < 0x80)
            out += c;
        else
            out += "\\'" + QByteArray::number(uchar(c), 16);
    }
    return out;
}

QByteArray hexOf(const QByteArray &data)
{
    return data.toHex();
}

QImage testImage(int width, int height)
{
    QImage image(width, height, QImage::Format_RGB32);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            image.setPixel(x, y, qRgb(x * 40 % 256, y * 60 % 256, 128));
    return image;
}

QByteArray jpegBytes(const QImage &image)
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "JPEG");
    return bytes;
}

QList<QTextImageFormat> imagesOf(const QTextDocument &document)
{
    QList<QTextImageFormat> images;
    for (QTextBlock block = document.begin(); block.isValid(); block = block.next())
        for (auto it = block.begin(); !it.atEnd(); ++it)
            if (it.fragment().charFormat().isImageFormat())
                images << it.fragment().charFormat().toImageFormat();
    return images;
}

} // namespace

class TestRtfReader : public QObject
{
    Q_OBJECT

private slots:
    void notRtfLeavesTheDocumentAlone_data();
    void notRtfLeavesTheDocumentAlone();
    void rtfAfterWhiteSpaceIsRtf();
    void replacesContentAndHistory();

    void text_data();
    void text();

    void characterFormatting();
    void groupsRestoreFormatting();
    void paragraphFormatting();
    void paragraphTakesThePropertiesAtItsEnd();
    void defaultFontTextHasNoFormatOfItsOwn();
    void fontEntriesWithGroupsInside();
    void familiesPastTheShownOnesKeepTheirNames();

    void pictures();
    void picturesNotShown_data();
    void picturesNotShown();
    void absurdPictureSizeIsBounded();

    void damagedInput_data();
    void damagedInput();
    void truncatedAnywhere();
    void binaryJunk();
    void deepNesting();
    void readingStopsPastTheParagraphsWanted();
    void emptyParagraphsTakeTheFormatsBefore();
    void aLongDocumentsBeginningIsGivenOnce();
};

void TestRtfReader::notRtfLeavesTheDocumentAlone_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::newRow("empty") << QByteArray();
    QTest::newRow("plain text") << hex1251(u"Просто текст"_s);
    QTest::newRow("control word without a group") << QByteArray("\\rtf1 text");
    QTest::newRow("junk before the group") << QByteArray("/{\\rtf1 text}");
    QTest::newRow("another group") << QByteArray("{\\pict text}");
}

void TestRtfReader::notRtfLeavesTheDocumentAlone()
{
    QFETCH(QByteArray, bytes);
    QTextDocument document;
    QTextCursor(&document).insertText(u"Прежний текст"_s);
    QVERIFY(!velmira::looksLikeRtf(bytes));
    QVERIFY(!readRtf(bytes, document));
    QCOMPARE(document.toPlainText(), u"Прежний текст"_s);
    QVERIFY(document.isUndoAvailable());
}

void TestRtfReader::rtfAfterWhiteSpaceIsRtf()
{
    const auto document = readDocument("\xEF\xBB\xBF \r\n\t{\\rtf1 Hello}");
    QVERIFY(document);
    QCOMPARE(documentText(*document), u"Hello"_s);
    QVERIFY(velmira::looksLikeRtf("{\\rtf"));
}

void TestRtfReader::replacesContentAndHistory()
{
    QTextDocument document;
    QFont font(u"Times New Roman"_s);
    font.setPixelSize(15);
    document.setDefaultFont(font);
    document.addResource(QTextDocument::ImageResource, QUrl(u"old.png"_s),
                         QImage(2, 2, QImage::Format_RGB32));
    QTextCursor(&document).insertText(u"Старый текст\nвторой абзац"_s);
    QVERIFY(document.isUndoAvailable());

    QVERIFY(readRtf("{\\rtf1\\ansicpg1251 " + hex1251(u"Новый"_s) + "}", document));
    QCOMPARE(documentText(document), u"Новый"_s);
    QCOMPARE(document.blockCount(), 1);
    QVERIFY(!document.isUndoAvailable());
    QVERIFY(document.isUndoRedoEnabled());
    QCOMPARE(document.defaultFont(), font);
    QVERIFY(!document.resource(QTextDocument::ImageResource, QUrl(u"old.png"_s)).isValid());
}

void TestRtfReader::text_data()
{
    QTest::addColumn<QByteArray>("rtf");
    QTest::addColumn<QString>("expected");

    QTest::newRow("document code page without font charset")
        << "{\\rtf1\\ansi\\ansicpg1251{\\fonttbl{\\f0 Arial;}}\\f0 " + hex1251(u"Привет, мир! Ёж № «»—"_s) +
               "}"
        << u"Привет, мир! Ёж № «»—"_s;
    QTest::newRow("font charset over the document's code page")
        << QByteArray(
               "{\\rtf1\\ansi\\ansicpg1252{\\fonttbl{\\f0\\fcharset0 Arial;}{\\f1\\fcharset204 Arial Cyr;}}"
               "\\f0 caf\\'e9 {\\f1 \\'f7\\'e0\\'e9} \\'e9}")
        << u"café чай é"_s;
    QTest::newRow("font code page over its charset")
        << QByteArray("{\\rtf1\\ansi{\\fonttbl{\\f0\\fcharset0\\cpg1251 Arial;}}\\f0 \\'c4\\'e0}") << u"Да"_s;
    QTest::newRow("central European and Greek charsets")
        << QByteArray(
               "{\\rtf1\\ansi{\\fonttbl{\\f0\\fcharset238 A;}{\\f1\\fcharset161 B;}}\\f0 \\'b3\\f1 \\'e1}")
        << u"łα"_s;
    QTest::newRow("raw 8-bit bytes") << QByteArray("{\\rtf1\\ansi\\ansicpg1251 \xcf\xf0\xe8\xe2\xe5\xf2}")
                                     << u"Привет"_s;
    QTest::newRow("Shift-JIS pairs decoded together")
        << QByteArray("{\\rtf1\\ansi{\\fonttbl{\\f0\\fcharset128 MS Mincho;}}\\f0 \\'82\\'a0\\'82\\'a2}")
        << u"あい"_s;
    QTest::newRow("Mac document") << QByteArray("{\\rtf1\\mac \\'8e}") << u"é"_s;
    QTest::newRow("unicode with skipped fallback")
        << QByteArray("{\\rtf1\\uc1 \\u1055?\\u1088?\\u1080\\'e8\\u1074 ?}") << u"Прив"_s;
    QTest::newRow("uc2 skips a hex byte and a letter, uc is scoped")
        << QByteArray("{\\rtf1{\\uc2\\u1052\\'cca}\\u1080?\\uc0\\u1088 }") << u"Мир"_s;
    QTest::newRow("negative unicode and surrogate pair")
        << QByteArray("{\\rtf1 \\u-3913?\\u-10179?\\u-8704?}") << u"\uF0B7\U0001F600"_s;
    QTest::newRow("lone surrogate replaced") << QByteArray("{\\rtf1 a\\u-10179?b}") << u"a\uFFFDb"_s;
    QTest::newRow("symbol words")
        << QByteArray("{\\rtf1 \\emdash\\endash\\bullet\\lquote\\rquote\\ldblquote\\rdblquote}")
        << u"—–•‘’“”"_s;
    QTest::newRow("escapes") << QByteArray("{\\rtf1 a\\~b\\-c\\_d \\{x\\} \\\\y}")
                             << u"a\u00A0b\u00ADc\u2011d {x} \\y"_s;
    QTest::newRow("tab and line") << QByteArray("{\\rtf1 a\\tab b\\line c\tz}") << u"a\tb\u2028c\tz"_s;
    QTest::newRow("line ends are not text") << QByteArray("{\\rtf1 a\r\nb\nc}") << u"abc"_s;
    QTest::newRow("backslash before a line end is a paragraph")
        << QByteArray("{\\rtf1 a\\\r\nb}") << u"a\nb"_s;
    QTest::newRow("last paragraph mark makes no paragraph")
        << QByteArray("{\\rtf1 a\\par b\\par}") << u"a\nb"_s;
    QTest::newRow("empty paragraphs kept") << QByteArray("{\\rtf1 a\\par\\par\\par b}") << u"a\n\n\nb"_s;
    QTest::newRow("page and section end paragraphs once")
        << QByteArray("{\\rtf1 a\\page b\\par\\sect c\\par\\page}") << u"a\nb\nc"_s;
    QTest::newRow("tables of contents, headers, notes and hidden text left out")
        << QByteArray("{\\rtf1{\\stylesheet{\\s0 Normal;}}{\\info{\\title T}{\\author A}}{\\header H}"
                      "{\\footer F}a{\\footnote N}{\\*\\annotation C}{\\v hidden}{\\xe X}b}")
        << u"ab"_s;
    QTest::newRow("unknown destination skipped with nested groups and binary data")
        << QByteArray("{\\rtf1 a{\\*\\unknown x{\\b y}\\bin4 }}{z}b}") << u"ab"_s;
    QTest::newRow("unknown words ignored, their text shown")
        << QByteArray("{\\rtf1 a\\foobar123 b{\\blah c}}") << u"abc"_s;
    QTest::newRow("field shows its result")
        << QByteArray("{\\rtf1 go {\\field{\\*\\fldinst HYPERLINK \"http://x\"}{\\fldrslt {\\ul here}}}!}")
        << u"go here!"_s;
    QTest::newRow("field instruction without star")
        << QByteArray("{\\rtf1 {\\field{\\fldinst PAGE}{\\fldrslt 7}}}") << u"7"_s;
    QTest::newRow("unicode part of upr") << QByteArray("{\\rtf1 {\\upr{A}{\\*\\ud{\\u1046?}}}}") << u"Ж"_s;
    QTest::newRow("list labels shown, list numbering hidden")
        << QByteArray(
               "{\\rtf1 {\\*\\pn\\pnlvlblt{\\pntxtb \\'b7}}{\\pntext 1.\\tab}a\\par{\\listtext 2.\\tab}b}")
        << u"1.\ta\n2.\tb"_s;
    QTest::newRow("bullet of the Symbol font")
        << QByteArray("{\\rtf1{\\fonttbl{\\f0 Arial;}{\\f1\\fcharset2 Symbol;}{\\f2\\fcharset2 Wingdings;}}"
                      "{\\f1 \\'b7\\'61}{\\f2 \\'a7}}")
        << u"•α\uF0A7"_s;
    QTest::newRow("table rows as paragraphs, cells separated by tabs")
        << QByteArray("{\\rtf1 before\\par\\trowd\\cellx100\\cellx200\\cellx300\\pard\\intbl a\\cell b\\cell "
                      "c\\cell\\row"
                      "\\trowd\\cellx100\\cellx200\\cellx300\\pard\\intbl\\cell e\\par "
                      "f\\cell\\cell\\row\\pard after}")
        << u"before\na\tb\tc\n\te\u2028f\nafter"_s;
    QTest::newRow("nested table rows")
        << QByteArray(
               "{\\rtf1\\pard\\intbl\\itap2 x\\nestcell y\\nestcell{\\*\\nesttableprops\\trowd\\nestrow}"
               "\\itap1 z\\cell\\row}")
        << u"x\ty\nz"_s;
    QTest::newRow("text after the outermost group ignored") << QByteArray("{\\rtf1 a}b\\par c}") << u"a"_s;
}

void TestRtfReader::text()
{
    QFETCH(QByteArray, rtf);
    QFETCH(QString, expected);
    const auto document = readDocument(rtf);
    QVERIFY(document);
    QCOMPARE(documentText(*document), expected);
}

void TestRtfReader::characterFormatting()
{
    const QByteArray rtf =
        "{\\rtf1\\ansi\\ansicpg1251\\deff0{\\fonttbl{\\f0\\fcharset204 Arial;}"
        "{\\f1\\fcharset204 Courier New;}}{\\colortbl ;\\red255\\green0\\blue0;"
        "\\red0\\green0\\blue255;}\\f0\\fs24 "
        "\\b b\\b0 \\i i\\i0 \\ul u\\ulnone \\uldash d\\ul0 \\strike s\\strike0 "
        "\\f1\\fs40 f\\f0\\fs24 \\cf1 r\\cf2 c\\cf0 \\highlight1 h\\highlight0 \\chcbpat2 p\\cb0 "
        "\\super x\\nosupersub \\sub y\\sub0 \\b\\i\\ul z\\plain w}";
    const auto document = readDocument(rtf);
    QVERIFY(document);
    QCOMPARE(documentText(*document), u"biudsfrchpxyzw"_s);
    const auto at = [&](int i) {
        return formatAt(*document, i);
    };

    QVERIFY(at(0).font().bold());
    QVERIFY(!at(1).font().bold());
    QVERIFY(at(1).fontItalic());
    QCOMPARE(at(2).underlineStyle(), QTextCharFormat::SingleUnderline);
    QCOMPARE(at(3).underlineStyle(), QTextCharFormat::DashUnderline);
    QVERIFY(at(4).fontStrikeOut());
    QCOMPARE(at(5).fontFamilies().toStringList(), QStringList{u"Courier New"_s});
    QCOMPARE(at(5).fontPointSize(), 20.0);
    QCOMPARE(at(6).fontFamilies().toStringList(), QStringList{u"Arial"_s});
    QCOMPARE(at(6).foreground().color(), QColor(Qt::red));
    QCOMPARE(at(7).foreground().color(), QColor(Qt::blue));
    QCOMPARE(at(8).foreground().style(), Qt::NoBrush);
    QCOMPARE(at(8).background().color(), QColor(Qt::red));
    QCOMPARE(at(9).background().color(), QColor(Qt::blue));
    QCOMPARE(at(10).verticalAlignment(), QTextCharFormat::AlignSuperScript);
    QCOMPARE(at(11).verticalAlignment(), QTextCharFormat::AlignSubScript);
    QVERIFY(at(12).font().bold() && at(12).fontItalic() && at(12).fontUnderline());
    // \plain: the defaults of RTF, 12 pt in the default font, nothing else.
    const QTextCharFormat plain = at(13);
    QVERIFY(!plain.font().bold() && !plain.fontItalic() && !plain.fontUnderline());
    QCOMPARE(plain.fontPointSize(), 12.0);
    QCOMPARE(plain.fontFamilies().toStringList(), QStringList{u"Arial"_s});
}

void TestRtfReader::groupsRestoreFormatting()
{
    const auto document = readDocument("{\\rtf1 a{\\b b{\\i c}d}e{\\ul f{\\plain g}h}i}");
    QVERIFY(document);
    QCOMPARE(documentText(*document), u"abcdefghi"_s);
    const QString bold = u"bcd"_s;
    for (int i = 0; i < 9; ++i) {
        const QTextCharFormat format = formatAt(*document, i);
        const QChar c = documentText(*document).at(i);
        QCOMPARE(format.font().bold(), bold.contains(c));
        QCOMPARE(format.fontItalic(), c == u'c');
        QCOMPARE(format.fontUnderline(), c == u'f' || c == u'h');
    }
}

void TestRtfReader::paragraphFormatting()
{
    const auto document = readDocument("{\\rtf1 \\pard\\qc a\\par\\pard\\qr b\\par\\pard\\qj c\\par"
                                       "\\pard\\li300\\ri150\\fi-150\\sb60\\sa120 d\\par"
                                       "\\pard\\sl360\\slmult1 e\\par\\pard\\sl-300\\slmult0 f\\par"
                                       "\\pard\\sl300 g\\par\\pard h}");
    QVERIFY(document);
    QCOMPARE(document->blockCount(), 8);
    const auto block = [&](int n) {
        return document->findBlockByNumber(n).blockFormat();
    };
    QCOMPARE(block(0).alignment() & Qt::AlignHorizontal_Mask, Qt::AlignHCenter);
    QCOMPARE(block(1).alignment() & Qt::AlignHorizontal_Mask, Qt::AlignRight);
    QCOMPARE(block(2).alignment() & Qt::AlignHorizontal_Mask, Qt::AlignJustify);
    QCOMPARE(block(3).leftMargin(), 20.0);
    QCOMPARE(block(3).rightMargin(), 10.0);
    QCOMPARE(block(3).textIndent(), -10.0);
    QCOMPARE(block(3).topMargin(), 4.0);
    QCOMPARE(block(3).bottomMargin(), 8.0);
    QCOMPARE(block(4).lineHeightType(), int(QTextBlockFormat::ProportionalHeight));
    QCOMPARE(block(4).lineHeight(), 150.0);
    QCOMPARE(block(5).lineHeightType(), int(QTextBlockFormat::FixedHeight));
    QCOMPARE(block(5).lineHeight(), 20.0);
    QCOMPARE(block(6).lineHeightType(), int(QTextBlockFormat::MinimumHeight));
    QCOMPARE(block(7).alignment() & Qt::AlignHorizontal_Mask, Qt::AlignLeft);
    QCOMPARE(block(7).leftMargin(), 0.0);
}

void TestRtfReader::paragraphTakesThePropertiesAtItsEnd()
{
    // A paragraph's properties are those in force at its \par, also when set after its text; a
    // group closed before the \par takes its properties with it.
    const auto document = readDocument("{\\rtf1 a\\qc\\par{\\qr b}\\par{\\qr c\\par}d}");
    QVERIFY(document);
    QCOMPARE(documentText(*document), u"a\nb\nc\nd"_s);
    const auto alignment = [&](int n) {
        return document->findBlockByNumber(n).blockFormat().alignment() & Qt::AlignHorizontal_Mask;
    };
    QCOMPARE(alignment(0), Qt::AlignHCenter);
    QCOMPARE(alignment(1), Qt::AlignHCenter);
    QCOMPARE(alignment(2), Qt::AlignRight);
    QCOMPARE(alignment(3), Qt::AlignHCenter);
}

void TestRtfReader::defaultFontTextHasNoFormatOfItsOwn()
{
    // The editor's font: Times New Roman, 15 px, which files give as 11.5 pt.
    QFont editorFont(u"Times New Roman"_s);
    editorFont.setPixelSize(15);
    const auto document = readDocument("{\\rtf1{\\fonttbl{\\f0\\fcharset204 Times New Roman;}{\\f1 Arial;}}"
                                       "\\f0\\fs23 a\\fs24 b\\f1\\fs23 c}",
                                       editorFont);
    QVERIFY(document);
    const QTextCharFormat a = formatAt(*document, 0);
    QVERIFY(!a.hasProperty(QTextFormat::FontPointSize));
    QVERIFY(!a.hasProperty(QTextFormat::FontFamilies));
    QCOMPARE(a.font().resolve(editorFont).pixelSize(), 15);
    QCOMPARE(formatAt(*document, 1).fontPointSize(), 12.0);
    QVERIFY(!formatAt(*document, 2).hasProperty(QTextFormat::FontPointSize));
    QCOMPARE(formatAt(*document, 2).fontFamilies().toStringList(), QStringList{u"Arial"_s});
}

void TestRtfReader::fontEntriesWithGroupsInside()
{
    // Word writes a {\*\panose} group before every font's name, LibreOffice a {\*\falt} after it; an
    // entry may also stand without a group of its own.
    const auto document = readDocument(
        "{\\rtf1\\ansi\\deff0{\\fonttbl{\\f0\\froman\\fcharset204{\\*\\panose 02020603050405020304}Times New Roman;}"
        "{\\f1\\fswiss\\fcharset204{\\*\\panose 020f0502020204030204}Calibri;}"
        "{\\f2\\fcharset2{\\*\\panose 05050102010706020507}Symbol;}"
        "{\\f3 Liberation Sans{\\*\\falt Arial};}\\f4 Verdana;}"
        "\\f1 a\\f3 b\\f4 c\\f2 \\'b7}");
    QVERIFY(document);
    QCOMPARE(documentText(*document), u"abc\u2022"_s);
    QCOMPARE(formatAt(*document, 0).fontFamilies().toStringList(), QStringList{u"Calibri"_s});
    QCOMPARE(formatAt(*document, 1).fontFamilies().toStringList(), QStringList{u"Liberation Sans"_s});
    QCOMPARE(formatAt(*document, 2).fontFamilies().toStringList(), QStringList{u"Verdana"_s});
}

void TestRtfReader::familiesPastTheShownOnesKeepTheirNames()
{
    // Each of "а", "б", "в"... in a font of its own, one more than are shown.
    const int fonts = velmira::MostFamiliesShown + 1;
    QByteArray table;
    QByteArray body;
    for (int i = 0; i < fonts; ++i) {
        const QByteArray number = QByteArray::number(i);
        table += "{\\f" + number + "\\fcharset204 " + hex1251(u"Шрифт "_s) + number + ";}";
        body += "\\f" + number + " \\'e0";
    }
    const QString last = u"Шрифт %1"_s.arg(fonts - 1);
    const auto document = readDocument("{\\rtf1\\ansi\\ansicpg1251{\\fonttbl" + table + "}" + body + "}");
    QVERIFY(document);
    QCOMPARE(formatAt(*document, 0).fontFamilies().toStringList(), QStringList{u"Шрифт 0"_s});
    // The last is shown in the default font and keeps its name, which is written as its font.
    QTextCharFormat unshown = formatAt(*document, fonts - 1);
    QVERIFY(!unshown.hasProperty(QTextFormat::FontFamilies));
    QVERIFY(!unshown.hasProperty(QTextFormat::FontFamily));
    const auto reread = readDocument(velmira::writeRtf(*document));
    QVERIFY(reread);
    QCOMPARE(documentText(*reread), documentText(*document));
    QCOMPARE(formatAt(*reread, fonts - 2).fontFamilies().toStringList(),
             QStringList{u"Шрифт %1"_s.arg(fonts - 2)});
    QCOMPARE(formatAt(*reread, fonts - 1).stringProperty(velmira::UnshownFontFamily), last);

    // A font chosen for that text is the one written then.
    QTextCursor cursor(document.get());
    cursor.setPosition(fonts - 1);
    cursor.movePosition(QTextCursor::NextCharacter, QTextCursor::KeepAnchor);
    QTextCharFormat chosen;
    chosen.setFontFamilies(QStringList{u"Arial"_s});
    cursor.mergeCharFormat(chosen);
    const QByteArray written = velmira::writeRtf(*document);
    QCOMPARE(readDocument(written)->begin().text(), document->begin().text());
    // Read back, it is one more family past the shown ones.
    QCOMPARE(formatAt(*readDocument(written), fonts - 1).stringProperty(velmira::UnshownFontFamily),
             u"Arial"_s);
}

void TestRtfReader::pictures()
{
    const QImage image = testImage(8, 6);
    const QByteArray png = velmira::test::pngBytes(image);
    const QByteArray jpeg = jpegBytes(testImage(10, 4));
    const QByteArray rtf = "{\\rtf1 a{\\pict\\pngblip\\picw8\\pich6\\picwgoal240\\pichgoal180\r\n" +
                           hexOf(png) + "}b{\\*\\shppict{\\pict\\jpegblip\\picscalex50\\picscaley200 " +
                           hexOf(jpeg) + "}}{\\nonshppict{\\pict\\wmetafile8 0102}}c{\\pict\\pngblip\\bin" +
                           QByteArray::number(png.size()) + " " + png + "}}";
    const auto document = readDocument(rtf);
    QVERIFY(document);
    QCOMPARE(documentText(*document), u"a#b#c#"_s);
    const QList<QTextImageFormat> images = imagesOf(*document);
    QCOMPARE(images.size(), 3);
    // Goal sizes in twips, 15 to a pixel; without them the picture's own size, scaled.
    QCOMPARE(images[0].width(), 16.0);
    QCOMPARE(images[0].height(), 12.0);
    QCOMPARE(velmira::test::imageOf(*document, images[0]).convertToFormat(QImage::Format_RGB32), image);
    QCOMPARE(images[1].width(), 5.0);
    QCOMPARE(images[1].height(), 8.0);
    QCOMPARE(velmira::test::imageOf(*document, images[1]).size(), QSize(10, 4));
    QCOMPARE(images[2].width(), 8.0);
    QCOMPARE(velmira::test::imageOf(*document, images[2]).convertToFormat(QImage::Format_RGB32), image);
}

void TestRtfReader::picturesNotShown_data()
{
    QTest::addColumn<QByteArray>("picture");
    QTest::newRow("metafile") << QByteArray("{\\pict\\wmetafile8\\picw10\\pich10 0100090000}");
    QTest::newRow("enhanced metafile") << QByteArray("{\\pict\\emfblip 01000000}");
    QTest::newRow("bitmap") << QByteArray("{\\pict\\dibitmap0 2800000010}");
    QTest::newRow("png marked but not png") << QByteArray("{\\pict\\pngblip 0011223344556677889900}");
    QTest::newRow("png cut short") << "{\\pict\\pngblip " +
                                          hexOf(velmira::test::pngBytes(testImage(4, 4)).left(20)) + "}";
    QTest::newRow("jpeg without a frame") << QByteArray("{\\pict\\jpegblip ffd8ffe000104a464946}");
    QTest::newRow("no data") << QByteArray("{\\pict\\pngblip}");
    QTest::newRow("hidden") << "{\\v{\\pict\\pngblip " + hexOf(velmira::test::pngBytes(testImage(4, 4))) +
                                   "}}";
}

void TestRtfReader::picturesNotShown()
{
    QFETCH(QByteArray, picture);
    const auto document = readDocument("{\\rtf1 a" + picture + "b}");
    QVERIFY(document);
    QCOMPARE(documentText(*document), u"ab"_s);
}

void TestRtfReader::absurdPictureSizeIsBounded()
{
    const QByteArray png = hexOf(velmira::test::pngBytes(testImage(4, 4)));
    const auto document =
        readDocument("{\\rtf1{\\pict\\pngblip\\picwgoal2000000000\\pichgoal-5\\picscalex99999 " + png + "}}");
    QVERIFY(document);
    const QList<QTextImageFormat> images = imagesOf(*document);
    QCOMPARE(images.size(), 1);
    QCOMPARE(images[0].width(), 10000.0);
    QCOMPARE(images[0].height(), 4.0);
}

void TestRtfReader::damagedInput_data()
{
    QTest::addColumn<QByteArray>("rtf");
    QTest::addColumn<QString>("expected");
    QTest::newRow("missing closing braces") << QByteArray("{\\rtf1 a{\\b b{\\i c") << u"abc"_s;
    QTest::newRow("extra closing brace ends the document") << QByteArray("{\\rtf1 a}}b}") << u"a"_s;
    QTest::newRow("cut in a hex escape")
        << "{\\rtf1\\ansicpg1251 " + hex1251(u"Привет"_s) + "\\'" << u"Привет"_s;
    QTest::newRow("cut after a backslash") << QByteArray("{\\rtf1 a\\") << u"a"_s;
    QTest::newRow("cut in a number") << QByteArray("{\\rtf1 a\\fs2") << u"a"_s;
    QTest::newRow("broken hex escape") << QByteArray("{\\rtf1 x\\u345\\'3?x\\'zzy\\'4}") << u"xřxy"_s;
    QTest::newRow("absurd numbers")
        << QByteArray("{\\rtf1 \\fs99999999999999999999 a\\u99999999999 b\\uc-7\\u1046 c\\f-2147483649 d"
                      "\\cf2147483647 e\\li-99999999999\\ri99999999 f}")
        << u"a\uFFFDЖcdef"_s; // the fallback of \\u is skipped
    QTest::newRow("binary data longer than the file")
        << QByteArray("{\\rtf1 a{\\*\\x\\bin999999 }}") << u"a"_s;
    QTest::newRow("binary data with a negative length") << QByteArray("{\\rtf1 a\\bin-5 b}") << u"ab"_s;
    QTest::newRow("binary picture longer than the file")
        << QByteArray("{\\rtf1 a{\\pict\\pngblip\\bin999999 \x89PNG") << u"a"_s;
    QTest::newRow("skipped destination in the outermost group")
        << QByteArray("{\\rtf1\\stylesheet a\\par b}") << u"a\nb"_s;
    QTest::newRow("colour table not closed") << QByteArray("{\\rtf1{\\colortbl;\\red255}\\cf1 a}") << u"a"_s;
    QTest::newRow("font table swallowing text")
        << QByteArray("{\\rtf1{\\fonttbl{\\f0 Verdana;} lost \\par}{\\f0 kept}}") << u"kept"_s;
    QTest::newRow("nul bytes") << QByteArray("{\\rtf1 a\0b}\0\0", 13) << u"ab"_s;
}

void TestRtfReader::damagedInput()
{
    QFETCH(QByteArray, rtf);
    QFETCH(QString, expected);
    const auto document = readDocument(rtf);
    QVERIFY(document);
    QCOMPARE(documentText(*document), expected);
}

void TestRtfReader::truncatedAnywhere()
{
    // A document with every kind of content, cut after each of its bytes: every piece reads, and a
    // word whose last byte is in the piece is in the text.
    QTextDocument source;
    QTextCursor cursor(&source);
    source.addResource(QTextDocument::ImageResource, QUrl(u"p.png"_s), testImage(3, 3));
    QTextCharFormat bold;
    bold.setFontWeight(QFont::Bold);
    bold.setForeground(Qt::red);
    cursor.insertText(u"Начало "_s);
    cursor.insertText(u"жирный ☺ "_s, bold);
    QTextImageFormat picture;
    picture.setName(u"p.png"_s);
    cursor.insertImage(picture);
    cursor.insertBlock();
    cursor.insertText(u"Конец"_s);
    const QByteArray rtf = velmira::writeRtf(source);
    const qsizetype endOfStart = rtf.indexOf("\\'ee ") + 4;
    QVERIFY(endOfStart > 4);

    for (qsizetype size = 0; size <= rtf.size(); ++size) {
        QTextDocument document;
        QVERIFY(readRtf(rtf.left(size), document) == (size >= 5));
        if (size >= endOfStart)
            QVERIFY2(document.toPlainText().startsWith(u"Начало"_s), qPrintable(QString::number(size)));
    }
}

void TestRtfReader::binaryJunk()
{
    QRandomGenerator random(2024);
    for (int round = 0; round < 50; ++round) {
        QByteArray junk("{\\rtf1 ");
        const int size = 1 + int(random.bounded(20000));
        for (int i = 0; i < size; ++i) {
            // Mostly bytes that mean something in RTF, so that the junk reaches deep into the reader.
            static const char meaningful[] = "{}\\'*0123456789abcdefu-;? \r\n";
            junk += random.bounded(2) ? meaningful[random.bounded(int(sizeof meaningful - 1))]
                                      : char(random.bounded(256));
        }
        QTextDocument document;
        QVERIFY(readRtf(junk, document));
    }
}

void TestRtfReader::deepNesting()
{
    QByteArray rtf("{\\rtf1 start");
    rtf += QByteArray(100000, '{') + "deep" + QByteArray(100000, '}');
    rtf += " end}";
    QElapsedTimer timer;
    timer.start();
    const auto document = readDocument(rtf);
    QVERIFY(document);
    QVERIFY(timer.elapsed() < 2000);
    QCOMPARE(documentText(*document), u"start end"_s);

    // Nesting that never closes.
    QVERIFY(readDocument("{\\rtf1 x" + QByteArray(200000, '{')));
}

// A caller that refuses a document of too many paragraphs gets one paragraph more than it wants, and
// the rest of the file is not read; one that wants them all gets the whole text.
void TestRtfReader::readingStopsPastTheParagraphsWanted()
{
    const QByteArray rtf = "{\\rtf1\\ansi\\ansicpg1251 \\'e0\\par \\'e1\\par\\par \\'e2\\par \\'e3}";
    QTextDocument document;
    QVERIFY(readRtf(rtf, document, 2));
    QCOMPARE(document.blockCount(), 3);
    QVERIFY2(!document.toPlainText().contains(u'в'), qPrintable(document.toPlainText()));

    QVERIFY(readRtf(rtf, document, 5));
    QCOMPARE(document.toPlainText(), u"а\nб\n\nв\nг"_s);
}

// Empty paragraphs, however many follow one another, each take the paragraph format in force and
// show in the size of their mark, and whatever comes after them (text, a new format, a picture) goes
// after the last of them.
void TestRtfReader::emptyParagraphsTakeTheFormatsBefore()
{
    const QByteArray picture = hexOf(jpegBytes(testImage(4, 2)));
    const auto document = readDocument(
        "{\\rtf1\\ansi\\ansicpg1251 \\pard\\qc\\sb120 {\\fs40 \\'e0\\par\\par\\par}\\par\\par"
        "\\pard\\qr \\'e1\\par\\par\\par{\\pict\\jpegblip " + picture + "}\\par\\par\\'e2}");
    QVERIFY(document);
    QCOMPARE(documentText(*document), u"а\n\n\n\n\nб\n\n\n#\n\nв"_s);
    const auto block = [&](int n) {
        return document->findBlockByNumber(n);
    };
    for (int n = 0; n < 5; ++n) {
        QCOMPARE(block(n).blockFormat().alignment() & Qt::AlignHorizontal_Mask, Qt::AlignHCenter);
        QCOMPARE(block(n).blockFormat().topMargin(), 8.0);
    }
    QCOMPARE(block(1).charFormat().fontPointSize(), 20.0);
    QCOMPARE(block(2).charFormat().fontPointSize(), 20.0);
    QCOMPARE(block(3).charFormat().fontPointSize(), 12.0);
    QCOMPARE(block(4).charFormat().fontPointSize(), 12.0);
    for (int n = 5; n < 11; ++n) {
        QCOMPARE(block(n).blockFormat().alignment() & Qt::AlignHorizontal_Mask, Qt::AlignRight);
        QCOMPARE(block(n).blockFormat().topMargin(), 0.0);
    }
    QCOMPARE(imagesOf(*document).size(), 1);
}

// A long document's beginning is given once, with a few screenfuls in the document and the rest to
// come; a short document's never.
void TestRtfReader::aLongDocumentsBeginningIsGivenOnce()
{
    const QByteArray line = "\\'f1\\'f2\\'f0\\'ee\\'ea\\'e0\\par ";
    const QByteArray longRtf =
        "{\\rtf1\\ansi\\ansicpg1251 " + line.repeated(3000) + QByteArray("\\par ").repeated(3000) + "}";
    QTextDocument document;
    int calls = 0;
    int blocksThen = 0;
    QString textThen;
    QVERIFY(readRtf(longRtf, document, std::numeric_limits<qint64>::max(), [&] {
        ++calls;
        blocksThen = document.blockCount();
        textThen = document.toPlainText();
    }));
    QCOMPARE(calls, 1);
    QVERIFY(blocksThen >= 100);
    QVERIFY(blocksThen < 1000);
    QVERIFY(textThen.startsWith(u"строка\nстрока\n"_s));
    QCOMPARE(document.blockCount(), 6000);

    // Empty paragraphs only, and few.
    const auto called = [&] {
        ++calls;
    };
    QVERIFY(readRtf("{\\rtf1 " + QByteArray("\\par ").repeated(5000) + "}", document, 10000, called));
    QCOMPARE(calls, 2);
    QCOMPARE(document.blockCount(), 5000);
    QVERIFY(readRtf("{\\rtf1\\ansi\\ansicpg1251 " + line.repeated(50) + "}", document, 10000, called));
    QCOMPARE(calls, 2);
}

QTEST_MAIN(TestRtfReader)
#include "tst_rtfreader.moc"
