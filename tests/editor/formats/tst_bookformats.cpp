// Books and documents of every format open to their text, in order, with their bold and italic words;
// bad files are refused with a message that names the file and the reason.
#include "bookfiles.h"
#include "common/core/error.h"
#include "editor/formats/book.h"
#include "editor/formats/documentreader.h"
#include "editor/rtf/rtfreader.h"
#include "editor/rtf/rtfwriter.h"

#include <QPainter>
#include <QBuffer>
#include <QImage>
#include <QPdfWriter>
#include <QTemporaryDir>
#include <QTest>
#include <QTextBlock>
#include <QTextDocument>
#include <QTextImageFormat>

using namespace velmira;
using namespace bookfiles;
using namespace Qt::StringLiterals;

namespace {

// Every paragraph's text followed by a line end; a line break inside a paragraph is a line end too.
QString documentText(const QTextDocument &document)
{
    QString text;
    for (QTextBlock block = document.begin(); block.isValid(); block = block.next())
        text += block.text() + u'\n';
    text.replace(QChar::LineSeparator, u'\n');
    return text;
}

// The words of body text (headings left out) that have the property, in order.
QStringList wordsWhere(const QTextDocument &document, bool (*has)(const QTextCharFormat &))
{
    QStringList words;
    for (QTextBlock block = document.begin(); block.isValid(); block = block.next()) {
        if (block.blockFormat().headingLevel() > 0)
            continue;
        for (auto it = block.begin(); !it.atEnd(); ++it)
            if (has(it.fragment().charFormat()) && !it.fragment().text().trimmed().isEmpty())
                words.append(it.fragment().text().trimmed());
    }
    return words;
}

bool isBold(const QTextCharFormat &format)
{
    return format.fontWeight() >= QFont::Bold;
}

bool isItalic(const QTextCharFormat &format)
{
    return format.fontItalic();
}

bool isUnderlined(const QTextCharFormat &format)
{
    return format.fontUnderline();
}

// A PDF whose pages hold the lines given; an empty line leaves a gap between paragraphs.
QByteArray pdfOf(const QList<QStringList> &pages, bool scanned = false)
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    QPdfWriter writer(&buffer);
    writer.setResolution(72);
    QPainter painter(&writer);
    QFont font(u"Liberation Serif"_s);
    font.setPointSize(12);
    painter.setFont(font);
    for (qsizetype page = 0; page < pages.size(); ++page) {
        if (page > 0)
            writer.newPage();
        int y = 40;
        for (const QString &line : pages[page]) {
            if (scanned) {
                QImage image(200, 20, QImage::Format_RGB32);
                image.fill(Qt::white);
                painter.drawImage(20, y, image);
            } else if (!line.isEmpty()) {
                painter.drawText(20, y, line);
            }
            y += painter.fontMetrics().lineSpacing();
        }
    }
    painter.end();
    return bytes;
}

QByteArray fb2With(const QByteArray &body)
{
    return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n" + body;
}

} // namespace

class TestBookFormats : public QObject
{
    Q_OBJECT

private slots:
    void eachFormatOpensToItsText_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QStringList>("bold");
        QTest::addColumn<QStringList>("italic");

        QTest::newRow("FB2 in Windows-1251") << u"повесть.fb2"_s << fb2Book("windows-1251") << fb2BookText()
                                             << QStringList{u"ветер"_s, u"река"_s} << QStringList{u"тишина"_s};
        QTest::newRow("FB2 in UTF-8, zipped")
            << u"повесть.fb2.zip"_s << zipOf({{u"повесть.fb2"_s, fb2Book("UTF-8")}}) << fb2BookText()
            << QStringList{u"ветер"_s, u"река"_s} << QStringList{u"тишина"_s};
        QTest::newRow("EPUB 3, files out of spine order")
            << u"книга.epub"_s << epubBook() << epubBookText() << QStringList{u"жирным"_s}
            << QStringList{u"курсивом"_s};
        QTest::newRow("DOCX") << u"отчёт.docx"_s << docxDocument() << docxDocumentText()
                              << QStringList{u"жирный"_s, u"важное"_s} << QStringList{u"курсив"_s};
        QTest::newRow("ODT") << u"отчёт.odt"_s << odtDocument() << odtDocumentText()
                             << QStringList{u"жирный"_s, u"важное"_s} << QStringList{u"курсив"_s};
        QTest::newRow("HTML in Windows-1251")
            << u"новости.html"_s << htmlPage1251() << htmlPageText() << QStringList{u"тепло"_s}
            << QStringList{u"ясно"_s};
        QTest::newRow("XHTML without a name")
            << u"страница"_s << xhtmlPage(u"<p>Просто <strong>текст</strong>.</p>"_s) << u"Просто текст.\n"_s
            << QStringList{u"текст"_s} << QStringList();
        QTest::newRow("PDF, two pages")
            << u"статья.pdf"_s
            << pdfOf({{u"Первая строка абзаца,"_s, u"его вторая строка."_s, QString(), QString(), u"Новый абзац."_s},
                      {u"Вторая страница."_s}})
            << u"Первая строка абзаца, его вторая строка.\nНовый абзац.\nВторая страница.\n"_s << QStringList()
            << QStringList();
    }

    void eachFormatOpensToItsText()
    {
        QFETCH(QString, name);
        QFETCH(QByteArray, bytes);
        QFETCH(QString, text);
        QFETCH(QStringList, bold);
        QFETCH(QStringList, italic);

        QTextDocument document;
        readDocument(name, bytes, document);
        QCOMPARE(documentText(document), text);
        QCOMPARE(wordsWhere(document, isBold), bold);
        QCOMPARE(wordsWhere(document, isItalic), italic);
    }

    // The same page as a word processor saves it in each format opens to the same text; PDF has no
    // styles to keep, and shows list bullets as text and table cells as words.
    void wordProcessorFilesOpenToTheSameText_data()
    {
        QTest::addColumn<QString>("name");
        for (const char *name : {"sample.html", "sample.odt", "sample.docx", "sample.epub", "sample.pdf"})
            QTest::newRow(name) << QString::fromLatin1(name);
    }

    void wordProcessorFilesOpenToTheSameText()
    {
        QFETCH(QString, name);
        QTextDocument document;
        readDocumentFile(QStringLiteral(BOOKS_FOLDER "/") + name, document);
        const QString page = u"Заголовок первый\nПервый абзац с жирным словом и курсивом, а также подчёркнутым.\n"
                             u"Раздел второй\nПункт один\nПункт два\nПервый\nВторой\nИмя\tВозраст\nАнна\t30\n"
                             u"Длинный абзац, который в PDF займёт несколько строк, потому что в нём много слов: раз, "
                             u"два, три, четыре, пять, шесть, семь, восемь, девять, десять, одиннадцать, двенадцать, "
                             u"тринадцать, четырнадцать, пятнадцать.\nПоследний абзац.\n"_s;
        if (name.endsWith(u".pdf"_s)) {
            QString text = documentText(document);
            text.remove(u"• "_s).remove(u"1. "_s).remove(u"2. "_s);
            QCOMPARE(text, QString(page).replace(u'\t', u' '));
            return;
        }
        QCOMPARE(documentText(document), page);
        QCOMPARE(wordsWhere(document, isBold), QStringList{u"жирным словом"_s});
        QCOMPARE(wordsWhere(document, isItalic), QStringList{u"курсивом"_s});
        QCOMPARE(wordsWhere(document, isUnderlined), QStringList{u"подчёркнутым"_s});
        QCOMPARE(document.findBlockByNumber(0).blockFormat().headingLevel(), 1);
        QCOMPARE(document.findBlockByNumber(2).blockFormat().headingLevel(), 2);
    }

    void wordsUnderlinedInOfficeDocumentsStayUnderlined()
    {
        for (const auto &[name, bytes] : {std::pair{u"a.docx"_s, docxDocument()}, std::pair{u"a.odt"_s, odtDocument()}}) {
            QTextDocument document;
            readDocument(name, bytes, document);
            QCOMPARE(wordsWhere(document, isUnderlined), QStringList{u"курсив"_s});
        }
    }

    // Headings are bold and larger than the text, by level, and stay so in the RTF the book is saved as.
    void headingsKeepTheirShapeIntoRtf()
    {
        QTextDocument document;
        QFont body(u"Times New Roman"_s);
        body.setPixelSize(15);
        document.setDefaultFont(body);
        readDocument(u"повесть.fb2"_s, fb2Book("UTF-8"), document);

        QTextDocument saved;
        saved.setDefaultFont(body);
        QVERIFY(readRtf(writeRtf(document), saved));
        for (const QTextDocument *d : {&document, &saved}) {
            const QTextBlock book = d->findBlock(0);
            const QTextBlock chapter = d->findBlock(d->toPlainText().indexOf(u"Глава первая"_s));
            const QTextBlock part = d->findBlock(d->toPlainText().indexOf(u"Часть вторая"_s));
            const QTextBlock text = d->findBlock(d->toPlainText().indexOf(u"Утром"_s));
            const auto size = [](const QTextBlock &b) { return b.begin().fragment().charFormat().font().pointSizeF(); };
            QVERIFY(isBold(book.begin().fragment().charFormat()));
            QVERIFY(isBold(part.begin().fragment().charFormat()));
            QVERIFY2(size(book) > size(chapter) && size(chapter) > size(part) && size(part) > 11.5,
                     qPrintable(u"%1 %2 %3"_s.arg(size(book)).arg(size(chapter)).arg(size(part))));
            QVERIFY(!isBold(text.begin().fragment().charFormat()));
        }
    }

    void picturesStandWhereTheBookHasThem()
    {
        for (const auto &[name, bytes] : {std::pair{u"a.fb2"_s, fb2Book("UTF-8")}, std::pair{u"a.epub"_s, epubBook()}}) {
            QTextDocument document;
            readDocument(name, bytes, document);
            const int at = document.toPlainText().indexOf(QChar::ObjectReplacementCharacter);
            QVERIFY(at > 0);
            QTextCursor cursor(&document);
            cursor.setPosition(at + 1);
            const QTextImageFormat image = cursor.charFormat().toImageFormat();
            QVERIFY(image.isValid());
            QCOMPARE(image.width(), 8.0);
            const QVariant picture = document.resource(QTextDocument::ImageResource, QUrl(image.name()));
            QVERIFY(!QImage::fromData(picture.toByteArray()).isNull());
        }
    }

    void badFilesAreRefusedAndLeaveTheDocumentAlone_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("reason");

        const QByteArray epub = epubBook();
        QTest::newRow("cut-off EPUB") << u"книга.epub"_s << epub.left(epub.size() / 2) << u"повреждён"_s;
        QTest::newRow("zip encrypted with a password")
            << u"отчёт.docx"_s
            << zipOf({{u"word/document.xml"_s, "<w:document/>"}, {u"word/styles.xml"_s, "<w:styles/>"}}, "секрет")
            << u"зашифрован"_s;
        QTest::newRow("Word document encrypted or of the old format")
            << u"отчёт.docx"_s << QByteArray("\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1").append(512, '\0') << u"зашифрован"_s;
        QTest::newRow("zip without a book") << u"фото.zip"_s << zipOf({{u"фото.png"_s, pngPicture()}})
                                            << u"нет ни книги, ни документа"_s;
        QTest::newRow("PDF of scanned pages") << u"скан.pdf"_s << pdfOf({{u"x"_s}}, true) << u"текстового слоя"_s;
        QTest::newRow("damaged PDF") << u"статья.pdf"_s << QByteArray("%PDF-1.4\n\x01\x02 обрыв") << u"PDF"_s;
        QTest::newRow("picture named as text") << u"заметка.txt"_s << pngPicture() << u"двоичный файл"_s;
        QTest::newRow("binary without a name") << u"данные"_s << QByteArray("ab\0\0\x01\x02\x03" "cd", 9)
                                               << u"двоичный файл"_s;
        QTest::newRow("binary named .rtf") << u"данные.rtf"_s << QByteArray("\x01\x02\x03\x04\0\0\0\0", 8)
                                           << u"двоичный файл"_s;
        QTest::newRow("path out of the archive")
            << u"книга.epub"_s
            << zipOf({{u"mimetype"_s, "application/epub+zip"}, {u"../../.bashrc"_s, "rm -rf ~"}})
            << u"недопустимым путём"_s;
        QTest::newRow("XML entity expansion")
            << u"бомба.fb2"_s
            << fb2With("<!DOCTYPE FictionBook [<!ENTITY a \"ааааааааааааааааааааааа\">"
                       "<!ENTITY b \"&a;&a;&a;&a;&a;&a;&a;&a;&a;&a;&a;&a;&a;&a;&a;&a;\">"
                       "<!ENTITY c \"&b;&b;&b;&b;&b;&b;&b;&b;&b;&b;&b;&b;&b;&b;&b;&b;\">]>"
                       "<FictionBook><body><p>&c;&c;&c;&c;&c;&c;&c;&c;</p></body></FictionBook>")
            << u"сущности"_s;
        QTest::newRow("cut-off FB2") << u"повесть.fb2"_s << fb2Book("UTF-8").left(400) << u"повреждён"_s;
        QTest::newRow("FB2 without text")
            << u"пусто.fb2"_s << fb2With("<FictionBook><body><section/></body></FictionBook>") << u"нет текста"_s;
        QTest::newRow("XML that is no FB2") << u"данные.fb2"_s << fb2With("<data><p>x</p></data>") << u"не книга FB2"_s;
        QTest::newRow("EPUB protected against copying")
            << u"купленная.epub"_s
            << zipOf({{u"mimetype"_s, "application/epub+zip"},
                      {u"META-INF/encryption.xml"_s,
                       "<encryption><EncryptedData><EncryptionMethod Algorithm=\"http://www.w3.org/2001/04/xmlenc#aes128-cbc\"/>"
                       "<CipherData><CipherReference URI=\"text.xhtml\"/></CipherData></EncryptedData></encryption>"},
                      {u"content.opf"_s, "<package><manifest><item id=\"t\" href=\"text.xhtml\" "
                                         "media-type=\"application/xhtml+xml\"/></manifest>"
                                         "<spine><itemref idref=\"t\"/></spine></package>"},
                      {u"text.xhtml"_s, "\x13\x99\xA0 шифр"}})
            << u"защищена от копирования"_s;
    }

    void badFilesAreRefusedAndLeaveTheDocumentAlone()
    {
        QFETCH(QString, name);
        QFETCH(QByteArray, bytes);
        QFETCH(QString, reason);

        QTextDocument document;
        document.setPlainText(u"Прежний текст"_s);
        try {
            readDocument(name, bytes, document);
            QFAIL("the file was opened");
        } catch (const Error &error) {
            QVERIFY2(error.message().contains(u"«"_s + name + u"»"_s) && error.message().contains(reason),
                     qPrintable(error.message()));
        }
        QCOMPARE(document.toPlainText(), u"Прежний текст"_s);
    }

    // A small archive that unpacks to more than any book holds is refused once the limit is read,
    // not unpacked whole.
    void zipBombIsRefused()
    {
        const QByteArray huge(70 * 1024 * 1024, ' ');
        const QByteArray bomb = zipOf({{u"word/document.xml"_s, huge}});
        QVERIFY(bomb.size() < 1024 * 1024);
        QTextDocument document;
        try {
            readDocument(u"бомба.docx"_s, bomb, document);
            QFAIL("the archive was unpacked");
        } catch (const Error &error) {
            QVERIFY2(error.message().contains(u"слишком большой"_s), qPrintable(error.message()));
        }
    }

    void filesAreReadFromDiskWithTheSizeLimit()
    {
        QTemporaryDir folder;
        QFile big(folder.filePath(u"огромная.fb2"_s));
        QVERIFY(big.open(QIODevice::WriteOnly) && big.resize(qint64(64) * 1024 * 1024 + 1));
        big.close();
        QTextDocument document;
        QVERIFY_THROWS_EXCEPTION(Error, readDocumentFile(big.fileName(), document));

        QFile book(folder.filePath(u"книга.epub"_s));
        QVERIFY(book.open(QIODevice::WriteOnly) && book.write(epubBook()) > 0);
        book.close();
        readDocumentFile(book.fileName(), document);
        QCOMPARE(documentText(document), epubBookText());
    }
};

QTEST_MAIN(TestBookFormats)
#include "tst_bookformats.moc"
