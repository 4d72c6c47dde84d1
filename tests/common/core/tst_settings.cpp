// The keys of "Settings.ini": their defaults in a fresh program folder, and how a value typed by hand
// is read through them.
#include "common/core/settings.h"
#include "common/core/textfile.h"
#include "support/testfiles.h"

#include <QTest>

using namespace velmira;
using namespace Qt::StringLiterals;

class TestSettings : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<TemporaryProgramFolder> m_home;

private slots:
    void init() { m_home = std::make_unique<TemporaryProgramFolder>(); }

    void freshFolderStartsAsDocumented()
    {
        QVERIFY(readSetting(settings::Panel));
        QVERIFY(readSetting(settings::Tracking));
        QVERIFY(!readSetting(settings::Buffer));
        QVERIFY(readSetting(settings::RemText));
        QVERIFY(readSetting(settings::Greeting));
        QVERIFY(readSetting(settings::Time));
        QVERIFY(!readSetting(settings::Dictionary));
        QCOMPARE(readSetting(settings::Engine), 0);
        QCOMPARE(readSetting(settings::SelStart), 0);
        QCOMPARE(readSetting(settings::SelLength), 0);
        QCOMPARE(readSetting(settings::LastGreeting), 0);
        QCOMPARE(readSetting(settings::ReadCount), u"1"_s);
        QCOMPARE(readSetting(settings::ReadSpeed), std::nullopt);
        QCOMPARE(readSetting(settings::ReadPitch), std::nullopt);
        // Reading creates nothing.
        QVERIFY(!QFile::exists(m_home->filePath(u"Settings.ini"_s)));
    }

    void valuesTypedByHand()
    {
        writeFileAtomically(m_home->filePath(u"Settings.ini"_s),
                            "[global]\r\nengine=abc\r\nTIME=2\r\nGreeting=0x0\r\nReadSpeed=$1F\r\n"
                            "ReadPitch=\xE2\xFB\xF1\xEE\xEA\xE8\xE9\r\nReadCount=\"12\"\r\n");
        QCOMPARE(readSetting(settings::Engine), 0);
        QVERIFY(readSetting(settings::Time));
        QVERIFY(!readSetting(settings::Greeting));
        QCOMPARE(readSetting(settings::ReadSpeed), 31);
        QCOMPARE(readSetting(settings::ReadPitch), std::nullopt);
        QCOMPARE(readSetting(settings::ReadCount), u"12"_s);
    }

    void writesReplaceInPlaceAndKeepForeignLines()
    {
        writeFileAtomically(m_home->filePath(u"Settings.ini"_s), "[Global]\r\npanel=1\r\nForeign=x\r\n");
        writeSetting(settings::Panel, false);
        writeSetting(settings::ReadPitch, 60);
        writeSetting(settings::ReadCount, u"3"_s);
        QCOMPARE(fileBytes(m_home->filePath(u"Settings.ini"_s)),
                 QByteArray("[Global]\r\npanel=0\r\nForeign=x\r\nReadPitch=60\r\nReadCount=3\r\n"));
        QVERIFY(!readSetting(settings::Panel));
        QCOMPARE(readSetting(settings::ReadPitch), 60);
    }
};

QTEST_GUILESS_MAIN(TestSettings)
#include "tst_settings.moc"
