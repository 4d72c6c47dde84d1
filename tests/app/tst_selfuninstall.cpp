// The self-uninstall: the two questions, what goes and what stays, and the real program removing
// itself after it has ended (a copy in a temporary folder, with a temporary home).
#include "app/provisioning.h"
#include "app/selfuninstall.h"
#include "common/core/programfolder.h"
#include "support/fakeprompter.h"
#include "support/recordingshell.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

using namespace velmira;
using namespace Qt::StringLiterals;

namespace {

const QStringList DataFiles{u"Dictionary.txt"_s, u"Help.rtf"_s,       u"Text.rtf"_s,
                            u"Settings.ini"_s,   u"Organayzer.txt"_s, u"Greetings.txt"_s};

const QList<ShellEntry> MadeEntries{ShellEntry::InstalledProgram, ShellEntry::OpenWithText, ShellEntry::OpenWithRtf,
                                    ShellEntry::Autostart,        ShellEntry::DesktopShortcut, ShellEntry::MenuProgram,
                                    ShellEntry::MenuHelp,         ShellEntry::MenuSite,     ShellEntry::MenuUninstall};

void touch(const QString &path, const QByteArray &data = "x")
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write(data);
}

const QString Talk = u"Если что-то не работает - это не повод сразу удалять!\r\n"
                     u"Просто напишите письмо по адресу velmira@example.org и спросите, что именно не понятно.\r\n"
                     u"Написать письмо разработчикам?"_s;
const QString Really = u"Жаль, что вы решили удалить программу. А она бы так Вам жизнь упростила.\r\n"
                       u"Итак, Вы действительно хотите удали программу Вельмира?"_s;
const QString Removed = u"Программа Вельмира удалена с Вашего компьютера."_s;

} // namespace

class TestSelfUninstall : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<QTemporaryDir> m_tmp;
    std::unique_ptr<RecordingShell> m_shell;
    FakePrompter m_prompter;
    QString m_folder;
    QString m_program;

    // Everything the program makes: the desktop entries, autostart and the data files.
    void install(RecordingShell &shell)
    {
        FakePrompter quiet;
        provisionDesktop(shell, quiet, nullptr, m_program);
        shell.opened.clear();
        shell.write(ShellEntry::Autostart, {u"Вельмира"_s, {}, m_program, {}, {}, {}, {}});
        for (const QString &name : DataFiles)
            touch(m_folder + u'/' + name);
    }

    void verifyAllThere(const DesktopShell &shell)
    {
        for (ShellEntry entry : MadeEntries)
            QVERIFY2(QFile::exists(shell.location(entry)), qPrintable(shell.location(entry)));
        for (const QString &name : DataFiles)
            QVERIFY(QFile::exists(m_folder + u'/' + name));
    }

    void verifyAllGone(const FreedesktopShell &shell)
    {
        for (ShellEntry entry : MadeEntries)
            QVERIFY2(!QFile::exists(shell.location(entry)), qPrintable(shell.location(entry)));
        QVERIFY(!QFileInfo::exists(shell.location(ShellEntry::MenuGroup)));
        QVERIFY(!QFile::exists(shell.menuFile()));
        QVERIFY(!QFile::exists(shell.directoryFile()));
        for (const QString &name : DataFiles)
            QVERIFY2(!QFile::exists(m_folder + u'/' + name), qPrintable(name));
    }

private slots:
    void init()
    {
        m_tmp = std::make_unique<QTemporaryDir>();
        m_folder = m_tmp->filePath(u"Моя программа"_s);
        m_program = m_folder + u"/velmira"_s;
        QVERIFY(QDir().mkpath(m_folder));
        qputenv("VELMIRA_HOME", m_folder.toUtf8());
        m_shell = std::make_unique<RecordingShell>(m_tmp->filePath(u"home"_s));
        m_prompter = FakePrompter();
    }

    void yesInTheFirstBoxOnlyWritesToTheDevelopers()
    {
        install(*m_shell);
        m_prompter.answers << Prompter::Button::Yes;
        SelfUninstall(*m_shell, m_prompter, m_program, 4242);
        QCOMPARE(m_prompter.asked.size(), 1);
        const FakePrompter::Asked &box = m_prompter.asked.first();
        QCOMPARE(box.caption, u"Вельмира 6.1"_s);
        QCOMPARE(box.icon, Prompter::Icon::Warning);
        QCOMPARE(box.buttons, Prompter::Buttons(Prompter::Button::Yes) | Prompter::Button::No);
        QCOMPARE(box.text, Talk);
        QCOMPARE(m_shell->opened, QList<QUrl>{QUrl(u"mailto:velmira@example.org"_s)});
        verifyAllThere(*m_shell);
        QVERIFY(m_shell->removals.isEmpty());
    }

    void noInTheSecondBoxRemovesNothing()
    {
        install(*m_shell);
        m_prompter.answers << Prompter::Button::No << Prompter::Button::No;
        SelfUninstall(*m_shell, m_prompter, m_program, 4242);
        QCOMPARE(m_prompter.asked.size(), 2);
        const FakePrompter::Asked &box = m_prompter.asked.last();
        QCOMPARE(box.icon, Prompter::Icon::Question);
        QCOMPARE(box.defaultButton, Prompter::Button::No);
        QCOMPARE(box.text, Really);
        verifyAllThere(*m_shell);
        QVERIFY(m_shell->removals.isEmpty());
        QVERIFY(m_shell->opened.isEmpty());
    }

    void yesRemovesEverythingItMadeAndLeavesTheUsersFiles()
    {
        install(*m_shell);
        touch(m_folder + u"/мой текст.txt"_s);
        touch(m_shell->location(ShellEntry::MenuGroup) + u"/моя ссылка.desktop"_s);
        m_prompter.answers << Prompter::Button::No << Prompter::Button::Yes;
        SelfUninstall(*m_shell, m_prompter, m_program, 4242);

        for (ShellEntry entry : MadeEntries)
            QVERIFY2(!QFile::exists(m_shell->location(entry)), qPrintable(m_shell->location(entry)));
        for (const QString &name : DataFiles)
            QVERIFY2(!QFile::exists(m_folder + u'/' + name), qPrintable(name));
        QVERIFY(QFile::exists(m_folder + u"/мой текст.txt"_s));
        QVERIFY(QFile::exists(m_shell->location(ShellEntry::MenuGroup) + u"/моя ссылка.desktop"_s));

        QCOMPARE(m_shell->removals.size(), 1);
        const RecordingShell::Removal &removal = m_shell->removals.first();
        QCOMPARE(removal.pid, 4242);
        QCOMPARE(removal.files, QStringList{m_program});
        QCOMPARE(removal.folders.first(), m_folder);
        QVERIFY(removal.folders.contains(m_shell->location(ShellEntry::MenuGroup)));

        const FakePrompter::Asked &last = m_prompter.asked.last();
        QCOMPARE(last.icon, Prompter::Icon::Information);
        QCOMPARE(last.buttons, Prompter::Buttons(Prompter::Button::Ok));
        QCOMPARE(last.text, Removed);
    }

    void aProgramThatCannotBeRemovedIsNotReportedAsRemoved()
    {
        install(*m_shell);
        m_shell->failRemoval = u"Не удалось записать файл «/run/velmira-uninstall.sh»: Отказано в доступе"_s;
        m_prompter.answers << Prompter::Button::No << Prompter::Button::Yes;
        SelfUninstall(*m_shell, m_prompter, m_program, 4242);
        const FakePrompter::Asked &last = m_prompter.asked.last();
        QCOMPARE(last.icon, Prompter::Icon::Warning);
        QVERIFY(last.text != Removed);
        QVERIFY2(last.text.contains(m_program) && last.text.contains(u"Отказано в доступе"_s), qPrintable(last.text));
    }

    void aProgramInstalledForEveryoneIsLeftToItsPackage()
    {
        // The layout of an install prefix: the program in bin beside share. Root may write there, so
        // only the layout tells that the program is not this user's to delete.
        const QString prefix = m_tmp->filePath(u"prefix"_s);
        QVERIFY(QDir().mkpath(prefix + u"/bin"_s));
        QVERIFY(QDir().mkpath(prefix + u"/share/applications"_s));
        m_program = prefix + u"/bin/velmira"_s;
        touch(m_program);
        install(*m_shell);
        m_prompter.answers << Prompter::Button::No << Prompter::Button::Yes;
        SelfUninstall(*m_shell, m_prompter, m_program, 4242);

        for (ShellEntry entry : MadeEntries)
            QVERIFY2(!QFile::exists(m_shell->location(entry)), qPrintable(m_shell->location(entry)));
        for (const QString &name : DataFiles)
            QVERIFY2(!QFile::exists(m_folder + u'/' + name), qPrintable(name));
        QCOMPARE(m_shell->removals.size(), 1);
        const RecordingShell::Removal &removal = m_shell->removals.first();
        QVERIFY(removal.files.isEmpty());
        QVERIFY(!removal.folders.contains(prefix + u"/bin"_s));
        QVERIFY(removal.folders.contains(m_shell->location(ShellEntry::MenuGroup)));
        QVERIFY(QFile::exists(m_program));

        const FakePrompter::Asked &last = m_prompter.asked.last();
        QCOMPARE(last.icon, Prompter::Icon::Warning);
        QVERIFY2(last.text.contains(m_program) && last.text.contains(u"apt-get remove velmira"_s), qPrintable(last.text));
    }

    // The real program, copied into a temporary folder and started with "delete" and a temporary home.
    void theProgramRemovesItselfOnceItHasEnded_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<QString>("answers");
        QTest::addColumn<bool>("userFile");
        QTest::addColumn<bool>("removes");
        QTest::newRow("delete, No then Yes") << QStringList{u"delete"_s} << u"No,Yes"_s << false << true;
        QTest::newRow("a file of the user's stays") << QStringList{u"delete"_s} << u"No,Yes"_s << true << true;
        QTest::newRow("DELETE, No twice") << QStringList{u"DELETE"_s} << u"No,No"_s << false << false;
        QTest::newRow("Delete, No twice") << QStringList{u"Delete"_s} << u"No,No"_s << false << false;
    }
    void theProgramRemovesItselfOnceItHasEnded()
    {
        QFETCH(QStringList, arguments);
        QFETCH(QString, answers);
        QFETCH(bool, userFile);
        QFETCH(bool, removes);

        QVERIFY(QFile::copy(QString::fromUtf8(VELMIRA_EXECUTABLE), m_program));
        QVERIFY(QFile::setPermissions(m_program, QFile::permissions(QString::fromUtf8(VELMIRA_EXECUTABLE))));
        const QString home = m_tmp->filePath(u"домашняя"_s);
        const QString run = m_tmp->filePath(u"run"_s);
        QVERIFY(QDir().mkpath(run));
        QVERIFY(QFile::setPermissions(run, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner));
        RecordingShell shell(FreedesktopShell::Folders{home + u"/.local/share"_s, home + u"/.config"_s,
                                                         home + u"/Desktop"_s, run});
        install(shell);
        if (userFile)
            touch(m_folder + u"/мой текст.txt"_s);

        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.remove(u"VELMIRA_HOME"_s);
        env.remove(u"XDG_DATA_HOME"_s);
        env.remove(u"XDG_CONFIG_HOME"_s);
        env.insert(u"HOME"_s, home);
        env.insert(u"XDG_RUNTIME_DIR"_s, run);
        env.insert(u"QT_QPA_PLATFORM"_s, u"offscreen"_s);
        env.insert(u"VELMIRA_ANSWERS"_s, answers);
        QProcess process;
        process.setProcessEnvironment(env);
        process.start(m_program, arguments);
        QVERIFY(process.waitForFinished(60000));
        QCOMPARE(process.exitStatus(), QProcess::NormalExit);
        QCOMPARE(process.exitCode(), 0);
        const QStringList boxes = QString::fromUtf8(process.readAllStandardOutput()).split(u'\n', Qt::SkipEmptyParts);
        QVERIFY2(boxes.size() >= 2, qPrintable(boxes.join(u'\n')));
        QVERIFY(boxes[0].startsWith(u"Вельмира 6.1\tWarning\tYes\tЕсли что-то не работает"_s));
        QVERIFY(boxes[1].startsWith(u"Вельмира 6.1\tQuestion\tNo\tЖаль, что вы решили"_s));

        if (!removes) {
            QCOMPARE(boxes.size(), 2);
            QTest::qWait(300);
            QVERIFY(QFile::exists(m_program));
            verifyAllThere(shell);
            return;
        }
        QCOMPARE(boxes.size(), 3);
        QCOMPARE(boxes[2], u"Вельмира 6.1\tInformation\tOk\t"_s + Removed);
        verifyAllGone(shell);
        QDirIterator left(home, QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
        QVERIFY2(!left.hasNext(), qPrintable(left.hasNext() ? left.next() : QString()));
        QVERIFY(QTest::qWaitFor([&] { return !QFile::exists(m_program); }, 20000));
        QVERIFY(QTest::qWaitFor([&] { return !QFile::exists(shell.removalScriptPath()); }, 5000));
        if (userFile) {
            QVERIFY(QFile::exists(m_folder + u"/мой текст.txt"_s));
        } else {
            QVERIFY(QTest::qWaitFor([&] { return !QFileInfo::exists(m_folder); }, 5000));
        }
    }
};

QTEST_GUILESS_MAIN(TestSelfUninstall)
#include "tst_selfuninstall.moc"
