// Plain-text documents as the editor shows them, the names documents are saved under, and the sizes
// the program opens and saves.
#include "common/core/error.h"
#include "common/core/textcodec.h"
#include "common/core/textfile.h"
#include "editor/formats/documentfile.h"
#include "editor/formats/documentreader.h"

#include <QTemporaryDir>
#include <QTest>
#include <QTextDocument>

using namespace velmira;
using namespace Qt::StringLiterals;

class TestDocumentFile : public QObject
{
    Q_OBJECT

private slots:
    void plainTextLines_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("text");

        const QByteArray one = toWindows1251(u"один"_s);
        const QByteArray two = toWindows1251(u"два"_s);
        QTest::newRow("LF ends a line") << one + "\n" + two + "\n" << u"один\r\nдва\r\n"_s;
        QTest::newRow("CR LF ends a line") << one + "\r\n" + two + "\r\n" << u"один\r\nдва\r\n"_s;
        QTest::newRow("last line without a line end") << one + "\n" + two << u"один\r\nдва\r\n"_s;
        QTest::newRow("lone CR is dropped") << one + "\r" + two + "\r\n" << u"одиндва\r\n"_s;
        QTest::newRow("CR before CR LF") << one + "\r\r\n" + two << u"один\r\nдва\r\n"_s;
        QTest::newRow("CR at the very end") << one + "\r" << u"один\r\n"_s;
        QTest::newRow("empty lines are kept") << one + "\n\n\r\n" + two << u"один\r\n\r\n\r\nдва\r\n"_s;
        QTest::newRow("byte 26 ends the text") << one + "\n" + two + "\x1A" + one + "\n"
                                               << u"один\r\nдва\r\n"_s;
        QTest::newRow("byte 26 after a line end") << one + "\n\x1A" + two << u"один\r\n"_s;
        QTest::newRow("byte 26 first") << "\x1A" + one << QString();
        QTest::newRow("empty file") << QByteArray() << QString();
        QTest::newRow("only a line end") << QByteArray("\n") << u"\r\n"_s;
    }

    void plainTextLines()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(QString, text);
        QCOMPARE(plainDocumentText(bytes), text);
    }

    void windows1251AndUtf8GiveTheSameText()
    {
        const QString russian = u"Съешь же ещё этих мягких французских булок,\nда выпей чаю. «Ёлка» — №5\n"_s;
        const QString expected = QString(russian).replace(u"\n"_s, u"\r\n"_s);
        QCOMPARE(plainDocumentText(toWindows1251(russian)), expected);
        QCOMPARE(plainDocumentText(russian.toUtf8()), expected);
        QCOMPARE(plainDocumentText("\xEF\xBB\xBF" + russian.toUtf8()), expected);
    }

    void aLongLineStaysWhole()
    {
        const QByteArray line(3'000'000, '\xFF'); // я in Windows-1251
        QCOMPARE(plainDocumentText(line + "\n" + toWindows1251(u"конец"_s)),
                 QString(3'000'000, u'я') + u"\r\nконец\r\n"_s);
    }

    void rtfExtension_data()
    {
        QTest::addColumn<QString>("path");
        QTest::addColumn<bool>("rtf");
        QTest::newRow("lower case") << u"/дом/текст.rtf"_s << true;
        QTest::newRow("upper case") << u"/дом/ТЕКСТ.RTF"_s << true;
        QTest::newRow("mixed case") << u"Текст.Rtf"_s << true;
        QTest::newRow("txt") << u"текст.txt"_s << false;
        QTest::newRow("no extension") << u"текст"_s << false;
        QTest::newRow("rtf only before another extension") << u"текст.rtf.txt"_s << false;
        QTest::newRow("dot in a folder name") << u"/дом/папка.rtf/текст"_s << false;
    }

    void rtfExtension()
    {
        QFETCH(QString, path);
        QFETCH(bool, rtf);
        QCOMPARE(hasRtfExtension(path), rtf);
    }

    void saveNames_data()
    {
        QTest::addColumn<QString>("chosen");
        QTest::addColumn<QString>("written");
        QTest::newRow("no extension") << u"/дом/итог"_s << u"/дом/итог.rtf"_s;
        QTest::newRow("already .rtf") << u"/дом/итог.rtf"_s << u"/дом/итог.rtf"_s;
        QTest::newRow("already .RTF") << u"/дом/ИТОГ.RTF"_s << u"/дом/ИТОГ.RTF"_s;
        QTest::newRow("another extension") << u"/дом/итог.txt"_s << u"/дом/итог.txt.rtf"_s;
    }

    void saveNames()
    {
        QFETCH(QString, chosen);
        QFETCH(QString, written);
        QCOMPARE(rtfSaveName(chosen), written);
    }

    // What opens is measured by its text: an RTF file of a long Russian text takes several times its
    // letters, and is opened all the same; a refusal says a size that shows why.
    void documentFileSizes_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<qint64>("size");
        QTest::addColumn<QString>("refusal"); // empty: opened
        const qint64 mb = 1024 * 1024;
        QTest::newRow("RTF of a 20 MB Russian text") << u"Text.rtf"_s << qint64(67'600'000) << QString();
        QTest::newRow("RTF of the longest Russian text") << u"Text.rtf"_s << qint64(227'000'000) << QString();
        QTest::newRow("RTF beyond any text")
            << u"книга.RTF"_s << 300 * mb
            << u"Файл «книга.RTF» слишком велик: 300,0 МБ. Открываются файлы не больше 256 МБ."_s;
        QTest::newRow("plain text at the limit") << u"текст.txt"_s << 64 * mb << QString();
        QTest::newRow("plain text a byte over") << u"текст.txt"_s << 64 * mb + 1
                                                << u"Файл «текст.txt» слишком велик: 67\u00A0108\u00A0865 "
                                                   u"байт. Открываются файлы не больше 64 МБ "
                                                   "(67\u00A0108\u00A0864 байт)."_s;
        QTest::newRow("plain text far over")
            << u"текст.txt"_s << 100 * mb
            << u"Файл «текст.txt» слишком велик: 100,0 МБ. Открываются файлы не больше 64 МБ."_s;
    }

    void documentFileSizes()
    {
        QFETCH(QString, name);
        QFETCH(qint64, size);
        QFETCH(QString, refusal);
        QString message;
        try {
            checkDocumentFileSize(u"/дом/"_s + name, size);
        } catch (const Error &error) {
            message = error.message();
        }
        QCOMPARE(message, refusal);
    }

    // A text that the program would refuse to open is refused before its file is touched.
    void aTextTooLongToOpenAgainIsNotSaved()
    {
        QTemporaryDir folder;
        const QString path = folder.filePath(u"Text.rtf"_s);
        writeFileAtomically(path, "{\\rtf1 вчерашний текст}");
        QTextDocument document;
        document.setPlainText(QString(MaxDocumentLength + 1, u'ж'));
        try {
            saveDocumentRtf(document, path);
            QFAIL("saved");
        } catch (const Error &error) {
            QVERIFY2(error.message().contains(u"«Text.rtf»"_s) &&
                         error.message().contains(u"67\u00A0108\u00A0865"_s),
                     qPrintable(error.message()));
        }
        QCOMPARE(readFileBytes(path), QByteArray("{\\rtf1 вчерашний текст}"));

        document.setPlainText(u"Короткий текст"_s);
        saveDocumentRtf(document, path);
        QTextDocument again;
        readDocumentFile(path, again);
        QCOMPARE(again.toPlainText(), u"Короткий текст"_s);
    }

    // More paragraphs than the editor can lay out: refused, as a plain text and as RTF, before the
    // document shown is touched; one paragraph fewer opens.
    void tooManyParagraphsAreRefused()
    {
        QTemporaryDir folder;
        const QString path = folder.filePath(u"строки.txt"_s);
        QTextDocument document;
        document.setPlainText(u"прежний текст"_s);
        // Every line is a paragraph, and the empty one after the last line is one too.
        writeFileAtomically(path, QByteArray(MaxDocumentParagraphs, '\n'));
        QString message;
        try {
            readDocumentFile(path, document);
        } catch (const Error &error) {
            message = error.message();
        }
        QCOMPARE(message, u"Текст для файла «строки.txt» состоит из более чем 1\u00A0000\u00A0000 абзацев. Программа "
                          "открывает и сохраняет тексты не больше чем из 1\u00A0000\u00A0000 абзацев."_s);
        QCOMPARE(document.toPlainText(), u"прежний текст"_s);
        checkDocumentLength(QString(MaxDocumentParagraphs - 1, u'\n'), path);

        // The RTF reader stops one paragraph past the limit, and the document it filled is emptied.
        const QString rtfPath = folder.filePath(u"абзацы.rtf"_s);
        writeFileAtomically(rtfPath, "{\\rtf1 " + QByteArray("\\par ").repeated(MaxDocumentParagraphs + 100) + "}");
        QTextDocument rtf;
        QVERIFY_THROWS_EXCEPTION(Error, readDocumentFile(rtfPath, rtf));
        QVERIFY(rtf.isEmpty());
    }
};

// The RTF writer needs fonts, so a GUI application.
QTEST_MAIN(TestDocumentFile)
#include "tst_documentfile.moc"
