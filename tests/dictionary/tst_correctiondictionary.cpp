// The dictionary file and its lines: splitting, reading, writing, importing and the use flag.
#include "common/core/error.h"
#include "common/core/inifile.h"
#include "common/core/textcodec.h"
#include "common/core/textfile.h"
#include "dictionary/correctiondictionary.h"
#include "support/testfiles.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>
#include <sys/resource.h>

using namespace velmira;
using namespace Qt::StringLiterals;

class TestCorrectionDictionary : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<TemporaryProgramFolder> m_home;

    QString file(const QString &name) const { return m_home->filePath(name); }

private slots:
    void init()
    {
        m_home = std::make_unique<TemporaryProgramFolder>();
    }

    void splitting_data()
    {
        QTest::addColumn<QString>("line");
        QTest::addColumn<QString>("word");
        QTest::addColumn<QString>("replacement");
        QTest::newRow("plain") << u"интернет=интер нэт"_s << u"интернет"_s << u"интер нэт"_s;
        QTest::newRow("first = splits") << u"a=b=c"_s << u"a"_s << u"b=c"_s;
        QTest::newRow("nothing trimmed") << u" кот =кошка"_s << u" кот "_s << u"кошка"_s;
        QTest::newRow("empty replacement") << u"ms="_s << u"ms"_s << QString();
        QTest::newRow("word with digits and spaces") << u"0.5 литра=пол литра"_s << u"0.5 литра"_s << u"пол литра"_s;
        QTest::newRow("no =") << u"просто строка"_s << QString() << QString();
        QTest::newRow("starts with =") << u"=кошка"_s << QString() << u"кошка"_s;
        QTest::newRow("empty") << QString() << QString() << QString();
    }

    void splitting()
    {
        QFETCH(QString, line);
        QFETCH(QString, word);
        QFETCH(QString, replacement);
        const DictionaryEntry entry = CorrectionDictionary::split(line);
        QCOMPARE(entry.word, word);
        QCOMPARE(entry.isEntry(), !word.isEmpty());
        if (entry.isEntry())
            QCOMPARE(entry.replacement, replacement);
    }

    void defaultFileIsExactly311Bytes()
    {
        const QStringList lines = CorrectionDictionary::defaultLines();
        QCOMPARE(lines.size(), 18);
        QCOMPARE(lines.first(), u"интернет=интер нэт"_s);
        QCOMPARE(lines.at(14), u"0.5 литра=пол литра"_s);
        QCOMPARE(lines.last(), u"netscape=нетскеип"_s);
        const QByteArray bytes = CorrectionDictionary::defaultFileContents();
        QCOMPARE(bytes.size(), 311);
        QVERIFY(bytes.startsWith("\xE8\xED\xF2\xE5\xF0\xED\xE5\xF2=")); // "интернет=" in Windows-1251
        QVERIFY(bytes.endsWith("\r\n"));
        QCOMPARE(bytes.count("\r\n"), 18);
        QCOMPARE(CorrectionDictionary::parse(bytes), lines);
    }

    void reading_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QStringList>("lines");
        QTest::newRow("every kind of line end")
            << QByteArray("a=1\r\nb=2\nc=3\rd=4\r\n") << QStringList{u"a=1"_s, u"b=2"_s, u"c=3"_s, u"d=4"_s};
        QTest::newRow("last line without end") << QByteArray("a=1\r\nb=2") << QStringList{u"a=1"_s, u"b=2"_s};
        QTest::newRow("empty lines, duplicates and non-entries kept")
            << QByteArray("a=1\r\n\r\nno equals\r\na=1\r\n")
            << QStringList{u"a=1"_s, QString(), u"no equals"_s, u"a=1"_s};
        QTest::newRow("zero byte ends the file") << QByteArray("a=1\r\nb=2\0c=3\r\n", 14) << QStringList{u"a=1"_s, u"b=2"_s};
        // What follows the zero byte cannot turn a Windows-1251 file into UTF-8.
        QTest::newRow("zero byte before other bytes")
            << QByteArray("\xEA\xEE\xF2=\xEA\xEE\xF8\xEA\xE0\0\xD0\xBF", 12) << QStringList{u"кот=кошка"_s};
        QTest::newRow("utf-8 from a Linux editor") << u"ёж=ёжик\n"_s.toUtf8() << QStringList{u"ёж=ёжик"_s};
        QTest::newRow("empty file") << QByteArray() << QStringList();
    }

    void reading()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(QStringList, lines);
        writeFileAtomically(file(u"Dictionary.txt"_s), bytes);
        CorrectionDictionary dictionary({u"старая=строка"_s});
        dictionary.load();
        QCOMPARE(dictionary.lines(), lines);
    }

    void savingAndLoadingBack()
    {
        const QString path = file(u"Dictionary.txt"_s);
        writeFileAtomically(path, "a=1\nlast=no end");
        CorrectionDictionary dictionary;
        dictionary.load(path);
        dictionary.add(u"кот"_s, u"котик"_s);
        dictionary.save(path);
        QCOMPARE(readFileBytes(path), QByteArray("a=1\r\nlast=no end\r\n\xEA\xEE\xF2=\xEA\xEE\xF2\xE8\xEA\r\n"));

        // A character outside Windows-1251 is not lost.
        dictionary.add(u"Ω"_s, u"омега"_s);
        dictionary.save(path);
        CorrectionDictionary again;
        again.load(path);
        QCOMPARE(again.lines(), dictionary.lines());

        dictionary.clear();
        dictionary.save(path);
        QVERIFY(QFile::exists(path));
        QCOMPARE(QFileInfo(path).size(), 0);
        again.load(path);
        QVERIFY(again.isEmpty());
    }

    void missingFileLoadsEmptyAndCreatesNothing()
    {
        CorrectionDictionary dictionary({u"a=1"_s});
        dictionary.load();
        QVERIFY(dictionary.isEmpty());
        dictionary.appendFrom(file(u"нет такого.txt"_s));
        QVERIFY(dictionary.isEmpty());
        QVERIFY(!QFile::exists(file(u"Dictionary.txt"_s)));
    }

    void unreadableFileFails()
    {
        QDir(m_home->path()).mkdir(u"Dictionary.txt"_s);
        CorrectionDictionary dictionary;
        QVERIFY_THROWS_EXCEPTION(Error, dictionary.load());
    }

    void importAppendsInFileOrder()
    {
        CorrectionDictionary dictionary(CorrectionDictionary::defaultLines());
        const QString other = file(u"мой словарь.txt"_s);
        writeFileAtomically(other, encodeText(u"ms=мэ эс\r\nкот=кошка\r\nms=эмэс"_s));
        dictionary.appendFrom(other);
        QCOMPARE(dictionary.size(), 21);
        QCOMPARE(dictionary.lines().mid(18), (QStringList{u"ms=мэ эс"_s, u"кот=кошка"_s, u"ms=эмэс"_s}));
        // The older line with the same word stays first.
        QCOMPARE(dictionary.lines().indexOf(u"ms=эм эс"_s), 6);
    }

    void removingLines()
    {
        CorrectionDictionary dictionary({u"0"_s, u"1"_s, u"2"_s, u"3"_s, u"4"_s});
        dictionary.removeLines({3, 0, 3, 7});
        QCOMPARE(dictionary.lines(), (QStringList{u"1"_s, u"2"_s, u"4"_s}));
    }

    void useFlag()
    {
        QVERIFY(!CorrectionDictionary::isInUse());
        writeFileAtomically(file(u"Settings.ini"_s), "[Global]\r\nPanel=1\r\n");
        QVERIFY(!CorrectionDictionary::isInUse());
        CorrectionDictionary::setInUse(true);
        QVERIFY(CorrectionDictionary::isInUse());
        QCOMPARE(IniFile::settings().readString(IniFile::global(), u"Dictionary"_s, {}), u"1"_s);
        CorrectionDictionary::setInUse(false);
        QVERIFY(!CorrectionDictionary::isInUse());
    }

    // A save that cannot be completed (here: the disk refuses the size) leaves the old file as it was.
    void failedSaveKeepsTheOldFile()
    {
        const QString path = file(u"Dictionary.txt"_s);
        const QByteArray old = CorrectionDictionary::defaultFileContents();
        writeFileAtomically(path, old);

        CorrectionDictionary bigger(CorrectionDictionary::defaultLines());
        for (int i = 0; i < 100; ++i)
            bigger.add(u"слово%1"_s.arg(i), u"замена"_s);

        rlimit saved{};
        QVERIFY(getrlimit(RLIMIT_FSIZE, &saved) == 0);
        const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
        rlimit small = saved;
        small.rlim_cur = 100;
        QVERIFY(setrlimit(RLIMIT_FSIZE, &small) == 0);
        bool failed = false;
        try {
            bigger.save(path);
        } catch (const Error &) {
            failed = true;
        }
        setrlimit(RLIMIT_FSIZE, &saved);
        std::signal(SIGXFSZ, oldHandler);

        QVERIFY(failed);
        QCOMPARE(readFileBytes(path), old);
        QCOMPARE(QDir(m_home->path()).entryList(QDir::Files | QDir::Hidden), QStringList{u"Dictionary.txt"_s});
    }
};

QTEST_GUILESS_MAIN(TestCorrectionDictionary)
#include "tst_correctiondictionary.moc"
