// Reading and writing the program's text files: encodings and line ends.
#include "common/core/error.h"
#include "common/core/textcodec.h"
#include "common/core/textfile.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>

using namespace velmira;
using namespace Qt::StringLiterals;

class TestTextFiles : public QObject
{
    Q_OBJECT

private slots:
    void decoding_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("text");
        QTest::newRow("windows-1251") << QByteArray("\xEF\xF0\xE8\xE2\xE5\xF2 \xB8\xE6") << u"привет ёж"_s;
        QTest::newRow("utf-8") << u"привет ёж"_s.toUtf8() << u"привет ёж"_s;
        QTest::newRow("utf-8 with bom") << QByteArray("\xEF\xBB\xBFok") << u"ok"_s;
        QTest::newRow("ascii") << QByteArray("plain") << u"plain"_s;
        QTest::newRow("broken utf-8 is 1251") << QByteArray("\xD0\xBF\xFF") << u"Рїя"_s;
    }

    void decoding()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(QString, text);
        QCOMPARE(decodeText(bytes), text);
    }

    void encodingKeepsEveryCharacter()
    {
        QCOMPARE(encodeText(u"Ёлка €"_s), QByteArray("\xA8\xEB\xEA\xE0 \x88"));
        const QString foreign = u"ёлка Ω 😀"_s;
        QVERIFY(encodeText(foreign).startsWith("\xEF\xBB\xBF"));
        QCOMPARE(decodeText(encodeText(foreign)), foreign);
        QCOMPARE(toWindows1251(u"aΩb"_s), QByteArray("a?b"));
        QCOMPARE(toWindows1251(u"a\u001Ab"_s), QByteArray("a\x1A" "b"));
    }

    void lines_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QStringList>("lines");
        QTest::newRow("empty") << QString() << QStringList();
        QTest::newRow("crlf") << u"a\r\nb\r\n"_s << QStringList{u"a"_s, u"b"_s};
        QTest::newRow("last line without end") << u"a\r\nb"_s << QStringList{u"a"_s, u"b"_s};
        QTest::newRow("lf and lone cr") << u"a\nb\rc"_s << QStringList{u"a"_s, u"b"_s, u"c"_s};
        QTest::newRow("empty lines kept") << u"\r\n\r\nx\r\n\r\n"_s << QStringList{{}, {}, u"x"_s, {}};
        QTest::newRow("nul ends the text") << u"a\r\nb\u0000c\r\nd"_s << QStringList{u"a"_s, u"b"_s};
    }

    void lines()
    {
        QFETCH(QString, text);
        QFETCH(QStringList, lines);
        QCOMPARE(splitLines(text), lines);
        QCOMPARE(splitLines(joinLinesCrLf(lines)), lines);
    }

    void atomicWrite()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(u"файл.txt"_s);
        writeFileAtomically(path, "old");
        writeFileAtomically(path, "new content");
        QCOMPARE(readFileBytes(path), QByteArray("new content"));
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files), QStringList{u"файл.txt"_s});
        QVERIFY_THROWS_EXCEPTION(Error, writeFileAtomically(dir.filePath(u"нет/файл.txt"_s), "x"));
        QVERIFY_THROWS_EXCEPTION(Error, readFileBytes(dir.filePath(u"нет.txt"_s)));
    }
};

QTEST_GUILESS_MAIN(TestTextFiles)
#include "tst_textfiles.moc"
