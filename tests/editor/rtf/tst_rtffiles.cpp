// Reading whole RTF files as word processors write them, from the project's own files in tests/data/rtf:
// each gives the text expected of it, with its formatting and pictures; a file that is not RTF is
// left to be opened as plain text.
#include <QDir>
#include <QFile>
#include <QTest>

#include "editor/rtf/rtfreader.h"
#include "editor/rtf/rtftestsupport.h"

using namespace Qt::StringLiterals;
using velmira::test::documentText;
using velmira::test::formatAt;
using velmira::test::readDocument;

namespace {

QString dataFolder()
{
    return QStringLiteral(VELMIRA_RTF_FILES);
}

QByteArray fileBytes(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return file.readAll();
}

QByteArray rtfFile(const QString &name)
{
    return fileBytes(dataFolder() + u'/' + name + u".rtf"_s);
}

// The files that do not start with "{\rtf" and so have no expected text of their own.
const QStringList NotRtf = {u"not-rtf"_s};

} // namespace

class TestRtfFiles : public QObject
{
    Q_OBJECT

private slots:
    void expectedText_data()
    {
        QTest::addColumn<QString>("name");
        const QStringList files = QDir(dataFolder()).entryList({u"*.rtf"_s}, QDir::Files, QDir::Name);
        QVERIFY(files.size() >= 9);
        for (const QString &file : files)
            QTest::newRow(qPrintable(file)) << QFileInfo(file).completeBaseName();
    }

    void expectedText()
    {
        // A line for each paragraph; a line break is U+2028, a picture '#'.
        QFETCH(QString, name);
        const QByteArray bytes = rtfFile(name);
        QVERIFY(!bytes.isEmpty());
        QTextDocument document;
        document.setPlainText(u"прежний текст"_s);
        const bool isRtf = velmira::readRtf(bytes, document);
        if (NotRtf.contains(name)) {
            QVERIFY(!isRtf);
            QCOMPARE(document.toPlainText(), u"прежний текст"_s);
            return;
        }
        QVERIFY(isRtf);
        const QString expectedPath = dataFolder() + u'/' + name + u".expected.txt"_s;
        QVERIFY2(QFileInfo::exists(expectedPath), qPrintable(u"no expected text for "_s + name));
        QCOMPARE(documentText(document) + u'\n', QString::fromUtf8(fileBytes(expectedPath)));
    }

    void russianFileFormatting_data()
    {
        QTest::addColumn<QString>("name");
        QTest::newRow("hex escapes") << u"cp1251-hex"_s;
        QTest::newRow("raw bytes") << u"cp1251-raw8bit"_s;
    }

    void russianFileFormatting()
    {
        QFETCH(QString, name);
        const auto document = readDocument(rtfFile(name));
        QVERIFY(document);
        const QString text = documentText(*document);
        const auto formatOf = [&](const QString &word) { return formatAt(*document, int(text.indexOf(word))); };
        const auto alignment = [&](int block) {
            return document->findBlockByNumber(block).blockFormat().alignment() & Qt::AlignHorizontal_Mask;
        };

        QVERIFY(formatOf(u"Привет"_s).font().bold());
        QCOMPARE(formatOf(u"Привет"_s).fontPointSize(), 14.0);
        QCOMPARE(formatOf(u"Привет"_s).fontFamilies().toStringList(), QStringList{u"Arial"_s});
        QCOMPARE(alignment(0), Qt::AlignHCenter);
        QVERIFY(formatOf(u"Курсив"_s).fontItalic());
        QVERIFY(!formatOf(u"Курсив"_s).font().bold());
        QCOMPARE(formatOf(u"Курсив"_s).fontPointSize(), 10.0);
        QVERIFY(formatOf(u"подчёркнутый"_s).fontUnderline());
        QVERIFY(formatOf(u"зачёркнутый"_s).fontStrikeOut());
        QCOMPARE(formatOf(u"Красный"_s).foreground().color(), QColor(Qt::red));
        QCOMPARE(formatOf(u"синий"_s).foreground().color(), QColor(Qt::blue));
        QCOMPARE(formatOf(u"№"_s).fontFamilies().toStringList(), QStringList{u"Courier New"_s});
        QCOMPARE(alignment(1), Qt::AlignLeft);
        QCOMPARE(alignment(3), Qt::AlignRight);
    }

    void wordLetterFormatting()
    {
        const auto document = readDocument(rtfFile(u"word-letter"_s));
        QVERIFY(document);
        const QString text = documentText(*document);
        const auto formatOf = [&](const QString &word) { return formatAt(*document, int(text.indexOf(word))); };
        const auto alignmentOf = [&](const QString &word) {
            return document->findBlock(int(text.indexOf(word))).blockFormat().alignment() & Qt::AlignHorizontal_Mask;
        };

        QVERIFY(formatOf(u"Уважаемая"_s).font().bold());
        QCOMPARE(formatOf(u"Уважаемая"_s).fontPointSize(), 14.0);
        QCOMPARE(alignmentOf(u"Уважаемая"_s), Qt::AlignHCenter);
        QVERIFY(!formatOf(u"Посылаем"_s).font().bold());
        QCOMPARE(formatOf(u"Посылаем"_s).fontPointSize(), 11.0);
        QCOMPARE(formatOf(u"Посылаем"_s).fontFamilies().toStringList(), QStringList{u"Calibri"_s});
        QCOMPARE(alignmentOf(u"Посылаем"_s), Qt::AlignJustify);
        QVERIFY(formatOf(u"расписание"_s).fontItalic());
        QVERIFY(!formatOf(u"занятий"_s).fontItalic());
        // The link's result keeps the look the file gives it.
        QVERIFY(formatOf(u"школы"_s).fontUnderline());
        QCOMPARE(formatOf(u"школы"_s).foreground().color(), QColor(Qt::blue));
        QVERIFY(formatOf(u"Понедельник"_s).font().bold() == false);
        QVERIFY(formatOf(u"Время"_s).font().bold());
        QCOMPARE(alignmentOf(u"классный"_s), Qt::AlignRight);
        QCOMPARE(formatOf(u"классный"_s).foreground().color(), QColor(Qt::red));
    }

    void libreOfficeReport()
    {
        const auto document = readDocument(rtfFile(u"libreoffice-report"_s));
        QVERIFY(document);
        const QString text = documentText(*document);
        const auto formatOf = [&](const QString &word) { return formatAt(*document, int(text.indexOf(word))); };

        QVERIFY(formatOf(u"Отчёт за"_s).font().bold());
        QCOMPARE(formatOf(u"Отчёт за"_s).fontPointSize(), 18.0);
        QCOMPARE(formatOf(u"Отчёт за"_s).fontFamilies().toStringList(), QStringList{u"Liberation Sans"_s});
        QVERIFY(!formatOf(u"Сделано"_s).font().bold());
        QCOMPARE(formatOf(u"Сделано"_s).fontPointSize(), 12.0);
        QVERIFY(formatAt(*document, int(text.lastIndexOf(u"да"_s))).font().bold());
        QVERIFY(!formatOf(u"Отчёт\t"_s).font().bold());

        // The chart inside the drawing shape: 8 by 6 red pixels, shown at its goal size of 120 by 90 twips.
        const QTextCharFormat picture = formatOf(u"#"_s);
        QVERIFY(picture.isImageFormat());
        QCOMPARE(picture.toImageFormat().width(), 8.0);
        QCOMPARE(picture.toImageFormat().height(), 6.0);
        const QImage image = velmira::test::imageOf(*document, picture.toImageFormat());
        QCOMPARE(image.size(), QSize(8, 6));
        QCOMPARE(image.pixelColor(3, 3), QColor(200, 30, 30));
    }
};

QTEST_MAIN(TestRtfFiles)
#include "tst_rtffiles.moc"
