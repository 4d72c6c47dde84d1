// The greeting: a random line of "Greetings.txt", never the line said last, also across restarts.
#include "common/core/inifile.h"
#include "common/core/textfile.h"
#include "dictionary/correctiondictionary.h"
#include "reading/greeting.h"
#include "support/fakespeechcontrol.h"
#include "support/testfiles.h"

#include <QRandomGenerator>
#include <QSet>
#include <QTemporaryDir>
#include <QTest>

using namespace velmira;
using namespace Qt::StringLiterals;

class TestGreeting : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<TemporaryProgramFolder> m_home;
    QRandomGenerator m_random{20240607};

    void writeGreetings(const QByteArray &bytes)
    {
        writeFileAtomically(m_home->filePath(u"Greetings.txt"_s), bytes);
    }

    int lastGreeting() const
    {
        return IniFile::settings().readInteger(IniFile::global(), u"LastGreeting"_s, -1);
    }

private slots:
    void init()
    {
        m_home = std::make_unique<TemporaryProgramFolder>();
    }

    void choiceNeverRepeatsTheLastLine_data()
    {
        QTest::addColumn<int>("count");
        QTest::addColumn<int>("last");
        QTest::newRow("two lines") << 2 << 0;
        QTest::newRow("five lines, last in the middle") << 5 << 2;
        QTest::newRow("five lines, last at the end") << 5 << 4;
        QTest::newRow("last beyond the lines") << 3 << 7;
        QTest::newRow("last negative") << 3 << -1;
    }

    void choiceNeverRepeatsTheLastLine()
    {
        QFETCH(int, count);
        QFETCH(int, last);
        QSet<int> seen;
        for (int i = 0; i < 400; ++i) {
            const int chosen = nextGreeting(count, last, m_random);
            QVERIFY(chosen >= 0 && chosen < count);
            QVERIFY(chosen != last);
            seen.insert(chosen);
        }
        // Every other line comes up.
        QCOMPARE(seen.size(), last >= 0 && last < count ? count - 1 : count);
    }

    void neverTheSameLineTwiceInARowAcrossRestarts()
    {
        writeGreetings("Раз!\r\nДва!\r\nТри!");
        QStringList spoken;
        for (int run = 0; run < 60; ++run) {
            // Each greeting as at a new start: only the settings file remembers.
            FakeSpeechControl speech;
            speakGreeting(speech, m_random);
            QCOMPARE(speech.spoken.size(), 1);
            spoken << speech.spoken.first();
            QCOMPARE(QStringList({u"Раз!"_s, u"Два!"_s, u"Три!"_s}).indexOf(spoken.last()), lastGreeting());
        }
        for (qsizetype i = 1; i < spoken.size(); ++i)
            QVERIFY2(spoken[i] != spoken[i - 1], qPrintable(spoken[i]));
        // Without "LastGreeting" the first line counts as said last.
        QVERIFY(spoken.first() != u"Раз!"_s);
        QCOMPARE(QSet<QString>(spoken.begin(), spoken.end()).size(), 3);
    }

    void greetingIsQueuedAndPrepared()
    {
        writeGreetings("Привет, ctrl!\r\nПривет, ctrl!\r\n");
        writeFileAtomically(m_home->filePath(u"Dictionary.txt"_s), CorrectionDictionary::serialize({u"ctrl=контрол"_s}));
        CorrectionDictionary::setInUse(true);
        FakeSpeechControl speech;
        speakGreeting(speech, m_random);
        QCOMPARE(speech.calls, QStringList{u"Speak:Привет, контрол!"_s});
    }

    void fewLinesNeitherHangNorRepeatOthers_data()
    {
        QTest::addColumn<QByteArray>("file");
        QTest::addColumn<QStringList>("spoken");
        QTest::newRow("one line") << QByteArray("Единственная!\r\n") << QStringList{u"Единственная!"_s, u"Единственная!"_s};
        QTest::newRow("empty file") << QByteArray() << QStringList();
        QTest::newRow("only a line end") << QByteArray("\r\n") << QStringList{QString(), QString()};
    }

    void fewLinesNeitherHangNorRepeatOthers()
    {
        QFETCH(QByteArray, file);
        QFETCH(QStringList, spoken);
        writeGreetings(file);
        FakeSpeechControl speech;
        speakGreeting(speech, m_random);
        speakGreeting(speech, m_random);
        QCOMPARE(speech.spoken, spoken);
    }

    void missingFileIsSilent()
    {
        FakeSpeechControl speech;
        speakGreeting(speech, m_random);
        QVERIFY(speech.calls.isEmpty());
        QVERIFY(!QFile::exists(m_home->filePath(u"Settings.ini"_s)));
    }
};

QTEST_GUILESS_MAIN(TestGreeting)
#include "tst_greeting.moc"
