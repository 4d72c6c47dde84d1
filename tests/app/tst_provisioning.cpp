// First-run provisioning: what a start with "new" makes on the desktop, made twice, and a failed write.
#include "app/mainwindow.h"
#include "app/provisioning.h"
#include "common/core/programfolder.h"
#include "platform/desktopentry.h"
#include "support/fakeprompter.h"
#include "support/fakespeechcontrol.h"
#include "support/recordingshell.h"
#include "support/testfiles.h"

#include <QDirIterator>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

using namespace velmira;
using namespace Qt::StringLiterals;

namespace {

// Every file under `root` with its contents, sorted.
QStringList snapshot(const QString &root)
{
    QStringList listing;
    QDirIterator it(root, QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString file = it.next();
        listing << file + u'\n' + QString::fromUtf8(fileBytes(file));
    }
    listing.sort();
    return listing;
}

DesktopEntry entryAt(const QString &path)
{
    return DesktopEntry::parse(fileBytes(path));
}

} // namespace

class TestProvisioning : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<QTemporaryDir> m_tmp;
    std::unique_ptr<RecordingShell> m_shell;
    FakePrompter m_prompter;
    const QString m_program = u"/opt/Вельмира 6.1/velmira"_s;

    QString value(ShellEntry entry, const QString &key) const
    {
        return entryAt(m_shell->location(entry)).value(DesktopEntry::mainGroup(), key);
    }

private slots:
    void init()
    {
        m_tmp = std::make_unique<QTemporaryDir>();
        QVERIFY(QDir().mkpath(m_tmp->filePath(u"program"_s)));
        qputenv("VELMIRA_HOME", m_tmp->filePath(u"program"_s).toUtf8());
        m_shell = std::make_unique<RecordingShell>(m_tmp->filePath(u"home"_s));
        m_prompter = FakePrompter();
    }

    void twiceGivesTheSameValidEntries()
    {
        provisionDesktop(*m_shell, m_prompter, nullptr, m_program);
        const QStringList first = snapshot(m_tmp->filePath(u"home"_s));
        provisionDesktop(*m_shell, m_prompter, nullptr, m_program);
        QCOMPARE(snapshot(m_tmp->filePath(u"home"_s)), first);
        QVERIFY(m_prompter.asked.isEmpty());

        // Each run ends by showing the menu group.
        const QUrl group = QUrl::fromLocalFile(m_shell->location(ShellEntry::MenuGroup));
        QCOMPARE(m_shell->opened, (QList<QUrl>{group, group}));

        // Nothing else than these files, and every one passes the validator.
        QStringList made;
        for (ShellEntry entry : {ShellEntry::InstalledProgram, ShellEntry::OpenWithText, ShellEntry::OpenWithRtf,
                                 ShellEntry::DesktopShortcut, ShellEntry::MenuProgram, ShellEntry::MenuHelp,
                                 ShellEntry::MenuSite, ShellEntry::MenuUninstall})
            made << m_shell->location(entry);
        made << m_shell->menuFile() << m_shell->directoryFile();
        QVERIFY(!QFile::exists(m_shell->location(ShellEntry::Autostart)));
        for (const QString &file : made) {
            QProcess validate;
            validate.setProcessChannelMode(QProcess::MergedChannels);
            if (file.endsWith(u".menu"_s))
                continue;
            validate.start(u"desktop-file-validate"_s, {file});
            QVERIFY2(validate.waitForFinished(30000), "desktop-file-validate must be installed (scripts/deps.sh)");
            QVERIFY2(validate.exitCode() == 0 && validate.readAll().trimmed().isEmpty(), qPrintable(file));
        }
        QStringList listed;
        for (QString line : first)
            listed << line.section(u'\n', 0, 0);
        listed.removeIf([](const QString &f) { return f.endsWith(u"mimeinfo.cache"_s); });
        made.sort();
        listed.sort();
        QCOMPARE(listed, made);
    }

    void entriesCarryTheProgramsTexts()
    {
        provisionDesktop(*m_shell, m_prompter, nullptr, m_program);
        const QString quoted = u"\"/opt/Вельмира 6.1/velmira\""_s;
        const DesktopEntry installed = entryAt(m_shell->location(ShellEntry::InstalledProgram));
        QCOMPARE(installed.value(DesktopEntry::mainGroup(), u"Name"_s), u"Вельмира 6.1"_s);
        QCOMPARE(installed.value(u"Desktop Action uninstall"_s, u"Exec"_s), quoted + u" delete"_s);
        for (ShellEntry entry : {ShellEntry::OpenWithText, ShellEntry::OpenWithRtf}) {
            QCOMPARE(value(entry, u"Name"_s), u"Открыть Вельмирой"_s);
            QCOMPARE(value(entry, u"Exec"_s), quoted + u" %f"_s);
        }
        QCOMPARE(value(ShellEntry::DesktopShortcut, u"Comment"_s), u"Запустить программу Вельмира"_s);
        QCOMPARE(value(ShellEntry::MenuProgram, u"Name"_s), u"Вельмира"_s);
        QCOMPARE(value(ShellEntry::MenuProgram, u"Comment"_s), u"Запустить программу Вельмира"_s);
        QCOMPARE(value(ShellEntry::MenuHelp, u"Name"_s), u"Справка по Вельмире"_s);
        QCOMPARE(value(ShellEntry::MenuHelp, u"Comment"_s), u"Краткая справка по Вельмире"_s);
        QCOMPARE(QUrl(value(ShellEntry::MenuHelp, u"URL"_s)).toLocalFile(), programFile(u"Help.rtf"_s));
        QCOMPARE(value(ShellEntry::MenuSite, u"Name"_s), u"Сайт разработчиков"_s);
        QCOMPARE(value(ShellEntry::MenuSite, u"Comment"_s), u"Посетить сайт разработчиков"_s);
        QCOMPARE(value(ShellEntry::MenuSite, u"URL"_s), u"https://velmira.example.org"_s);
        QCOMPARE(value(ShellEntry::MenuUninstall, u"Name"_s), u"Удалить программу"_s);
        QCOMPARE(value(ShellEntry::MenuUninstall, u"Comment"_s), u"Удалить программу Вельмира"_s);
        QCOMPARE(value(ShellEntry::MenuUninstall, u"Exec"_s), quoted + u" delete"_s);
        QCOMPARE(entryAt(m_shell->directoryFile()).value(DesktopEntry::mainGroup(), u"Name"_s), u"Вельмира"_s);
    }

    void aFailedWriteIsReportedOnceAndTheRestIsMade_data()
    {
        QTest::addColumn<QString>("blocked");
        QTest::addColumn<QStringList>("folders");
        QTest::addColumn<int>("made"); // an entry made all the same
        // A file where a folder should be: what goes in it cannot be made.
        QTest::newRow("desktop") << u"home/Desktop"_s << QStringList{u"home/Desktop"_s}
                                 << int(ShellEntry::MenuUninstall);
        // Several entries in each folder: each folder is named once.
        QTest::newRow("applications") << u"home/data/applications"_s
                                      << QStringList{u"home/data/applications"_s, u"home/data/applications/velmira"_s}
                                      << int(ShellEntry::DesktopShortcut);
    }

    void aFailedWriteIsReportedOnceAndTheRestIsMade()
    {
        QFETCH(QString, blocked);
        QFETCH(QStringList, folders);
        QFETCH(int, made);
        QVERIFY(QDir().mkpath(QFileInfo(m_tmp->filePath(blocked)).absolutePath()));
        QFile blocker(m_tmp->filePath(blocked));
        QVERIFY(blocker.open(QIODevice::WriteOnly));
        blocker.close();

        provisionDesktop(*m_shell, m_prompter, nullptr, m_program);
        QCOMPARE(m_prompter.asked.size(), 1);
        const FakePrompter::Asked &box = m_prompter.asked.first();
        QCOMPARE(box.caption, u"Вельмира 6.1"_s);
        QCOMPARE(box.icon, Prompter::Icon::Warning);
        QVERIFY2(box.text.startsWith(u"Не удалось создать:\r\n"_s), qPrintable(box.text));
        const QStringList lines = box.text.split(u"\r\n"_s).mid(1);
        QCOMPARE(lines.size(), folders.size());
        for (qsizetype i = 0; i < folders.size(); ++i)
            QVERIFY2(lines[i].contains(u'«' + m_tmp->filePath(folders[i]) + u'»'), qPrintable(lines[i]));
        QVERIFY(QFile::exists(m_shell->location(ShellEntry(made))));
        // The menu group is shown where it could be made.
        QCOMPARE(m_shell->opened.size(), QFileInfo(m_shell->location(ShellEntry::MenuGroup)).isDir() ? 1 : 0);
    }

    void theMainWindowProvisionsOnlyWhenStartedWithNew_data()
    {
        QTest::addColumn<QString>("argument");
        QTest::addColumn<bool>("provisions");
        QTest::newRow("new") << u"new"_s << true;
        QTest::newRow("NEW") << u"NEW"_s << true;
        QTest::newRow("New") << u"New"_s << true;
        QTest::newRow("none") << QString() << false;
        QTest::newRow("a document") << u"newer.txt"_s << false;
    }
    void theMainWindowProvisionsOnlyWhenStartedWithNew()
    {
        QFETCH(QString, argument);
        QFETCH(bool, provisions);
        MainWindowServices services;
        services.prompter = &m_prompter;
        services.shell = m_shell.get();
        services.trayAvailable = [] { return false; };
        if (!argument.isEmpty())
            services.arguments = {argument};
        services.createSpeechControl = [] { return std::make_unique<FakeSpeechControl>(); };
        MainWindow window(services);
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        QCOMPARE(QFile::exists(m_shell->location(ShellEntry::InstalledProgram)), provisions);
        QCOMPARE(startsWith(m_shell->location(ShellEntry::MenuProgram), executablePath()), provisions);
    }

private:
    static bool startsWith(const QString &entryFile, const QString &program)
    {
        return entryAt(entryFile).value(DesktopEntry::mainGroup(), u"Exec"_s) == DesktopEntry::execLine(program);
    }
};

QTEST_MAIN(TestProvisioning)
#include "tst_provisioning.moc"
