// The data files the program carries: what they hold, and how a missing one comes back.
#include "app/aboutwindow.h"
#include "app/datafiles.h"
#include "app/mainwindow.h"
#include "common/core/textcodec.h"
#include "common/core/textfile.h"
#include "dictionary/correctiondictionary.h"
#include "editor/rtf/rtfreader.h"
#include "support/fakeprompter.h"
#include "support/fakespeechcontrol.h"
#include "support/testfiles.h"

#include <QFile>
#include <QStringDecoder>
#include <QTemporaryDir>
#include <QTest>
#include <QTextBlock>
#include <QTextDocument>
#include <QToolButton>

using namespace velmira;
using namespace Qt::StringLiterals;

class TestDataFiles : public QObject
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

    void dictionaryIsTheDefaultOne()
    {
        const QByteArray carried = carriedDataFile(u"Dictionary.txt"_s);
        QCOMPARE(carried, CorrectionDictionary::defaultFileContents());
        QCOMPARE(carried.size(), 311);
    }

    void greetingsFollowTheirRules()
    {
        const QByteArray bytes = carriedDataFile(u"Greetings.txt"_s);
        // Windows-1251: every byte decodes, and the file is not read as UTF-8.
        QStringDecoder cp1251("windows-1251");
        const QString text = cp1251.decode(bytes);
        QVERIFY(!cp1251.hasError());
        QCOMPARE(decodeText(bytes), text);
        QVERIFY(!bytes.endsWith("\r\n"));
        QCOMPARE(bytes.count("\r\n"), 81);
        QCOMPARE(bytes.count('\n'), 81);
        QCOMPARE(bytes.count('\r'), 81);

        const QStringList lines = text.split(u"\r\n"_s);
        QCOMPARE(lines.size(), 82);
        QCOMPARE(QSet<QString>(lines.begin(), lines.end()).size(), 82);
        int withoutExclamation = 0;
        for (const QString &line : lines) {
            QVERIFY2(!line.isEmpty() && line.size() <= 79, qPrintable(line));
            QVERIFY2(line.trimmed() == line, qPrintable(line));
            if (!line.endsWith(u'!'))
                ++withoutExclamation;
        }
        QCOMPARE(withoutExclamation, 1);
        for (const QString &quoted : {u"Уходя гасите всех!"_s, u"Друзья познаются в еде!"_s, u"Глобус - это чучело Земли!"_s})
            QVERIFY2(lines.contains(quoted), qPrintable(quoted));
    }

    void helpDescribesEveryToolbarButtonWithPictures()
    {
        QTextDocument help;
        QVERIFY(readRtf(carriedDataFile(u"Help.rtf"_s), help));
        const QString text = help.toPlainText();
        QVERIFY(text.contains(u"Вельмира"_s));

        FakePrompter prompter;
        MainWindowServices services;
        services.prompter = &prompter;
        services.createSpeechControl = [] { return std::make_unique<FakeSpeechControl>(); };
        MainWindow window(services);
        const auto buttons = window.findChild<QWidget *>(u"Panel1"_s)->findChildren<QToolButton *>();
        QCOMPARE(buttons.size(), 15);
        for (QToolButton *b : buttons)
            QVERIFY2(text.contains(b->toolTip()), qPrintable(b->toolTip()));

        int pictures = 0;
        for (QTextBlock block = help.begin(); block.isValid(); block = block.next()) {
            for (auto it = block.begin(); !it.atEnd(); ++it) {
                if (it.fragment().charFormat().isImageFormat())
                    ++pictures;
            }
        }
        // A picture of every toolbar button, and of the windows.
        QVERIFY2(pictures > 15, qPrintable(QString::number(pictures)));
    }

    void missingFilesAreWrittenByteForByte()
    {
        writeMissingDataFiles();
        for (const QString &name : dataFileNames())
            QCOMPARE(readFileBytes(file(name)), carriedDataFile(name));

        // Deleted and edited files: only the deleted one comes back, when the About window is made as
        // at every start.
        QVERIFY(QFile::remove(file(u"Greetings.txt"_s)));
        writeFileAtomically(file(u"Dictionary.txt"_s), "кот=котик\r\n");
        const QDateTime helpTime = QFileInfo(file(u"Help.rtf"_s)).lastModified();
        AboutWindow about;
        QCOMPARE(readFileBytes(file(u"Greetings.txt"_s)), carriedDataFile(u"Greetings.txt"_s));
        QCOMPARE(readFileBytes(file(u"Dictionary.txt"_s)), QByteArray("кот=котик\r\n"));
        QCOMPARE(QFileInfo(file(u"Help.rtf"_s)).lastModified(), helpTime);
    }

    void failureStopsTheRemainingFiles()
    {
        writeFileAtomically(file(u"Help.rtf"_s), "{\\rtf1 своя справка}");
        // A link to a folder that does not exist cannot be written through.
        QVERIFY(QFile::link(file(u"нет/Dictionary.txt"_s), file(u"Dictionary.txt"_s)));
        try {
            writeMissingDataFiles();
            QFAIL("no failure");
        } catch (const Error &failure) {
            const QString start = u"Cannot create file \"%1\". "_s.arg(file(u"Dictionary.txt"_s));
            QVERIFY2(failure.message().startsWith(start), qPrintable(failure.message()));
            QVERIFY(failure.message().size() > start.size());
        }
        QVERIFY(!QFile::exists(file(u"Greetings.txt"_s)));
        QCOMPARE(readFileBytes(file(u"Help.rtf"_s)), QByteArray("{\\rtf1 своя справка}"));
    }

    void fileThatIsNotCarriedIsNamed()
    {
        try {
            carriedDataFile(u"Organayzer.txt"_s);
            QFAIL("no failure");
        } catch (const Error &failure) {
            QCOMPARE(failure.message(), u"Resource Organayzer.txt not found"_s);
        }
    }
};

QTEST_MAIN(TestDataFiles)
#include "tst_datafiles.moc"
