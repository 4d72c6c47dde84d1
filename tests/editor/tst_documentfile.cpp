// Plain-text documents as the editor shows them, and the names documents are saved under.
#include "common/core/textcodec.h"
#include "editor/formats/documentfile.h"

#include <QTest>

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
};

QTEST_GUILESS_MAIN(TestDocumentFile)
#include "tst_documentfile.moc"
