// The settings window: boxes set from what is stored, every change applied at once, the pronunciation
// dialog, closing, and the menu item that opens it.
#include "app/application.h"
#include "app/mainwindow.h"
#include "app/settingswindow.h"
#include "common/core/inifile.h"
#include "common/core/programfolder.h"
#include "common/ui/labelbutton.h"
#include "support/fakeprompter.h"
#include "support/fakespeechcontrol.h"
#include "support/recordingshell.h"
#include "support/testfiles.h"

#include <QAction>
#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

using namespace velmira;
using namespace Qt::StringLiterals;

namespace {

// The general error box goes through this prompter.
FakePrompter *errorBoxes = nullptr;

} // namespace

class TestSettingsWindow : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<QTemporaryDir> m_tmp;
    std::unique_ptr<RecordingShell> m_shell;
    FakeSpeechControl m_speech;
    std::unique_ptr<SettingsWindow> m_window;

    QCheckBox *box(const char *name) const { return m_window->findChild<QCheckBox *>(QString::fromLatin1(name)); }
    QString settingsFile() const { return programFile(u"Settings.ini"_s); }
    bool setting(const QString &key, bool defaultValue) const
    {
        return IniFile::settings().readBool(IniFile::global(), key, defaultValue);
    }
    void reopen()
    {
        m_window->hide();
        m_window->show();
    }

private slots:
    void init()
    {
        m_tmp = std::make_unique<QTemporaryDir>();
        qputenv("VELMIRA_HOME", m_tmp->filePath(u"program"_s).toUtf8());
        QVERIFY(QDir().mkpath(m_tmp->filePath(u"program"_s)));
        m_shell = std::make_unique<RecordingShell>(m_tmp->filePath(u"home"_s));
        m_speech.failWith.clear();
        m_speech.clear();
        errorBoxes->asked.clear();
        m_window = std::make_unique<SettingsWindow>(m_shell.get(), [this] { return &m_speech; });
    }

    void firstOpeningShowsTheDefaults()
    {
        m_window->show();
        QCOMPARE(m_window->objectName(), u"TForm4"_s);
        QCOMPARE(m_window->windowTitle(), u"Настройки программы"_s);
        const QList<std::pair<const char *, QString>> captions{
            {"CheckBox2", u"Автозагрузка при старте Windows"_s},
            {"CheckBox3", u"Говорить приветствие"_s},
            {"CheckBox6", u"Произносить время каждый час"_s},
            {"CheckBox1", u"Запоминать текст при выходе"_s},
            {"CheckBox4", u"Добавить Вельмиру в меню .TXT файлов"_s},
            {"CheckBox5", u"Добавить Вельмиру в меню .RTF файлов"_s}};
        int lastY = -1;
        for (const auto &[name, caption] : captions) {
            QCOMPARE(box(name)->text(), caption);
            QVERIFY2(box(name)->y() > lastY, name); // top to bottom in this order
            lastY = box(name)->y();
        }
        QVERIFY(box("CheckBox1")->isChecked());
        QVERIFY(box("CheckBox3")->isChecked());
        QVERIFY(box("CheckBox6")->isChecked());
        QVERIFY(!box("CheckBox2")->isChecked());
        QVERIFY(!box("CheckBox4")->isChecked());
        QVERIFY(!box("CheckBox5")->isChecked());
        QCOMPARE(m_window->findChild<LabelButton *>(u"StaticText2"_s)->text(), u"Свойства произношения"_s);
        QCOMPARE(m_window->findChild<LabelButton *>(u"StaticText1"_s)->text(), u"OK"_s);
        // Nothing outside the program was touched.
        QVERIFY(!QFile::exists(m_shell->location(ShellEntry::Autostart)));
        QVERIFY(!QFile::exists(m_shell->location(ShellEntry::OpenWithText)));
        QVERIFY(errorBoxes->asked.isEmpty());
    }

    void everyBoxAppliesAtOnceAndComesBackOnReopening_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("key");   // a key of "Settings.ini"...
        QTest::addColumn<int>("entry");     // ...or a desktop entry
        QTest::newRow("RemText") << u"CheckBox1"_s << u"RemText"_s << -1;
        QTest::newRow("Greeting") << u"CheckBox3"_s << u"Greeting"_s << -1;
        QTest::newRow("Time") << u"CheckBox6"_s << u"Time"_s << -1;
        QTest::newRow("autostart") << u"CheckBox2"_s << QString() << int(ShellEntry::Autostart);
        QTest::newRow("open .txt") << u"CheckBox4"_s << QString() << int(ShellEntry::OpenWithText);
        QTest::newRow("open .rtf") << u"CheckBox5"_s << QString() << int(ShellEntry::OpenWithRtf);
    }
    void everyBoxAppliesAtOnceAndComesBackOnReopening()
    {
        QFETCH(QString, name);
        QFETCH(QString, key);
        QFETCH(int, entry);
        auto stored = [&] {
            return key.isEmpty() ? m_shell->startsProgram(ShellEntry(entry), executablePath()) : setting(key, true);
        };
        m_window->show();
        auto *b = m_window->findChild<QCheckBox *>(name);
        const bool before = b->isChecked();
        QCOMPARE(stored(), before);
        for (bool expected : {!before, before, !before}) {
            QTest::mouseClick(b, Qt::LeftButton, {}, QPoint(6, b->height() / 2));
            QCOMPARE(b->isChecked(), expected);
            QCOMPARE(stored(), expected);
            reopen();
            QCOMPARE(b->isChecked(), expected);
        }
        QVERIFY(errorBoxes->asked.isEmpty());
    }

    void anEntryMadeForAnotherPathShowsUnchecked()
    {
        const QString other = u"/home/другой/Вельмира/velmira"_s;
        m_shell->write(ShellEntry::OpenWithText, {u"Открыть Вельмирой"_s, {}, other, {}, {}, {}, {}});
        m_shell->write(ShellEntry::Autostart, {u"Вельмира"_s, {}, executablePath().toUpper(), {}, {}, {}, {}});
        const QByteArray before = fileBytes(m_shell->location(ShellEntry::OpenWithText));
        m_window->show();
        QVERIFY(!box("CheckBox4")->isChecked());
        QVERIFY(!box("CheckBox2")->isChecked());
        // Opening changed no box, so the other program's entry is left as it was.
        QCOMPARE(fileBytes(m_shell->location(ShellEntry::OpenWithText)), before);

        // Checking the box makes the entry for this program.
        QTest::mouseClick(box("CheckBox4"), Qt::LeftButton, {}, QPoint(6, 10));
        QVERIFY(m_shell->startsProgram(ShellEntry::OpenWithText, executablePath()));
    }

    void openingAndClosingChangesNoValue()
    {
        IniFile settings = IniFile::settings();
        settings.writeBool(IniFile::global(), u"Greeting"_s, false);
        settings.writeBool(IniFile::global(), u"Time"_s, true);
        settings.writeBool(IniFile::global(), u"RemText"_s, false);
        m_shell->write(ShellEntry::OpenWithRtf, {u"Открыть Вельмирой"_s, {}, executablePath(), {}, {}, {}, {}});
        const QByteArray ini = fileBytes(settingsFile());
        const QByteArray rtf = fileBytes(m_shell->location(ShellEntry::OpenWithRtf));
        for (int i = 0; i < 2; ++i) {
            m_window->show();
            QVERIFY(!box("CheckBox3")->isChecked());
            QVERIFY(box("CheckBox6")->isChecked());
            QVERIFY(!box("CheckBox1")->isChecked());
            QVERIFY(box("CheckBox5")->isChecked());
            m_window->hide();
        }
        QCOMPARE(fileBytes(settingsFile()), ini);
        QCOMPARE(fileBytes(m_shell->location(ShellEntry::OpenWithRtf)), rtf);
    }

    void aFailedWriteShowsTheGeneralErrorBox()
    {
        m_window->show();
        // A folder where the settings file should be makes every write fail.
        QFile::remove(settingsFile());
        QVERIFY(QDir().mkpath(settingsFile()));
        QTest::mouseClick(box("CheckBox3"), Qt::LeftButton, {}, QPoint(6, 10));
        QVERIFY(!box("CheckBox3")->isChecked()); // the box keeps its new state
        QCOMPARE(errorBoxes->asked.size(), 1);
        QCOMPARE(errorBoxes->asked.first().icon, Prompter::Icon::Critical);
        QCOMPARE(errorBoxes->asked.first().text, u"Unable to write to "_s + settingsFile());
    }

    void pronunciationOpensTheEnginesDialog()
    {
        m_window->show();
        auto *link = m_window->findChild<LabelButton *>(u"StaticText2"_s);
        QTest::mouseClick(link, Qt::LeftButton);
        QCOMPARE(m_speech.calls, QStringList{u"LexiconDlg:Свойства произношения"_s});
        QVERIFY(errorBoxes->asked.isEmpty());

        m_speech.failWith = u"У голоса нет настроек произношения"_s;
        QTest::mouseClick(link, Qt::LeftButton);
        QCOMPARE(errorBoxes->asked.size(), 1);
        QCOMPARE(errorBoxes->asked.first().text, u"У голоса нет настроек произношения"_s);
        QVERIFY(m_window->isVisible());
    }

    void okEnterAndEscClose_data()
    {
        QTest::addColumn<int>("how");
        QTest::newRow("OK") << 0;
        QTest::newRow("Enter") << 1;
        QTest::newRow("Esc") << 2;
        QTest::newRow("Enter on a check box") << 3;
    }
    void okEnterAndEscClose()
    {
        QFETCH(int, how);
        bool wasOpen = false;
        QTimer::singleShot(50, m_window.get(), [&] {
            wasOpen = m_window->isVisible();
            if (how == 0)
                QTest::mouseClick(m_window->findChild<LabelButton *>(u"StaticText1"_s), Qt::LeftButton);
            else if (how == 3)
                QTest::keyClick(box("CheckBox4"), Qt::Key_Return);
            else
                QTest::keyClick(m_window.get(), how == 1 ? Qt::Key_Return : Qt::Key_Escape);
        });
        QTimer::singleShot(3000, m_window.get(), &QWidget::close); // a failing test must not hang
        m_window->exec();
        QVERIFY(wasOpen);
        QVERIFY(!m_window->isVisible());
        QVERIFY(!box("CheckBox4")->isChecked());
    }

    void theMenuItemOpensTheWindow()
    {
        FakePrompter prompter;
        MainWindowServices services;
        services.prompter = &prompter;
        services.shell = m_shell.get();
        services.createSpeechControl = [] { return std::make_unique<FakeSpeechControl>(); };
        MainWindow main(services);
        QWidget *shown = nullptr;
        QTimer::singleShot(50, &main, [&] {
            shown = QApplication::activeModalWidget();
            if (shown)
                shown->close();
        });
        main.action(u"N17"_s)->trigger();
        QVERIFY(shown);
        QCOMPARE(shown->objectName(), u"TForm4"_s);
        QCOMPARE(shown->parentWidget(), &main);
    }
};

int main(int argc, char *argv[])
{
    Application app(argc, argv);
    FakePrompter prompter;
    errorBoxes = &prompter;
    app.setPrompter(&prompter);
    TestSettingsWindow test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_settingswindow.moc"
