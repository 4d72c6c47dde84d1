// Desktop entry files: escaping of values and quoting of command lines.
#include "platform/desktopentry.h"

#include <QTest>

using namespace velmira;
using namespace Qt::StringLiterals;

class TestDesktopEntry : public QObject
{
    Q_OBJECT

private slots:
    void quotesArgumentsThatNeedIt_data()
    {
        QTest::addColumn<QString>("argument");
        QTest::addColumn<QString>("quoted");
        QTest::newRow("plain path") << u"/opt/velmira/velmira"_s << u"/opt/velmira/velmira"_s;
        QTest::newRow("cyrillic path") << u"/home/юля/Программы/velmira"_s << u"/home/юля/Программы/velmira"_s;
        QTest::newRow("blank") << u"/home/u/Мои программы/velmira"_s << u"\"/home/u/Мои программы/velmira\""_s;
        QTest::newRow("apostrophe") << u"/a/it's"_s << u"\"/a/it's\""_s;
        QTest::newRow("double quote") << u"/a/b\"c"_s << u"\"/a/b\\\"c\""_s;
        QTest::newRow("dollar and backtick") << u"/a/$x`y"_s << u"\"/a/\\$x\\`y\""_s;
        QTest::newRow("backslash") << u"/a\\b"_s << u"\"/a\\\\b\""_s;
        QTest::newRow("percent is doubled") << u"/a/100%"_s << u"/a/100%%"_s;
        QTest::newRow("percent with blank") << u"/a b/%f"_s << u"\"/a b/%%f\""_s;
        QTest::newRow("empty") << QString() << u"\"\""_s;
    }
    void quotesArgumentsThatNeedIt()
    {
        QFETCH(QString, argument);
        QFETCH(QString, quoted);
        QCOMPARE(DesktopEntry::quoteArgument(argument), quoted);
    }

    void execLineKeepsFieldCodesUnquoted()
    {
        QCOMPARE(DesktopEntry::execLine(u"/a b/velmira"_s, {u"delete"_s}), u"\"/a b/velmira\" delete"_s);
        QCOMPARE(DesktopEntry::execLine(u"/a b/velmira"_s, {}, u"%f"_s), u"\"/a b/velmira\" %f"_s);
    }

    void valuesSurviveWritingAndReading()
    {
        // A quoted backslash in an Exec key is escaped twice: once for the command line, once for the
        // file's string rules.
        const QString exec = DesktopEntry::execLine(u"/a\\b c/velmira"_s, {}, u"%f"_s);
        DesktopEntry entry;
        entry.set(DesktopEntry::mainGroup(), u"Type"_s, u"Application"_s);
        entry.set(DesktopEntry::mainGroup(), u"Name"_s, u" Вельмира\tс табуляцией\nи строкой"_s);
        entry.set(DesktopEntry::mainGroup(), u"Exec"_s, exec);
        entry.set(u"Desktop Action uninstall"_s, u"Name"_s, u"Удалить программу"_s);
        const QByteArray text = entry.toUtf8();
        QVERIFY(text.contains("Exec=\"/a\\\\\\\\b c/velmira\" %f\n"));
        QVERIFY(text.contains("Name=\\sВельмира\\tс табуляцией\\nи строкой\n"_ba));

        const DesktopEntry read = DesktopEntry::parse(text);
        QCOMPARE(read.value(DesktopEntry::mainGroup(), u"Exec"_s), exec);
        QCOMPARE(read.value(DesktopEntry::mainGroup(), u"Name"_s), u" Вельмира\tс табуляцией\nи строкой"_s);
        QCOMPARE(read.value(u"Desktop Action uninstall"_s, u"Name"_s), u"Удалить программу"_s);
        QCOMPARE(read.toUtf8(), text);
    }

    void parseSkipsCommentsAndKeepsGroupsApart()
    {
        const DesktopEntry e = DesktopEntry::parse("# comment\n[Desktop Entry]\nName = Вельмира\nName[ru]=Вель\n"
                                                   "junk line\n\n[Desktop Action uninstall]\nName=Удалить\n"_ba);
        QCOMPARE(e.value(DesktopEntry::mainGroup(), u"Name"_s), u"Вельмира"_s);
        QCOMPARE(e.value(DesktopEntry::mainGroup(), u"Name[ru]"_s), u"Вель"_s);
        QCOMPARE(e.value(u"Desktop Action uninstall"_s, u"Name"_s), u"Удалить"_s);
        QVERIFY(!e.contains(DesktopEntry::mainGroup(), u"junk line"_s));
        QVERIFY(!e.contains(u"Desktop Action uninstall"_s, u"Name[ru]"_s));
    }
};

QTEST_GUILESS_MAIN(TestDesktopEntry)
#include "tst_desktopentry.moc"
