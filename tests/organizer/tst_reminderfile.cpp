// "Organayzer.txt": the scrambled format, byte for byte, and what loading and storing do with good and
// bad files. A plain second implementation in Python checks files in both directions.
#include "common/core/error.h"
#include "common/core/textcodec.h"
#include "common/core/textfile.h"
#include "organizer/reminderfile.h"
#include "support/testfiles.h"

#include <QFile>
#include <QProcess>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTest>

using namespace velmira;
using namespace Qt::StringLiterals;

namespace {

ReminderTable::Row reminder(const QString &name, const QString &when, const QString &text,
                            const QString &kind = u"голос"_s, const QString &status = u"вкл."_s,
                            const QString &last = {})
{
    return {name, when, last, text, kind, status};
}

ReminderTable tableOf(int count)
{
    QList<ReminderTable::Row> rows;
    for (int i = 1; i <= count; ++i)
        rows.append(reminder(u"Напоминание %1"_s.arg(i), u"%1:%2"_s.arg(i % 24, 2, 10, QChar(u'0')).arg(i, 2, 10, QChar(u'0')),
                             u"Пора сделать дело номер %1"_s.arg(i), i % 2 ? u"голос+текст"_s : u"текст"_s,
                             i % 3 ? u"вкл."_s : u"выкл."_s, i % 4 ? QString() : u"01.02.2026"_s));
    ReminderTable table;
    table.setReminders(rows);
    return table;
}

// Every byte from 32 to 255 once, as a reminder text.
QString everyByteText()
{
    QByteArray bytes;
    for (int c = 32; c <= 255; ++c)
        bytes.append(char(c));
    return fromWindows1251(bytes);
}

} // namespace

class TestReminderFile : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<TemporaryProgramFolder> m_home;
    QString path() const { return m_home->filePath(u"Organayzer.txt"_s); }

    QByteArray fileBytes() const { return readFileBytes(path()); }

    static bool runScript(const QStringList &arguments)
    {
        QProcess python;
        python.start(u"/usr/bin/python3"_s, QStringList{QString::fromUtf8(REMINDER_SCRIPT)} + arguments);
        if (!python.waitForFinished(60000))
            return false;
        return python.exitStatus() == QProcess::NormalExit && python.exitCode() == 0;
    }

private slots:
    void init()
    {
        m_home = std::make_unique<TemporaryProgramFolder>();
    }

    void substitutionFollowsTheWorkedExamples_data()
    {
        QTest::addColumn<QByteArray>("digits");
        QTest::addColumn<QByteArray>("stored");
        // 90 goes before 78, 78 before 67; 234 is "к".
        QTest::newRow("1234567890") << QByteArray("1234567890") << QByteArray("1\xEA" "56NZ");
        QTest::newRow("72019") << QByteArray("72019") << QByteArray("7\xC9" "9");
        // 127..191 and the digits stay digits.
        QTest::newRow("skipped codes") << QByteArray("150") << QByteArray("150");
        QTest::newRow("digit codes") << QByteArray("049") << QByteArray("049");
    }

    void substitutionFollowsTheWorkedExamples()
    {
        QFETCH(QByteArray, digits);
        QFETCH(QByteArray, stored);
        QCOMPARE(substituteDigits(digits), stored);
        QCOMPARE(restoreDigits(stored), digits);
    }

    void checkLineIsSumColonLength()
    {
        QCOMPARE(checkLine("abc"), QByteArray("294:3"));
        QCOMPARE(checkLine(""), QByteArray("0:0"));
        QCOMPARE(checkLine("\xFF\xFF"), QByteArray("510:2"));
    }

    void scramblingPutsRandomDigitsEveryNinthPlace()
    {
        // One byte with the key's first and last letters: 0xCB + 0xED + 'A' = 505, reversed "505"; a
        // random digit goes in front of it.
        QRandomGenerator random(7);
        const QByteArray stored = ScrambleText("A", reminderKey(), &random);
        const QByteArray digits = restoreDigits(stored);
        QCOMPARE(digits.size(), 4);
        QCOMPARE(digits.mid(1), QByteArray("505"));
        QCOMPARE(UnscrambleText(stored, reminderKey()), QByteArray("A"));

        // Twelve bytes give 36 digits and five random ones, at 1, 10, 19, 28 and 37.
        const QByteArray plain("Hello, world");
        const QByteArray mixed = restoreDigits(ScrambleText(plain, reminderKey(), &random));
        QCOMPARE(mixed.size(), 41);
        QByteArray withoutRandom;
        for (int i = 0; i < mixed.size(); ++i) {
            if (i % 9 != 0)
                withoutRandom += mixed.at(i);
        }
        QByteArray expected;
        const QByteArray key = reminderKey();
        for (int p = 0; p < plain.size(); ++p) {
            const int v = quint8(key.at(p % 9)) + quint8(key.at(8 - p % 9)) + quint8(plain.at(p));
            QByteArray three = QByteArray::number(v);
            std::reverse(three.begin(), three.end());
            expected += three;
        }
        QCOMPARE(withoutRandom, expected);
    }

    void storedLineHoldsOnlyTheAllowedCharacters()
    {
        ReminderTable table = tableOf(3);
        table.setCell(1, ReminderTable::Text, everyByteText());
        for (int round = 0; round < 20; ++round) {
            const QByteArray stored = ScrambleText(plainTableText(table), reminderKey());
            for (char c : stored) {
                const int code = quint8(c);
                QVERIFY2((code >= 33 && code <= 126) || code >= 192, QByteArray::number(code));
            }
        }
    }

    void unscramblingRefusesWhatIsNotADigitCode_data()
    {
        QTest::addColumn<QByteArray>("stored");
        QTest::newRow("blank") << QByteArray("1 44");
        QTest::newRow("code 150") << QByteArray("1\x96" "44");
        QTest::newRow("value above 255") << QByteArray("1999");
        QTest::newRow("empty") << QByteArray();
    }

    void unscramblingRefusesWhatIsNotADigitCode()
    {
        QFETCH(QByteArray, stored);
        QCOMPARE(UnscrambleText(stored, reminderKey()), QByteArray());
        QCOMPARE(ScrambleText("abc", "Key"), QByteArray()); // a key under four bytes
    }

    void tablesSurviveAStoreAndALoad_data()
    {
        QTest::addColumn<int>("count");
        QTest::newRow("one") << 1;
        QTest::newRow("nine: a two-digit row count") << 9;
        QTest::newRow("twelve") << 12;
    }

    void tablesSurviveAStoreAndALoad()
    {
        QFETCH(int, count);
        ReminderTable table = tableOf(count);
        table.setCell(1, ReminderTable::Text, everyByteText());
        table.setCell(1, ReminderTable::When, u"07.03.2027 09:05"_s);
        SaveOTable(table, path());

        const QByteArray bytes = fileBytes();
        const qsizetype firstEnd = bytes.indexOf("\r\n");
        const QByteArray stored = bytes.left(firstEnd);
        QCOMPARE(bytes, stored + "\r\n" + checkLine(stored) + "\r\n");
        QVERIFY(!stored.contains(' '));

        ReminderTable loaded;
        QVERIFY(ShowOTable(loaded, path()));
        QCOMPARE(loaded, table);
        QCOMPARE(loaded.rowCount(), count + 1);
        QVERIFY(loaded.row(0) == ReminderTable::Row{});
    }

    void twoStoresOfOneTableDifferButLoadAlike()
    {
        const ReminderTable table = tableOf(2);
        SaveOTable(table, path());
        const QByteArray first = fileBytes();
        SaveOTable(table, path());
        QVERIFY(first != fileBytes());
        ReminderTable loaded;
        QVERIFY(ShowOTable(loaded, path()));
        QCOMPARE(loaded, table);
    }

    void tableWithoutRemindersDeletesTheFile()
    {
        SaveOTable(tableOf(2), path());
        QVERIFY(QFile::exists(path()));
        ReminderTable empty;
        empty.setReminders({});
        SaveOTable(empty, path());
        QVERIFY(!QFile::exists(path()));

        // Loading afterwards leaves the table as it was.
        ReminderTable kept = tableOf(1);
        QVERIFY(!ShowOTable(kept, path()));
        QCOMPARE(kept, tableOf(1));
    }

    void badFilesAreIgnored_data()
    {
        QTest::addColumn<QByteArray>("content");
        const QByteArray stored = ScrambleText(plainTableText(tableOf(2)), reminderKey());
        QByteArray changed = stored;
        changed[changed.size() / 2] = changed[changed.size() / 2] == 'A' ? 'B' : 'A';
        QTest::newRow("one changed character") << changed + "\r\n" + checkLine(stored) + "\r\n";
        QTest::newRow("one line only") << stored + "\r\n";
        QTest::newRow("empty") << QByteArray();
        QTest::newRow("garbage with a matching check line") << QByteArray("!!!\r\n99:3\r\n");

        auto fileOf = [](const QByteArray &plain) {
            const QByteArray s = ScrambleText(plain, reminderKey());
            return s + "\r\n" + checkLine(s) + "\r\n";
        };
        QTest::newRow("count not a number") << fileOf("x\r\n");
        QTest::newRow("count zero") << fileOf("0\r\n");
        QTest::newRow("too few cells") << fileOf("3\r\na\r\nb\r\nc\r\nd\r\ne\r\nf\r\ng\r\n");
        QTest::newRow("huge count") << fileOf("99999999999999999999\r\na\r\n");
    }

    void badFilesAreIgnored()
    {
        QFETCH(QByteArray, content);
        writeFileAtomically(path(), content);
        ReminderTable table = tableOf(1);
        QVERIFY(!ShowOTable(table, path()));
        QCOMPARE(table, tableOf(1));
        QCOMPARE(fileBytes(), content); // left on disk
    }

    void extraCellsAndLoneLineEndsAreRead()
    {
        // Cells beyond the count are ignored; a file with LF or CR line ends loads as well.
        QByteArray plain = plainTableText(tableOf(1)) + "лишнее\r\n";
        const QByteArray stored = ScrambleText(plain, reminderKey());
        writeFileAtomically(path(), stored + "\n" + checkLine(stored) + "\r");
        ReminderTable table;
        QVERIFY(ShowOTable(table, path()));
        QCOMPARE(table, tableOf(1));
    }

    void anIndependentReaderLoadsOurFiles()
    {
        ReminderTable table = tableOf(12);
        table.setCell(3, ReminderTable::Text, everyByteText());
        SaveOTable(table, path());
        const QString plainPath = m_home->filePath(u"plain.txt"_s);
        QVERIFY(runScript({u"load"_s, path(), plainPath}));
        QCOMPARE(readFileBytes(plainPath), plainTableText(table));
    }

    void weLoadAnIndependentWritersFiles_data()
    {
        QTest::addColumn<int>("count");
        QTest::newRow("one") << 1;
        QTest::newRow("twelve") << 12;
    }

    void weLoadAnIndependentWritersFiles()
    {
        QFETCH(int, count);
        ReminderTable table = tableOf(count);
        table.setCell(1, ReminderTable::Text, everyByteText());
        const QString plainPath = m_home->filePath(u"plain.txt"_s);
        writeFileAtomically(plainPath, plainTableText(table));
        QVERIFY(runScript({u"store"_s, plainPath, path()}));
        ReminderTable loaded;
        QVERIFY(ShowOTable(loaded, path()));
        QCOMPARE(loaded, table);
    }

    void bothImplementationsAgreeOnEveryLength()
    {
        // The random digits' places depend on the length of the digit string; every remainder is met.
        QList<QByteArray> plains;
        QRandomGenerator random(2024);
        for (int n = 1; n <= 60; ++n) {
            QByteArray plain;
            for (int i = 0; i < n; ++i)
                plain += char(random.bounded(256));
            plains.append(plain);
        }
        QByteArray ours, hex;
        for (const QByteArray &plain : plains) {
            ours += ScrambleText(plain, reminderKey()) + "\n";
            hex += plain.toHex() + "\n";
        }
        const QString oursPath = m_home->filePath(u"ours.txt"_s);
        const QString hexPath = m_home->filePath(u"hex.txt"_s);
        const QString outPath = m_home->filePath(u"out.txt"_s);
        writeFileAtomically(oursPath, ours);
        writeFileAtomically(hexPath, hex);

        QVERIFY(runScript({u"unscramble-hex"_s, oursPath, outPath}));
        QCOMPARE(readFileBytes(outPath), hex);

        QVERIFY(runScript({u"scramble-hex"_s, hexPath, outPath}));
        const QList<QByteArray> theirs = readFileBytes(outPath).split('\n');
        QCOMPARE(theirs.size(), plains.size() + 1);
        for (int i = 0; i < plains.size(); ++i)
            QCOMPARE(UnscrambleText(theirs.at(i), reminderKey()), plains.at(i));
    }

    void unwritableFolderIsReported()
    {
        const QString missing = m_home->filePath(u"нет такой папки/Organayzer.txt"_s);
        QVERIFY_THROWS_EXCEPTION(Error, SaveOTable(tableOf(1), missing));
    }
};

QTEST_GUILESS_MAIN(TestReminderFile)
#include "tst_reminderfile.moc"
