// The freedesktop shell in a temporary home: the entries it writes, what counts as "on", and the
// removal of the program after it has ended.
#include "common/core/error.h"
#include "platform/desktopentry.h"
#include "platform/freedesktopshell.h"
#include "support/testfiles.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

using namespace velmira;
using namespace Qt::StringLiterals;

namespace {

// Runs desktop-file-validate on a file; returns its complaints, empty when the file is valid.
QString validationProblems(const QString &path)
{
    QProcess p;
    p.setProcessChannelMode(QProcess::MergedChannels);
    p.start(u"desktop-file-validate"_s, {path});
    if (!p.waitForFinished(30000))
        return u"desktop-file-validate did not run: "_s + p.errorString();
    const QString output = QString::fromUtf8(p.readAll()).trimmed();
    if (p.exitCode() != 0 || output.contains(u"error"_s) || output.contains(u"warning"_s))
        return output.isEmpty() ? u"exit code %1"_s.arg(p.exitCode()) : output;
    return {};
}

bool waitFor(const std::function<bool()> &condition, int ms = 10000)
{
    return QTest::qWaitFor(condition, ms);
}

} // namespace

class TestFreedesktopShell : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<QTemporaryDir> m_tmp;
    std::unique_ptr<FreedesktopShell> m_shell;
    // A program path that needs quoting in a command line.
    QString m_program;

    QString path(const QString &relative) const { return m_tmp->filePath(relative); }

    void writeEverything(const QString &program)
    {
        Launcher installed{u"Вельмира 6.1"_s, {}, program, {}, {}, u"Удалить программу"_s, {u"delete"_s}};
        m_shell->write(ShellEntry::InstalledProgram, installed);
        m_shell->write(ShellEntry::OpenWithText, {u"Открыть Вельмирой"_s, {}, program, {}, {}, {}, {}});
        m_shell->write(ShellEntry::OpenWithRtf, {u"Открыть Вельмирой"_s, {}, program, {}, {}, {}, {}});
        m_shell->write(ShellEntry::Autostart, {u"Вельмира"_s, {}, program, {}, {}, {}, {}});
        m_shell->write(ShellEntry::DesktopShortcut,
                       {u"Вельмира"_s, u"Запустить программу Вельмира"_s, program, {}, {}, {}, {}});
        m_shell->write(ShellEntry::MenuGroup, {u"Вельмира"_s, {}, {}, {}, {}, {}, {}});
        m_shell->write(ShellEntry::MenuProgram,
                       {u"Вельмира"_s, u"Запустить программу Вельмира"_s, program, {}, {}, {}, {}});
        m_shell->write(ShellEntry::MenuHelp, {u"Справка по Вельмире"_s, u"Краткая справка по Вельмире"_s, {}, {},
                                              QUrl::fromLocalFile(path(u"Моя папка/Help.rtf"_s)), {}, {}});
        m_shell->write(ShellEntry::MenuSite, {u"Сайт разработчиков"_s, u"Посетить сайт разработчиков"_s, {}, {},
                                              QUrl(u"https://velmira.example.org"_s), {}, {}});
        m_shell->write(ShellEntry::MenuUninstall, {u"Удалить программу"_s, u"Удалить программу Вельмира"_s,
                                                   program, {u"delete"_s}, {}, {}, {}});
    }

    static QList<ShellEntry> fileEntries()
    {
        return {ShellEntry::InstalledProgram, ShellEntry::OpenWithText, ShellEntry::OpenWithRtf,
                ShellEntry::Autostart,        ShellEntry::DesktopShortcut, ShellEntry::MenuProgram,
                ShellEntry::MenuHelp,         ShellEntry::MenuSite,     ShellEntry::MenuUninstall};
    }

private slots:
    void init()
    {
        m_tmp = std::make_unique<QTemporaryDir>();
        QVERIFY(m_tmp->isValid());
        m_shell = std::make_unique<FreedesktopShell>(FreedesktopShell::Folders{
            path(u"data"_s), path(u"config"_s), path(u"Рабочий стол"_s), path(u"run"_s)});
        m_program = path(u"Мои программы/it's $HOME/velmira"_s);
    }

    void everyEntryPassesTheValidator()
    {
        if (QStandardPaths::findExecutable(u"desktop-file-validate"_s).isEmpty())
            QFAIL("desktop-file-validate is missing: install desktop-file-utils (scripts/deps.sh)");
        writeEverything(m_program);
        QStringList files;
        for (ShellEntry entry : fileEntries())
            files << m_shell->location(entry);
        files << m_shell->directoryFile();
        for (const QString &file : files) {
            QVERIFY2(QFile::exists(file), qPrintable(file));
            const QString problems = validationProblems(file);
            QVERIFY2(problems.isEmpty(), qPrintable(file + u": "_s + problems));
        }
        QVERIFY(fileBytes(m_shell->menuFile()).contains("<Filename>velmira-uninstall.desktop</Filename>"));
    }

    void entriesSayWhatTheyStart()
    {
        writeEverything(u"/opt/Вельмира 6/velmira"_s);
        const auto main = DesktopEntry::mainGroup();
        const DesktopEntry installed = DesktopEntry::parse(fileBytes(m_shell->location(ShellEntry::InstalledProgram)));
        QCOMPARE(installed.value(main, u"Name"_s), u"Вельмира 6.1"_s);
        QCOMPARE(installed.value(main, u"Exec"_s), u"\"/opt/Вельмира 6/velmira\""_s);
        QCOMPARE(installed.value(u"Desktop Action uninstall"_s, u"Name"_s), u"Удалить программу"_s);
        QCOMPARE(installed.value(u"Desktop Action uninstall"_s, u"Exec"_s), u"\"/opt/Вельмира 6/velmira\" delete"_s);

        const DesktopEntry rtf = DesktopEntry::parse(fileBytes(m_shell->location(ShellEntry::OpenWithRtf)));
        QCOMPARE(rtf.value(main, u"Exec"_s), u"\"/opt/Вельмира 6/velmira\" %f"_s);
        const QStringList types = rtf.value(main, u"MimeType"_s).split(u';', Qt::SkipEmptyParts);
        QCOMPARE(types.mid(0, 2), (QStringList{u"application/rtf"_s, u"text/rtf"_s}));
        for (const QString &book : {u"application/x-fictionbook+xml"_s, u"application/epub+zip"_s, u"application/pdf"_s,
                                    u"application/vnd.openxmlformats-officedocument.wordprocessingml.document"_s,
                                    u"application/vnd.oasis.opendocument.text"_s, u"text/html"_s})
            QVERIFY2(types.contains(book), qPrintable(book));
        QCOMPARE(rtf.value(main, u"NoDisplay"_s), u"true"_s);

        const DesktopEntry help = DesktopEntry::parse(fileBytes(m_shell->location(ShellEntry::MenuHelp)));
        QCOMPARE(help.value(main, u"Type"_s), u"Link"_s);
        QCOMPARE(QUrl(help.value(main, u"URL"_s)).toLocalFile(), path(u"Моя папка/Help.rtf"_s));

        QVERIFY(QFile::permissions(m_shell->location(ShellEntry::DesktopShortcut)) & QFileDevice::ExeOwner);
    }

    void theDesktopListsTheOpenWithEntries()
    {
        if (QStandardPaths::findExecutable(u"update-desktop-database"_s).isEmpty())
            QSKIP("update-desktop-database is not installed: the desktop builds its list itself");
        writeEverything(m_program);
        const QByteArray cache = fileBytes(path(u"data/applications/mimeinfo.cache"_s));
        QVERIFY(cache.contains("text/plain=velmira-open-txt.desktop;"));
        QVERIFY(cache.contains("application/rtf=velmira-open-rtf.desktop;"));
        m_shell->remove(ShellEntry::OpenWithText);
        QVERIFY(!fileBytes(path(u"data/applications/mimeinfo.cache"_s)).contains("velmira-open-txt"));
        // With nothing left to list, no empty list stays behind.
        m_shell->remove(ShellEntry::OpenWithRtf);
        QVERIFY(!QFile::exists(path(u"data/applications/mimeinfo.cache"_s)));
    }

    void startsProgramComparesTheWholeCommand_data()
    {
        QTest::addColumn<QString>("writtenFor");
        QTest::addColumn<QString>("askedFor");
        QTest::addColumn<bool>("on");
        QTest::newRow("same path") << u"/opt/velmira/velmira"_s << u"/opt/velmira/velmira"_s << true;
        QTest::newRow("path with blanks") << u"/opt/Мои программы/velmira"_s << u"/opt/Мои программы/velmira"_s
                                          << true;
        QTest::newRow("moved program") << u"/opt/velmira/velmira"_s << u"/home/u/velmira/velmira"_s << false;
        QTest::newRow("letter case counts") << u"/opt/Velmira/velmira"_s << u"/opt/velmira/velmira"_s << false;
    }
    void startsProgramComparesTheWholeCommand()
    {
        QFETCH(QString, writtenFor);
        QFETCH(QString, askedFor);
        QFETCH(bool, on);
        for (ShellEntry entry : {ShellEntry::OpenWithText, ShellEntry::OpenWithRtf, ShellEntry::Autostart}) {
            m_shell->write(entry, {u"Вельмира"_s, {}, writtenFor, {}, {}, {}, {}});
            QCOMPARE(m_shell->startsProgram(entry, askedFor), on);
            m_shell->remove(entry);
            QVERIFY(!QFile::exists(m_shell->location(entry)));
            QVERIFY(!m_shell->startsProgram(entry, askedFor));
        }
    }

    void aHiddenAutostartEntryIsOff()
    {
        m_shell->write(ShellEntry::Autostart, {u"Вельмира"_s, {}, m_program, {}, {}, {}, {}});
        QVERIFY(m_shell->startsProgram(ShellEntry::Autostart, m_program));
        QFile f(m_shell->location(ShellEntry::Autostart));
        QVERIFY(f.open(QIODevice::Append));
        f.write("Hidden=true\n");
        f.close();
        QVERIFY(!m_shell->startsProgram(ShellEntry::Autostart, m_program));
    }

    void writingTwiceGivesTheSameFiles()
    {
        writeEverything(m_program);
        auto snapshot = [this] {
            QStringList listing;
            QDirIterator it(m_tmp->path(), QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
            while (it.hasNext()) {
                const QString file = it.next();
                listing << file + u'\n' + QString::fromUtf8(fileBytes(file));
            }
            listing.sort();
            return listing;
        };
        const QStringList first = snapshot();
        writeEverything(m_program);
        QCOMPARE(snapshot(), first);
    }

    void removingLeavesTheUsersFiles()
    {
        writeEverything(m_program);
        const QString group = m_shell->location(ShellEntry::MenuGroup);
        QFile foreign(group + u"/моё.desktop"_s);
        QVERIFY(foreign.open(QIODevice::WriteOnly));
        foreign.close();
        for (ShellEntry entry : fileEntries())
            m_shell->remove(entry);
        m_shell->remove(ShellEntry::MenuGroup);
        for (ShellEntry entry : fileEntries())
            QVERIFY(!QFile::exists(m_shell->location(entry)));
        QVERIFY(!QFile::exists(m_shell->menuFile()));
        QVERIFY(!QFile::exists(m_shell->directoryFile()));
        QVERIFY(QFile::exists(foreign.fileName()));

        // Again, with nothing left of ours: silent, and the emptied group goes too.
        QVERIFY(QFile::remove(foreign.fileName()));
        for (ShellEntry entry : fileEntries())
            m_shell->remove(entry);
        m_shell->remove(ShellEntry::MenuGroup);
        QVERIFY(!QFileInfo::exists(group));
    }

    void aWriteThatFailsNamesTheFile()
    {
        // A file where the desktop folder should be.
        QFile blocker(path(u"Рабочий стол"_s));
        QVERIFY(blocker.open(QIODevice::WriteOnly));
        blocker.close();
        try {
            m_shell->write(ShellEntry::DesktopShortcut, {u"Вельмира"_s, {}, m_program, {}, {}, {}, {}});
            QFAIL("the write should have failed");
        } catch (const Error &error) {
            QVERIFY2(error.message().contains(u"Рабочий стол"_s), qPrintable(error.message()));
        }
    }

    void removalWaitsForTheProcessAndKeepsForeignFiles()
    {
        const QString folder = path(u"Моя программа"_s);
        const QString dataFolder = path(u"данные"_s);
        QVERIFY(QDir().mkpath(folder));
        QVERIFY(QDir().mkpath(dataFolder));
        const QString program = folder + u"/velmira 'x'"_s;
        for (const QString &file : {program, dataFolder + u"/заметка.txt"_s}) {
            QFile f(file);
            QVERIFY(f.open(QIODevice::WriteOnly));
        }
        // A stale script, even a link to someone else's file, is replaced and not written through.
        const QString victim = path(u"victim.txt"_s);
        QFile v(victim);
        QVERIFY(v.open(QIODevice::WriteOnly));
        v.write("keep");
        v.close();
        QVERIFY(QDir().mkpath(path(u"run"_s)));
        QVERIFY(QFile::link(victim, m_shell->removalScriptPath()));

        QProcess running;
        running.start(u"sleep"_s, {u"30"_s});
        QVERIFY(running.waitForStarted());
        m_shell->removeAfterExit(running.processId(), {program}, {folder, dataFolder});
        QCOMPARE(fileBytes(victim), "keep"_ba);

        QTest::qWait(700);
        QVERIFY2(QFile::exists(program), "the program must stay while its process runs");
        running.kill();
        QVERIFY(running.waitForFinished());

        QVERIFY(waitFor([&] { return !QFileInfo::exists(folder); }));
        QVERIFY(waitFor([&] { return !QFileInfo::exists(m_shell->removalScriptPath()); }));
        QVERIFY(QFile::exists(dataFolder + u"/заметка.txt"_s));
        QCOMPARE(fileBytes(victim), "keep"_ba);
    }
};

QTEST_GUILESS_MAIN(TestFreedesktopShell)
#include "tst_freedesktopshell.moc"
