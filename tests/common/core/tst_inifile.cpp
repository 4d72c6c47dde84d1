// The settings file: the reading and writing rules other programs and users rely on.
#include "common/core/error.h"
#include "common/core/inifile.h"
#include "common/core/textcodec.h"
#include "support/testfiles.h"

#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QStringDecoder>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>

using namespace velmira;
using namespace Qt::StringLiterals;

namespace {

// Run as a second process: waits for the file `go` to appear, so that both writers start together,
// then writes `count` keys of its own into the settings file, one write each.
int writeKeys(const QString &path, const QString &go, const QString &prefix, int count)
{
    QElapsedTimer waited;
    waited.start();
    while (!QFile::exists(go) && waited.elapsed() < 20000)
        QThread::msleep(1);
    IniFile ini(path);
    for (int i = 0; i < count; ++i)
        ini.writeInteger(u"Global"_s, prefix + QString::number(i), i);
    return 0;
}

QByteArray utf16(const QString &text, QStringEncoder::Encoding encoding)
{
    QStringEncoder encoder(encoding, QStringEncoder::Flag::WriteBom);
    return encoder.encode(text);
}

} // namespace

class TestIniFile : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir m_dir;
    QString path() const { return m_dir.filePath(u"Settings.ini"_s); }
    void writeRaw(const QByteArray &bytes)
    {
        QFile f(path());
        QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        f.write(bytes);
    }
    QByteArray raw() const
    {
        return fileBytes(path());
    }

private slots:
    void init() { QFile::remove(path()); }

    void missingFileGivesDefaultsAndFirstWriteCreatesIt()
    {
        IniFile ini(path());
        QCOMPARE(ini.readBool(u"Global"_s, u"Panel"_s, true), true);
        QCOMPARE(ini.readInteger(u"Global"_s, u"Engine"_s, 0), 0);
        QCOMPARE(ini.readString(u"Global"_s, u"ReadCount"_s, u"1"_s), u"1"_s);
        QVERIFY(!QFile::exists(path()));

        ini.writeBool(u"Global"_s, u"Panel"_s, false);
        ini.writeInteger(u"Global"_s, u"Engine"_s, -1);
        ini.writeString(u"Global"_s, u"ReadCount"_s, u"тест"_s);
        QCOMPARE(raw(), QByteArray("[Global]\r\nPanel=0\r\nEngine=-1\r\nReadCount=\xF2\xE5\xF1\xF2\r\n"));
        QCOMPARE(ini.readString(u"Global"_s, u"ReadCount"_s, {}), u"тест"_s);
    }

    void values_data()
    {
        QTest::addColumn<QByteArray>("line");
        QTest::addColumn<int>("integer"); // read with the default 7
        QTest::addColumn<bool>("boolean"); // read with the default true
        QTest::addColumn<QString>("string");

        QTest::newRow("decimal") << QByteArray("K=42") << 42 << true << u"42"_s;
        QTest::newRow("negative") << QByteArray("K=-5") << -5 << true << u"-5"_s;
        QTest::newRow("not a number") << QByteArray("K=abc") << 7 << true << u"abc"_s;
        QTest::newRow("two is true") << QByteArray("K=2") << 2 << true << u"2"_s;
        QTest::newRow("zero is false") << QByteArray("K=0") << 0 << false << u"0"_s;
        QTest::newRow("0x0 is false") << QByteArray("K=0x0") << 0 << false << u"0x0"_s;
        QTest::newRow("0X1F") << QByteArray("K=0X1F") << 31 << true << u"0X1F"_s;
        QTest::newRow("dollar hex") << QByteArray("K=$ff") << 255 << true << u"$ff"_s;
        QTest::newRow("0x without digits") << QByteArray("K=0x") << 7 << true << u"0x"_s;
        QTest::newRow("trailing junk") << QByteArray("K=12abc") << 7 << true << u"12abc"_s;
        QTest::newRow("blanks trimmed") << QByteArray("K =  12  ") << 12 << true << u"12"_s;
        QTest::newRow("double quotes") << QByteArray("K=\"1\"") << 1 << true << u"1"_s;
        QTest::newRow("single quotes") << QByteArray("K='0'") << 0 << false << u"0"_s;
        QTest::newRow("one quote kept") << QByteArray("K=\"1") << 7 << true << u"\"1"_s;
        QTest::newRow("equals in value") << QByteArray("K=a=b") << 7 << true << u"a=b"_s;
        QTest::newRow("too large") << QByteArray("K=99999999999") << 7 << true << u"99999999999"_s;
        QTest::newRow("empty") << QByteArray("K=") << 7 << true << QString();
        QTest::newRow("cp1251") << QByteArray("K=\xCF\xF0\xE8\xE2\xE5\xF2") << 7 << true << u"Привет"_s;
        QTest::newRow("key in small letters") << QByteArray("k=3") << 3 << true << u"3"_s;
    }

    void values()
    {
        QFETCH(QByteArray, line);
        QFETCH(int, integer);
        QFETCH(bool, boolean);
        QFETCH(QString, string);
        writeRaw("[global]\r\n" + line + "\r\n");
        IniFile ini(path());
        QCOMPARE(ini.readInteger(u"Global"_s, u"K"_s, 7), integer);
        QCOMPARE(ini.readBool(u"Global"_s, u"K"_s, true), boolean);
        QCOMPARE(ini.readString(u"Global"_s, u"K"_s, u"-"_s), string);
    }

    void longValueIsCutAt2047()
    {
        writeRaw("[Global]\r\nK=" + QByteArray(3000, 'x') + "\r\n");
        QCOMPARE(IniFile(path()).readString(u"Global"_s, u"K"_s, {}).size(), 2047);
    }

    void writesKeepEverythingElse()
    {
        writeRaw("; made by hand\r\n[Other]\r\nPanel=5\r\n[GLOBAL]\r\npanel=1\r\nMine=keep me\r\n\r\n"
                 "[Tail]\r\nx=y\r\n");
        IniFile ini(path());
        ini.writeBool(u"Global"_s, u"Panel"_s, false);
        ini.writeInteger(u"Global"_s, u"Engine"_s, 2);
        QCOMPARE(raw(), QByteArray("; made by hand\r\n[Other]\r\nPanel=5\r\n[GLOBAL]\r\npanel=0\r\nMine=keep me\r\n"
                                   "Engine=2\r\n\r\n[Tail]\r\nx=y\r\n"));
        QCOMPARE(ini.readBool(u"Global"_s, u"Panel"_s, true), false);
        QCOMPARE(ini.readInteger(u"Other"_s, u"Panel"_s, 0), 5);
    }

    void missingSectionIsAppended()
    {
        writeRaw("[Other]\nA=1");
        IniFile ini(path());
        ini.writeString(u"Global"_s, u"B"_s, u"2"_s);
        QCOMPARE(raw(), QByteArray("[Other]\nA=1\r\n[Global]\r\nB=2\r\n"));
    }

    void foreignBytesSurviveEveryWrite()
    {
        // A zero byte, a byte without a letter in Windows-1251 (0x98), line ends of every kind, and a
        // section after all of them that the program never writes.
        const QByteArray head = "[Global]\r\nPanel=1\r\nNote=a\0b\x98\n"_ba;
        const QByteArray tail = "\r\n[\xD7\xF3\xE6\xEE\xE9]\rkey=\xE7\xED\xE0\xF7\xE5\xED\xE8\xE5\r\n\0\0tail"_ba;
        writeRaw(head + tail);
        IniFile ini(path());
        QCOMPARE(ini.readString(u"Чужой"_s, u"key"_s, {}), u"значение"_s);
        ini.writeBool(u"Global"_s, u"Panel"_s, false);
        ini.writeInteger(u"Global"_s, u"Engine"_s, 2);
        QCOMPARE(raw(), "[Global]\r\nPanel=0\r\nNote=a\0b\x98\nEngine=2\r\n"_ba + tail);
        QCOMPARE(ini.readString(u"Чужой"_s, u"key"_s, {}), u"значение"_s);
    }

    void utf16FileIsReadAndStaysUtf16_data()
    {
        QTest::addColumn<int>("encoding");
        QTest::newRow("little-endian") << int(QStringEncoder::Utf16LE);
        QTest::newRow("big-endian") << int(QStringEncoder::Utf16BE);
    }

    void utf16FileIsReadAndStaysUtf16()
    {
        QFETCH(int, encoding);
        const auto enc = QStringEncoder::Encoding(encoding);
        writeRaw(utf16(u"[Global]\r\nPanel=0\r\nИмя=Вельмира\r\n[Чужой]\r\nk=v\r\n"_s, enc));
        IniFile ini(path());
        QCOMPARE(ini.readBool(u"Global"_s, u"Panel"_s, true), false);
        QCOMPARE(ini.readString(u"Global"_s, u"Имя"_s, {}), u"Вельмира"_s);
        ini.writeBool(u"Global"_s, u"Panel"_s, true);
        ini.writeString(u"Global"_s, u"ReadCount"_s, u"три"_s);
        ini.writeString(u"Новый"_s, u"Ω"_s, u"ω"_s);
        QCOMPARE(raw(), utf16(u"[Global]\r\nPanel=1\r\nИмя=Вельмира\r\nReadCount=три\r\n[Чужой]\r\nk=v\r\n"
                              "[Новый]\r\nΩ=ω\r\n"_s,
                              enc));
        QCOMPARE(ini.readString(u"Global"_s, u"ReadCount"_s, {}), u"три"_s);
    }

    void twoProgramsWritingAtOnceKeepEachOthersKeys()
    {
        // Two copies of the program closing at the same moment each write their keys one by one.
        const QString go = m_dir.filePath(u"go"_s);
        const QStringList prefixes{u"Первый"_s, u"Второй"_s};
        QFile::remove(go);
        constexpr int Count = 60;
        QList<QProcess *> writers;
        for (const QString &prefix : prefixes) {
            auto *writer = new QProcess(this);
            QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
            env.insert(u"TST_INIFILE_WRITER"_s, prefix);
            writer->setProcessEnvironment(env);
            writer->start(QCoreApplication::applicationFilePath(), {path(), go, QString::number(Count)});
            QVERIFY(writer->waitForStarted());
            writers.append(writer);
        }
        QFile(go).open(QIODevice::WriteOnly);
        for (QProcess *writer : writers) {
            QVERIFY(writer->waitForFinished(120000));
            QCOMPARE(writer->exitCode(), 0);
            delete writer;
        }
        IniFile ini(path());
        for (const QString &prefix : prefixes) {
            for (int i = 0; i < Count; ++i)
                QCOMPARE(ini.readInteger(u"Global"_s, prefix + QString::number(i), -1), i);
        }
    }

    void characterOutsideCodePageIsNotLost()
    {
        IniFile ini(path());
        ini.writeString(u"Global"_s, u"Name"_s, u"Ω-тест"_s);
        QCOMPARE(ini.readString(u"Global"_s, u"Name"_s, {}), u"Ω-тест"_s);
        ini.writeString(u"Global"_s, u"Other"_s, u"x"_s);
        QCOMPARE(ini.readString(u"Global"_s, u"Name"_s, {}), u"Ω-тест"_s);
    }

    void refusedWriteNamesTheFile()
    {
        const QString bad = m_dir.filePath(u"no-such-folder/Settings.ini"_s);
        IniFile ini(bad);
        try {
            ini.writeBool(u"Global"_s, u"Panel"_s, true);
            QFAIL("the write should have failed");
        } catch (const Error &e) {
            QCOMPARE(e.message(), u"Unable to write to "_s + bad);
        }
    }
};

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    if (const QString prefix = qEnvironmentVariable("TST_INIFILE_WRITER"); !prefix.isEmpty() && argc == 4)
        return writeKeys(QString::fromLocal8Bit(argv[1]), QString::fromLocal8Bit(argv[2]), prefix, atoi(argv[3]));
    TestIniFile test;
    return QTest::qExec(&test, argc, argv);
}
#include "tst_inifile.moc"
