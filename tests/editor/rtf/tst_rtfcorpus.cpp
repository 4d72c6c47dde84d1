// Reading public RTF files written by word processors and other programs: every one loads, quickly, with
// the text that is expected of it. The corpus lives outside the project (VELMIRA_RTF_CORPUS); without
// it the test reports itself skipped. The project's own files are read by tst_rtffiles.
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTest>

#include "editor/rtf/rtfreader.h"
#include "editor/rtf/rtftestsupport.h"
#include "support/testfiles.h"

using namespace Qt::StringLiterals;
using velmira::fileBytes;
using velmira::test::documentText;
using velmira::test::readDocument;

namespace {

QString corpusFolder()
{
    return QString::fromUtf8(VELMIRA_RTF_CORPUS);
}

QByteArray corpusRtf(const QString &name)
{
    return fileBytes(corpusFolder() + u'/' + name + u".rtf"_s);
}

QStringList corpusFiles()
{
    return QDir(corpusFolder()).entryList({u"*.rtf"_s}, QDir::Files, QDir::Name);
}

// The files that do not start with "{\rtf", which the program opens as plain text: junk before the
// group, an empty file, plain text, and a piece of pandoc's output without the document's group
// (which LibreOffice reads because it was told the file is RTF).
const QStringList NotRtf = {u"rtfpipe-RtfParserTest_fail_0"_s, u"rtfpipe-RtfParserTest_fail_4"_s,
                            u"rtfpipe-RtfParserTest_fail_5"_s, u"rtfpipe-RtfParserTest_fail_6"_s,
                            u"pandoc-tables"_s};

// Where LibreOffice's text differs from ours by its own way of reading a file.
QString libreOfficeQuirk(const QString &name)
{
    static const QString lists =
        u"LibreOffice draws list labels from its own numbering, indented with spaces; "
        "we show the labels the file carries (\\listtext, \\pntext)"_s;
    static const QString tables =
        u"LibreOffice puts every table cell on a line of its own; we make a row one "
        "paragraph with tabs between its cells"_s;
    static const QHash<QString, QString> quirks = {
        {u"pandoc-footnote"_s,
         u"LibreOffice numbers the footnote marks (\\chftn); we leave marks and notes out"_s},
        {u"pandoc-formatting"_s, u"LibreOffice shows hidden text (\\v) and turns some spaces into U+2006"_s},
        {u"rtfpipe-rtf2xml-os_x_text_edit_faces_mixed"_s, u"LibreOffice turns some spaces into U+2006"_s},
        {u"pandoc-list_legacy"_s, lists},
        {u"pandoc-list_simple"_s, lists},
        {u"pandoc-writer"_s, lists},
        {u"rtfpipe-Issue53"_s, lists},
        {u"rtfpipe-List"_s, lists},
        {u"rtfpipe-rtf2xml-bullet_list"_s, lists},
        {u"rtfpipe-RtfParserTest_8"_s, lists},
        {u"pandoc-table_error_codes"_s, tables},
        {u"pandoc-table_nested"_s, tables},
        {u"pandoc-table_simple"_s, tables + u", and loses all but the first cell of a row"_s},
        {u"rtfpipe-Issue33"_s, tables},
        {u"rtfpipe-Issue34"_s, tables},
        {u"rtfpipe-merged_cells"_s, tables},
        {u"rtfpipe-phprtflite-formfields"_s, tables},
        {u"rtfpipe-phprtflite-image_from_strings"_s, tables},
        {u"rtfpipe-phprtflite-nested_tables"_s, tables},
        {u"pandoc-table_nested_malformed_itap"_s, u"LibreOffice shows nothing of a table whose nesting level "
                                                  "jumps; we show its text"_s},
        {u"rpk-testSpecialChars"_s,
         u"LibreOffice writes \\emspace, \\enspace and \\qmspace as plain spaces"_s},
        {u"rtfpipe-Issue49"_s, u"LibreOffice makes paragraphs of the \\par words inside the font table"_s},
        {u"rtfpipe-Test01"_s, u"LibreOffice keeps letters of the Symbol font as private-use characters and "
                              "shows both the ANSI and the Unicode part of \\upr"_s},
        {u"rtfpipe-rtf2xml-fields_simple_format_switch"_s,
         u"LibreOffice computes the fields again (file name, "
         "case switches); we show the results the file holds"_s},
    };
    return quirks.value(name);
}

// Our text as LibreOffice's text export writes it: a line for each paragraph and for each line break,
// pictures left out.
QString asLibreOfficeText(const QTextDocument &document)
{
    QString text;
    for (QTextBlock block = document.begin(); block.isValid(); block = block.next())
        text += block.text().remove(QChar::ObjectReplacementCharacter) + u'\n';
    text.replace(QChar::LineSeparator, u'\n');
    return text;
}

QString textFileContent(const QString &path)
{
    QString text = QString::fromUtf8(fileBytes(path));
    if (text.startsWith(QChar(0xFEFF)))
        text.remove(0, 1);
    return text;
}

} // namespace

class TestRtfCorpus : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void everyFileLoadsQuickly_data();
    void everyFileLoadsQuickly();
    void libreOfficeText_data();
    void libreOfficeText();
    void textOfChosenFiles_data();
    void textOfChosenFiles();
    void pictures_data();
    void pictures();
};

void TestRtfCorpus::initTestCase()
{
    if (!QFileInfo(corpusFolder()).isDir())
        QSKIP(qPrintable(u"The RTF corpus folder %1 is absent (VELMIRA_RTF_CORPUS)"_s.arg(corpusFolder())));
    QVERIFY(corpusFiles().size() > 50);
}

void TestRtfCorpus::everyFileLoadsQuickly_data()
{
    QTest::addColumn<QString>("name");
    for (const QString &file : corpusFiles())
        QTest::newRow(qPrintable(file)) << QFileInfo(file).completeBaseName();
}

void TestRtfCorpus::everyFileLoadsQuickly()
{
    QFETCH(QString, name);
    const QByteArray bytes = corpusRtf(name);
    QTextDocument document;
    QElapsedTimer timer;
    timer.start();
    const bool isRtf = velmira::readRtf(bytes, document);
    QVERIFY2(timer.elapsed() < 1000, qPrintable(u"%1 ms"_s.arg(timer.elapsed())));
    QCOMPARE(isRtf, !NotRtf.contains(name));
}

void TestRtfCorpus::libreOfficeText_data()
{
    QTest::addColumn<QString>("name");
    for (const QString &file : QDir(corpusFolder() + u"/expected"_s).entryList({u"*.libreoffice.txt"_s})) {
        const QString name = file.chopped(int(qstrlen(".libreoffice.txt")));
        if (!NotRtf.contains(name))
            QTest::newRow(qPrintable(name)) << name;
    }
}

void TestRtfCorpus::libreOfficeText()
{
    QFETCH(QString, name);
    const auto document = readDocument(corpusRtf(name));
    QVERIFY(document);
    const QString quirk = libreOfficeQuirk(name);
    if (!quirk.isEmpty())
        QEXPECT_FAIL("", qPrintable(quirk), Abort);
    QCOMPARE(asLibreOfficeText(*document),
             textFileContent(corpusFolder() + u"/expected/"_s + name + u".libreoffice.txt"_s));
}

void TestRtfCorpus::textOfChosenFiles_data()
{
    // Texts that the other programs' own expectations give for files whose LibreOffice text differs.
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("part");
    QTest::newRow("Ukrainian by \\ansicpg1251 alone") << u"rtfpipe-Issue34"_s << u"У Х В А Л А"_s;
    QTest::newRow("Ukrainian letters in a nested table") << u"rtfpipe-Issue34"_s << u"М.Є.Червинська"_s;
    QTest::newRow("paragraphs of a table cell") << u"rtfpipe-Issue34"_s << u"Гулько \u2028 М.Є."_s;
    QTest::newRow("unicode part of \\upr") << u"rtfpipe-Test01"_s << u"same but different: \"[Γ]\""_s;
    QTest::newRow("table row") << u"pandoc-table_simple"_s << u"A \tB \tC \tD "_s;
    QTest::newRow("nested table rows") << u"pandoc-table_nested"_s << u"Deep A\tDeep B\nDeep C\tDeep D"_s;
    QTest::newRow("footnote left out") << u"pandoc-footnote"_s << u"annotated. It was"_s;
    QTest::newRow("WordPad bullets") << u"rtfpipe-Issue53"_s << u"•\tA\n•\tB\n•\tC\n1)\tD"_s;
}

void TestRtfCorpus::textOfChosenFiles()
{
    QFETCH(QString, name);
    QFETCH(QString, part);
    const auto document = readDocument(corpusRtf(name));
    QVERIFY(document);
    QVERIFY2(documentText(*document).contains(part), qPrintable(documentText(*document)));
}

void TestRtfCorpus::pictures_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<int>("count");
    QTest::newRow("png") << u"rtfpipe-Issue37"_s << 2;
    QTest::newRow("jpeg") << u"pandoc-image"_s << 1;
    QTest::newRow("picture of the page header") << u"rtfpipe-Issue39"_s << 0;
    QTest::newRow("jpeg and png shown, metafile not") << u"rtfpipe-phprtflite-image_from_strings"_s << 5;
    QTest::newRow("metafiles only") << u"rtfpipe-Issue33"_s << 0;
}

void TestRtfCorpus::pictures()
{
    QFETCH(QString, name);
    QFETCH(int, count);
    const auto document = readDocument(corpusRtf(name));
    QVERIFY(document);
    int pictures = 0;
    for (QTextBlock block = document->begin(); block.isValid(); block = block.next()) {
        for (auto it = block.begin(); !it.atEnd(); ++it) {
            const QTextCharFormat format = it.fragment().charFormat();
            if (!format.isImageFormat())
                continue;
            ++pictures;
            const QImage image = velmira::test::imageOf(*document, format.toImageFormat());
            QVERIFY(!image.isNull());
            QVERIFY(format.toImageFormat().width() > 0 && format.toImageFormat().height() > 0);
        }
    }
    QCOMPARE(pictures, count);
}

QTEST_MAIN(TestRtfCorpus)
#include "tst_rtfcorpus.moc"
