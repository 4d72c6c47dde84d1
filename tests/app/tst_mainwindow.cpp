// The main window's life: start-up from the settings file, the status message, closing and restoring.
#include "app/mainwindow.h"
#include "common/core/inifile.h"
#include "common/core/textcodec.h"
#include "common/core/textfile.h"
#include "editor/formats/documentfile.h"
#include "editor/formats/documentreader.h"
#include "editor/richedit.h"
#include "editor/rtf/rtfwriter.h"
#include "organizer/clock.h"
#include "organizer/organizer.h"
#include "organizer/reminderfile.h"
#include "support/fakeprompter.h"
#include "support/fakespeechcontrol.h"
#include "support/recordingshell.h"
#include "support/testfiles.h"

#include <QComboBox>
#include <QDialog>
#include <QFile>
#include <QLabel>
#include <QMenuBar>
#include <QScrollBar>
#include <QStatusBar>
#include <QSystemTrayIcon>
#include <QTemporaryDir>
#include <QTest>
#include <QTextDocument>
#include <QTimer>
#include <QSet>
#include <QToolButton>

using namespace velmira;
using namespace Qt::StringLiterals;

namespace {

class FakeClock : public Clock
{
public:
    QDateTime moment{QDate(2026, 3, 7), QTime(9, 5, 0)};
    QDateTime now() const override { return moment; }
};

} // namespace

class TestMainWindow : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<TemporaryProgramFolder> m_home;
    FakePrompter m_prompter;
    FakeClock m_clock;

    QString file(const QString &name) const { return m_home->filePath(name); }

    static QByteArray writeRtfOf(const QString &text)
    {
        QTextDocument document;
        document.setPlainText(text);
        return writeRtf(document);
    }

    std::unique_ptr<MainWindow> makeWindow(const QStringList &arguments = {}, bool tray = true)
    {
        MainWindowServices services;
        services.prompter = &m_prompter;
        services.arguments = arguments;
        services.trayAvailable = [tray] { return tray; };
        services.createSpeechControl = [] { return std::make_unique<FakeSpeechControl>(); };
        services.clock = &m_clock;
        return std::make_unique<MainWindow>(services);
    }

    void writeSettings(const QByteArray &content)
    {
        writeFileAtomically(file(u"Settings.ini"_s), content);
    }

    static QToolButton *button(MainWindow &w, const char *name)
    {
        return w.findChild<QToolButton *>(QString::fromLatin1(name));
    }

private slots:
    void init()
    {
        m_home = std::make_unique<TemporaryProgramFolder>();
        m_prompter = FakePrompter();
        m_clock = FakeClock();
    }

    void freshStartShowsDefaults()
    {
        auto w = makeWindow();
        QVERIFY(!w->creationFailed());
        QCOMPARE(w->windowTitle(), u"Вельмира 6.1"_s);
        QVERIFY(w->findChild<QWidget *>(u"Panel2"_s)->isVisibleTo(w.get()));
        QVERIFY(button(*w, "SpeedButton13")->isChecked());
        QVERIFY(button(*w, "SpeedButton5")->isChecked());
        QVERIFY(!button(*w, "SpeedButton9")->isChecked());
        QVERIFY(w->editor()->document()->isEmpty());
        QVERIFY(!QFile::exists(file(u"Settings.ini"_s)));
        QVERIFY(w->findChild<QTimer *>(u"Timer3"_s)->isActive());
        QVERIFY(!w->findChild<QTimer *>(u"Timer1"_s)->isActive());
    }

    void everyControlHasItsNameAndAccessibleName()
    {
        auto w = makeWindow();
        const QStringList toolbar{u"SpeedButton21"_s, u"SpeedButton6"_s, u"SpeedButton7"_s, u"SpeedButton8"_s,
                                  u"SpeedButton11"_s, u"SpeedButton5"_s, u"SpeedButton9"_s, u"SpeedButton12"_s,
                                  u"SpeedButton1"_s,  u"SpeedButton23"_s, u"SpeedButton22"_s, u"SpeedButton3"_s,
                                  u"SpeedButton2"_s,  u"SpeedButton4"_s, u"SpeedButton13"_s};
        QWidget *panel = w->findChild<QWidget *>(u"Panel1"_s);
        QList<QToolButton *> inOrder = panel->findChildren<QToolButton *>();
        std::sort(inOrder.begin(), inOrder.end(), [](auto *a, auto *b) { return a->x() < b->x(); });
        QStringList names;
        for (QToolButton *b : inOrder) {
            names << b->objectName();
            QVERIFY(!b->toolTip().isEmpty());
            QCOMPARE(b->accessibleName(), b->toolTip());
            QVERIFY(!b->icon().isNull());
        }
        QCOMPARE(names, toolbar);
        QCOMPARE(w->button(u"SpeedButton6"_s)->toolTip(), u"Прочитать текст (Ctrl+Y)"_s);
        QCOMPARE(w->button(u"SpeedButton11"_s)->toolTip(), u"Прочтать буфер"_s);
        QCOMPARE(w->button(u"SpeedButton19"_s)->toolTip(), u"Подчёркнуты (Ctrl+U)"_s);
        for (const char *name : {"lstEngine", "hscPitch", "hscSpeed", "RichEdit1"})
            QVERIFY2(!w->findChild<QWidget *>(QString::fromLatin1(name))->accessibleName().isEmpty(), name);
        // A screen reader names the voice list by its label: on Linux a list box's own name is its
        // current item.
        const std::pair<const char *, const char *> labelled[] = {
            {"StaticText1", "lstEngine"}, {"StaticText3", "hscPitch"}, {"StaticText2", "hscSpeed"}};
        for (const auto &[label, control] : labelled)
            QCOMPARE(w->findChild<QLabel *>(QString::fromLatin1(label))->buddy(),
                     w->findChild<QWidget *>(QString::fromLatin1(control)));
        QCOMPARE(w->findChild<QLabel *>(u"Label1"_s)->text(), u"80"_s);
        QCOMPARE(w->findChild<QLabel *>(u"Label2"_s)->text(), u"125"_s);
        QStringList menus;
        for (QAction *a : w->menuBar()->actions())
            menus << a->text();
        QCOMPARE(menus, (QStringList{u"Файл"_s, u"Правка"_s, u"Чтение"_s, u"Дополнительно"_s}));
        QCOMPARE(w->action(u"N22"_s)->text(), u"Выход"_s);
    }

    void storedSettingsAreApplied()
    {
        writeSettings("[Global]\r\nPanel=0\r\nBuffer=1\r\nTracking=1\r\n");
        auto w = makeWindow();
        QVERIFY(!w->findChild<QWidget *>(u"Panel2"_s)->isVisibleTo(w.get()));
        QVERIFY(!button(*w, "SpeedButton13")->isChecked());
        // Both stored on: clipboard tracking wins, the two exclude each other.
        QVERIFY(button(*w, "SpeedButton9")->isChecked());
        QVERIFY(!button(*w, "SpeedButton5")->isChecked());

        w->show();
        QVERIFY(QTest::qWaitForWindowExposed(w.get()));
        const int editorTop = w->editor()->mapTo(w->centralWidget(), QPoint()).y();
        QCOMPARE(editorTop, 36);
        QTest::mouseClick(button(*w, "SpeedButton13"), Qt::LeftButton);
        QVERIFY(w->findChild<QWidget *>(u"Panel2"_s)->isVisible());
        QTRY_COMPARE(w->editor()->mapTo(w->centralWidget(), QPoint()).y(), 36 + 83);
    }

    void toggleGroupExcludes()
    {
        auto w = makeWindow();
        QToolButton *typing = button(*w, "SpeedButton5");
        QToolButton *clipboard = button(*w, "SpeedButton9");
        QVERIFY(typing->isChecked());
        QTest::mouseClick(clipboard, Qt::LeftButton);
        QVERIFY(clipboard->isChecked() && !typing->isChecked());
        QTest::mouseClick(clipboard, Qt::LeftButton);
        QVERIFY(!clipboard->isChecked() && !typing->isChecked());
        QTest::mouseClick(typing, Qt::LeftButton);
        QVERIFY(typing->isChecked() && !clipboard->isChecked());
    }

    void statusMessagesShareTheFirstFourSeconds()
    {
        auto w = makeWindow();
        auto *panel = w->findChild<QLabel *>(u"StatusPanel"_s);
        auto *timer = w->findChild<QTimer *>(u"Timer2"_s);
        w->SBM(u"первое"_s);
        QCOMPARE(panel->text(), u"первое"_s);
        // A screen reader hears each message through the label's name.
        QCOMPARE(panel->accessibleName(), u"первое"_s);
        QCOMPARE(w->statusBar()->palette().color(QPalette::Window), QColor(255, 255, 0));
        QTest::qWait(1000);
        w->SBM(u"второе"_s);
        QCOMPARE(panel->text(), u"второе"_s);
        // The running timer is not restarted: both go when the first message's time is up.
        QVERIFY(timer->isActive());
        QVERIFY(timer->remainingTime() < 3200);
        QTRY_VERIFY_WITH_TIMEOUT(panel->text().isEmpty(), 3500);
        QCOMPARE(panel->accessibleName(), u"Строка состояния"_s);
        QVERIFY(!timer->isActive());
        QVERIFY(w->statusBar()->palette().color(QPalette::Window) != QColor(255, 255, 0));
    }

    void closingStoresSettingsInOrderAndTheText()
    {
        {
            auto w = makeWindow();
            w->editor()->setPlainContent(u"Первая строка\nВторая строка"_s);
            w->editor()->setSelStart(15);
            w->editor()->setSelLength(6);
            QCOMPARE(w->editor()->textCursor().selectedText(), u"Вторая"_s);
            QVERIFY(w->action(u"Follow1"_s)->isChecked());
            w->action(u"Follow1"_s)->trigger();
            QVERIFY(w->close());
        }
        const QString ini = decodeText(readFileBytes(file(u"Settings.ini"_s)));
        QStringList keys;
        for (const QString &line : splitLines(ini))
            keys << line.section(u'=', 0, 0);
        QCOMPARE(keys, (QStringList{u"[Global]"_s, u"Panel"_s, u"Buffer"_s, u"Tracking"_s, u"SelStart"_s,
                                    u"SelLength"_s, u"Engine"_s, u"EngineVoice"_s, u"ReadCount"_s, u"ReadSpeed"_s,
                                    u"ReadPitch"_s, u"Follow"_s}));
        const IniFile settings(file(u"Settings.ini"_s));
        QCOMPARE(settings.readInteger(u"Global"_s, u"SelStart"_s, -1), 15);
        QCOMPARE(settings.readInteger(u"Global"_s, u"SelLength"_s, -1), 6);
        QVERIFY(readFileBytes(file(u"Text.rtf"_s)).startsWith("{\\rtf1"));

        auto again = makeWindow();
        QCOMPARE(again->editor()->plainTextCrLf(), u"Первая строка\r\nВторая строка"_s);
        QCOMPARE(again->editor()->textCursor().selectedText(), u"Вторая"_s);
        QVERIFY(!again->action(u"Follow1"_s)->isChecked());
    }

    void rememberedTextIsLeftAloneWhenNotWanted()
    {
        writeSettings("[Global]\r\nRemText=0\r\n");
        writeFileAtomically(file(u"Text.rtf"_s), "{\\rtf1 old}");
        {
            auto w = makeWindow();
            QVERIFY(w->editor()->document()->isEmpty());
            w->editor()->setPlainContent(u"новый текст"_s);
            w->editor()->setSelStart(2);
            QVERIFY(w->close());
        }
        QCOMPARE(readFileBytes(file(u"Text.rtf"_s)), QByteArray("{\\rtf1 old}"));
        QCOMPARE(IniFile(file(u"Settings.ini"_s)).readInteger(u"Global"_s, u"SelStart"_s, -1), 2);
    }

    void documentOnCommandLineTakesThePlaceOfTheRememberedText()
    {
        writeFileAtomically(file(u"Text.rtf"_s), "{\\rtf1 remembered}");
        writeFileAtomically(file(u"doc.txt"_s), "document");
        auto w = makeWindow({file(u"doc.txt"_s)});
        QVERIFY(!w->editor()->toPlainText().contains(u"remembered"_s));
    }

    // A long document opened at start comes into the window once it is shown, with the selection the
    // remembered text had. Until it is in, "Text.rtf" is not overwritten, whatever ends the program; a
    // long document that cannot be opened leaves the remembered text as it is, as a short one does.
    void aLongDocumentAtStartComesOnceTheWindowIsShown()
    {
        const QString text = u"Длинный текст, прочитанный после показа окна. "_s.repeated(7000);
        writeFileAtomically(file(u"Text.rtf"_s), writeRtfOf(text));
        const QByteArray remembered = readFileBytes(file(u"Text.rtf"_s));
        QVERIFY(remembered.size() >= 1024 * 1024);
        writeSettings("[Global]\r\nSelStart=8\r\nSelLength=5\r\n");
        {
            // Closed before it was ever shown: nothing read, nothing written over.
            auto w = makeWindow();
            QVERIFY(w->editor()->document()->isEmpty());
            QVERIFY(w->close());
        }
        QCOMPARE(readFileBytes(file(u"Text.rtf"_s)), remembered);

        writeSettings("[Global]\r\nSelStart=8\r\nSelLength=5\r\n");
        {
            auto w = makeWindow();
            // The status bar says what the empty editor waits for while the window's events go on,
            // and says nothing once the text is in.
            auto *status = w->findChild<QLabel *>(u"StatusPanel"_s);
            QVERIFY(status);
            QSet<QString> said;
            QTimer watch;
            connect(&watch, &QTimer::timeout, this, [&] {
                said << status->text() + u" / "_s + status->accessibleName();
            });
            watch.start(1);
            w->show();
            QTRY_COMPARE_WITH_TIMEOUT(w->editor()->toPlainText(), text, 30000);
            QVERIFY2(said.contains(u"Загружается текст из файла «Text.rtf»... / Загружается текст из файла "
                                   "«Text.rtf»..."_s),
                     qPrintable(QStringList(said.values()).join(u'|')));
            QVERIFY(status->text().isEmpty());
            QCOMPARE(w->editor()->textCursor().selectedText(), u"текст"_s);
            w->editor()->setSelStart(0);
            QVERIFY(w->close());
        }
        QCOMPARE(rtfText(file(u"Text.rtf"_s)), text);

        // Too many lines to open: the refusal comes after the window, and the remembered text stays.
        const QByteArray yesterday = readFileBytes(file(u"Text.rtf"_s));
        writeFileAtomically(file(u"строки.txt"_s), QByteArray(1100 * 1000, '\n'));
        {
            auto w = makeWindow({file(u"строки.txt"_s)});
            QVERIFY(m_prompter.messages().isEmpty());
            w->show();
            QTRY_COMPARE_WITH_TIMEOUT(m_prompter.messages().size(), 1, 30000);
            QVERIFY2(m_prompter.messages()[0].contains(u"абзацев"_s), qPrintable(m_prompter.messages()[0]));
            QVERIFY(w->editor()->document()->isEmpty());
            QVERIFY(w->close());
        }
        QCOMPARE(readFileBytes(file(u"Text.rtf"_s)), yesterday);
    }

    void failedSpeechEndsTheProgramAfterAsking()
    {
        MainWindowServices services;
        services.prompter = &m_prompter;
        services.createSpeechControl = []() -> std::unique_ptr<SpeechControl> {
            throw SpeechError(u"нет звука"_s);
        };
        m_prompter.answers.enqueue(Prompter::Button::No);
        MainWindow w(services);
        QVERIFY(w.creationFailed());
        QCOMPARE(m_prompter.asked.size(), 1);
        QCOMPARE(m_prompter.asked[0].caption, u"Вельмира 6.1"_s);
        QCOMPARE(m_prompter.asked[0].icon, Prompter::Icon::Question);
        QCOMPARE(m_prompter.asked[0].text,
                 u"Установлены не все необходимые для работы программы компоненты. Перейти на страницу "
                 "загрузки компонентов?"_s);
    }

    void hidingToTheTrayAndComingBack()
    {
        auto w = makeWindow();
        w->show();
        QVERIFY(QTest::qWaitForWindowExposed(w.get()));
        for (int round = 0; round < 2; ++round) {
            QTest::mouseClick(w->button(u"SpeedButton4"_s), Qt::LeftButton);
            QVERIFY(w->isInTray());
            QVERIFY(!w->isVisible());
            const auto icons = w->findChildren<QSystemTrayIcon *>();
            QCOMPARE(icons.size(), 1);
            QSystemTrayIcon *icon = icons.first();
            QVERIFY(icon->isVisible());
            QCOMPARE(icon->toolTip(), u"Вельмира 6.1"_s);
            emit icon->activated(QSystemTrayIcon::MiddleClick);
            QTest::qWait(20);
            QVERIFY(!w->isVisible());
            // Answered once the icon's own mouse handler has returned: the icon is hidden in answer.
            emit icon->activated(round == 0 ? QSystemTrayIcon::Trigger : QSystemTrayIcon::Context);
            QVERIFY(!w->isVisible());
            QTRY_VERIFY(w->isVisible());
            QVERIFY(!w->isInTray());
            QVERIFY(!icon->isVisible());
            QVERIFY(w->windowState() & Qt::WindowMaximized);
            // The keys go to the editor, wherever they were before.
            QCOMPARE(w->focusWidget(), w->editor());
            w->findChild<QWidget *>(u"hscSpeed"_s)->setFocus();
        }
    }

    void withoutANotificationAreaTheWindowIsMinimized()
    {
        auto w = makeWindow({}, false);
        w->show();
        QVERIFY(QTest::qWaitForWindowExposed(w.get()));
        QTest::mouseClick(w->button(u"SpeedButton4"_s), Qt::LeftButton);
        QVERIFY(!w->isInTray());
        QVERIFY(w->isVisible());
        QVERIFY(w->findChildren<QSystemTrayIcon *>().isEmpty());
        QCOMPARE(w->findChild<QLabel *>(u"StatusPanel"_s)->text(), u"Нет области уведомлений: окно свёрнуто"_s);
    }

    void recordingNeedsAText()
    {
        auto w = makeWindow();
        QTest::mouseClick(w->button(u"SpeedButton12"_s), Qt::LeftButton);
        QCOMPARE(w->findChild<QLabel *>(u"StatusPanel"_s)->text(), u"Нет текста для записи"_s);
        auto *recording = w->findChild<QDialog *>(u"TForm3"_s);
        QVERIFY(recording);
        QVERIFY(!recording->isVisible());

        w->editor()->setPlainContent(u"Текст"_s);
        QString shownTitle;
        QTimer::singleShot(50, recording, [&] {
            shownTitle = recording->windowTitle();
            recording->close();
        });
        w->action(u"N16"_s)->trigger();
        QCOMPARE(shownTitle, u"Запись голоса в звуковой файл"_s);
    }

    void helpAndWebSiteOpenOnTheDesktop()
    {
        RecordingShell shell(m_home->path());
        MainWindowServices services;
        services.prompter = &m_prompter;
        services.shell = &shell;
        services.createSpeechControl = [] { return std::make_unique<FakeSpeechControl>(); };
        MainWindow w(services);
        w.action(u"N19"_s)->trigger();
        QCOMPARE(w.findChild<QLabel *>(u"StatusPanel"_s)->text(), u"Не найден файл справки"_s);
        QVERIFY(shell.opened.isEmpty());
        writeFileAtomically(file(u"Help.rtf"_s), "{\\rtf1 }");
        w.action(u"N19"_s)->trigger();
        w.action(u"N42"_s)->trigger();
        QCOMPARE(shell.opened, (QList<QUrl>{QUrl::fromLocalFile(file(u"Help.rtf"_s)),
                                            QUrl(u"https://velmira.example.org"_s)}));
    }

    // The choices of the box that a failed save at closing shows.
    static QStringList closingChoices(bool text)
    {
        return text ? QStringList{u"&Повторить"_s, u"&Сохранить как..."_s, u"&Закрыть без сохранения"_s,
                                  u"Отмена"_s}
                    : QStringList{u"&Повторить"_s, u"&Закрыть без сохранения"_s, u"Отмена"_s};
    }

    static QString rtfText(const QString &path)
    {
        QTextDocument document;
        readDocumentFile(path, document);
        return document.toPlainText();
    }

    // A text that cannot be saved at closing keeps the window open and asks what to do: try again, save
    // it elsewhere, close anyway, or go back to work.
    void aFailedSaveAtClosingLeavesTheChoiceToTheUser()
    {
        writeFileAtomically(file(u"Text.rtf"_s), writeRtfOf(u"Вчерашний текст"_s));
        auto w = makeWindow();
        w->editor()->setPlainContent(u"Набранный сегодня текст"_s);
        // A folder in the place of the file: no write can replace it, as on a full disk.
        QVERIFY(QFile::remove(file(u"Text.rtf"_s)));
        QVERIFY(QDir().mkpath(file(u"Text.rtf"_s)));

        // Esc: back to work, nothing lost, nothing written.
        QVERIFY(!w->close());
        QCOMPARE(w->editor()->toPlainText(), u"Набранный сегодня текст"_s);
        QVERIFY(w->speech());
        QCOMPARE(m_prompter.asked.size(), 1);
        const FakePrompter::Asked box = m_prompter.asked[0];
        QCOMPARE(box.caption, u"Вельмира 6.1"_s);
        QCOMPARE(box.icon, Prompter::Icon::Warning);
        QVERIFY2(box.text.startsWith(u"Не удалось сохранить текст в файл «%1».\r\nПричина: "_s.arg(
                     QDir::toNativeSeparators(file(u"Text.rtf"_s)))),
                 qPrintable(box.text));
        QCOMPARE(box.choices, closingChoices(true));
        QCOMPARE(box.choices[box.defaultChoice], u"&Сохранить как..."_s);
        QCOMPARE(box.choices[box.escapeChoice], u"Отмена"_s);
        QVERIFY(!QFile::exists(file(u"Settings.ini"_s)));

        // Save as, cancelled in the file box: the same question again; then saved under another name.
        m_prompter.asked.clear();
        m_prompter.choices << u"&Сохранить как..."_s << u"&Сохранить как..."_s;
        m_prompter.files << QString() << file(u"спасённый"_s);
        QVERIFY(w->close());
        QCOMPARE(rtfText(file(u"спасённый.rtf"_s)), u"Набранный сегодня текст"_s);
        QCOMPARE(m_prompter.messages().size(), 2);
        // The settings are written all the same; the selection of the remembered text is not touched.
        const IniFile settings(file(u"Settings.ini"_s));
        QCOMPARE(settings.readInteger(u"Global"_s, u"Panel"_s, -7), 1);
        QCOMPARE(settings.readInteger(u"Global"_s, u"SelStart"_s, -7), -7);
    }

    void tryingAgainOrClosingAnyway()
    {
        writeFileAtomically(file(u"Text.rtf"_s), writeRtfOf(u"Вчерашний текст"_s));
        const QByteArray yesterday = readFileBytes(file(u"Text.rtf"_s));
        {
            auto w = makeWindow();
            w->editor()->setPlainContent(u"Сегодняшний текст"_s);
            QVERIFY(QFile::rename(file(u"Text.rtf"_s), file(u"Text.rtf.bak"_s)));
            QVERIFY(QDir().mkpath(file(u"Text.rtf"_s)));
            m_prompter.choices << u"&Закрыть без сохранения"_s;
            QVERIFY(w->close());
            QVERIFY(!w->speech());
        }
        QVERIFY(QDir().rmdir(file(u"Text.rtf"_s)));
        QVERIFY(QFile::rename(file(u"Text.rtf.bak"_s), file(u"Text.rtf"_s)));
        QCOMPARE(readFileBytes(file(u"Text.rtf"_s)), yesterday);

        // The folder goes away while the box is open (the user made room): a second try saves.
        auto w = makeWindow();
        w->editor()->setPlainContent(u"Сегодняшний текст"_s);
        QVERIFY(QFile::remove(file(u"Text.rtf"_s)));
        QVERIFY(QDir().mkpath(file(u"Text.rtf"_s)));
        m_prompter.choices << u"&Повторить"_s << u"&Повторить"_s;
        m_prompter.whenAsked = [&] {
            if (m_prompter.asked.size() == 2)
                QVERIFY(QDir().rmdir(file(u"Text.rtf"_s)));
        };
        QVERIFY(w->close());
        QCOMPARE(m_prompter.asked.size(), 2);
        QCOMPARE(rtfText(file(u"Text.rtf"_s)), u"Сегодняшний текст"_s);
    }

    // A settings file that cannot be written no longer costs the text; the box names the settings file.
    void unwritableSettingsDoNotCostTheText()
    {
        QVERIFY(QDir().mkpath(file(u"Settings.ini"_s)));
        auto w = makeWindow();
        w->editor()->setPlainContent(u"Текст при сломанных настройках"_s);
        m_prompter.choices << u"&Закрыть без сохранения"_s;
        QVERIFY(w->close());
        QCOMPARE(rtfText(file(u"Text.rtf"_s)), u"Текст при сломанных настройках"_s);
        QCOMPARE(m_prompter.asked.size(), 1);
        QVERIFY2(m_prompter.asked[0].text.startsWith(u"Не удалось сохранить настройки в файл «%1»."_s.arg(
                     QDir::toNativeSeparators(file(u"Settings.ini"_s)))),
                 qPrintable(m_prompter.asked[0].text));
        QCOMPARE(m_prompter.asked[0].choices, closingChoices(false));
    }

    // A document that was never opened does not replace the remembered text; one the user then types
    // does.
    void aRefusedDocumentLeavesTheRememberedText()
    {
        writeFileAtomically(file(u"Text.rtf"_s), writeRtfOf(u"Вчерашний текст"_s));
        writeSettings("[Global]\r\nSelStart=3\r\n");
        const QByteArray yesterday = readFileBytes(file(u"Text.rtf"_s));
        QFile big(file(u"big70.txt"_s));
        QVERIFY(big.open(QIODevice::WriteOnly));
        QVERIFY(big.resize(MaxDocumentSize + 1));
        big.close();
        {
            auto w = makeWindow({big.fileName()});
            QVERIFY(w->editor()->document()->isEmpty());
            QVERIFY(w->close());
        }
        QCOMPARE(readFileBytes(file(u"Text.rtf"_s)), yesterday);
        QCOMPARE(IniFile(file(u"Settings.ini"_s)).readInteger(u"Global"_s, u"SelStart"_s, -1), 3);

        auto w = makeWindow({big.fileName()});
        QTest::keyClicks(w->editor(), u"new"_s);
        QVERIFY(w->close());
        QCOMPARE(rtfText(file(u"Text.rtf"_s)), u"new"_s);
    }

    // A remembered text that cannot be read is named with the reason; the program starts empty and
    // leaves the file alone.
    void anUnreadableRememberedTextIsReportedAndKept_data()
    {
        QTest::addColumn<bool>("folder");
        QTest::newRow("a folder named Text.rtf") << true;
        QTest::newRow("larger than any text") << false;
    }

    void anUnreadableRememberedTextIsReportedAndKept()
    {
        QFETCH(bool, folder);
        if (folder) {
            QVERIFY(QDir().mkpath(file(u"Text.rtf"_s)));
        } else {
            QFile huge(file(u"Text.rtf"_s));
            QVERIFY(huge.open(QIODevice::WriteOnly));
            QVERIFY(huge.write("{\\rtf1 ") == 7);
            QVERIFY(huge.resize(MaxRtfSize + 1));
        }
        auto w = makeWindow();
        QVERIFY(!w->creationFailed());
        QVERIFY(w->editor()->document()->isEmpty());
        QCOMPARE(m_prompter.asked.size(), 1);
        QCOMPARE(m_prompter.asked[0].icon, Prompter::Icon::Warning);
        QVERIFY2(m_prompter.asked[0].text.contains(u"Text.rtf"_s) &&
                     m_prompter.asked[0].text.contains(folder ? u"directory"_s : u"слишком велик"_s),
                 qPrintable(m_prompter.asked[0].text));
        QVERIFY(w->close());
        QCOMPARE(m_prompter.asked.size(), 1);
        QCOMPARE(QFileInfo(file(u"Text.rtf"_s)).isDir(), folder);
        if (!folder)
            QCOMPARE(QFileInfo(file(u"Text.rtf"_s)).size(), MaxRtfSize + 1);
    }

    void storeReminders(const QList<ReminderTable::Row> &rows)
    {
        ReminderTable table;
        table.setReminders(rows);
        SaveOTable(table, file(u"Organayzer.txt"_s));
    }

    void closingAsksOnlyWhileAReminderIsOn()
    {
        storeReminders({{u"Обед"_s, u"13:30"_s, {}, u"Пора обедать"_s, u"голос"_s, u"выкл."_s}});
        {
            auto w = makeWindow();
            w->show();
            QVERIFY(w->close());
            QVERIFY(m_prompter.asked.isEmpty());
        }
        storeReminders({{u"Обед"_s, u"13:30"_s, {}, u"Пора обедать"_s, u"голос"_s, u"выкл."_s},
                        {u"Сон"_s, u"23:00"_s, {}, u"Пора спать"_s, u"голос"_s, u"вкл."_s}});
        auto w = makeWindow();
        w->show();
        m_prompter.answers.enqueue(Prompter::Button::Cancel);
        QVERIFY(!w->close());
        QVERIFY(w->isVisible());
        QCOMPARE(m_prompter.asked.size(), 1);
        QVERIFY(m_prompter.asked.first().text.startsWith(u"В случае закрытия Органайзер отключится.\r\n"_s));
        m_prompter.answers.enqueue(Prompter::Button::No);
        QVERIFY(w->close());
    }

    void dueReminderSpeaksAndShowsOnTimer3()
    {
        storeReminders({{u"Обед"_s, u"09:05"_s, {}, u"Пора обедать"_s, u"голос+текст"_s, u"вкл."_s}});
        const QByteArray before = readFileBytes(file(u"Organayzer.txt"_s));
        auto w = makeWindow();
        auto *speech = dynamic_cast<FakeSpeechControl *>(w->speech());
        QVERIFY(speech);
        speech->clear();
        w->findChild<QTimer *>(u"Timer3"_s)->setInterval(5);
        QTRY_COMPARE(m_prompter.asked.size(), 1);
        QCOMPARE(m_prompter.asked.first().text, u"Напоминание от программы Вельмира 6.1:\r\nПора обедать"_s);
        QCOMPARE(speech->calls, (QStringList{u"AudioReset"_s, u"Speak:Пора обедать"_s}));
        QCOMPARE(w->organizer()->table().cell(1, ReminderTable::LastFired), u"07.03.2026"_s);
        QVERIFY(readFileBytes(file(u"Organayzer.txt"_s)) != before);
        QTest::qWait(50); // further ticks in the same minute fire nothing
        QCOMPARE(m_prompter.asked.size(), 1);
    }

    void fullHourIsAnnouncedUnlessTimeIsOff_data()
    {
        QTest::addColumn<QByteArray>("settings");
        QTest::addColumn<QStringList>("spoken");
        QTest::newRow("Time on") << QByteArray() << QStringList{u"Системное время: 10 часов."_s};
        QTest::newRow("Time off") << QByteArray("[Global]\r\nTime=0\r\n") << QStringList();
    }

    void fullHourIsAnnouncedUnlessTimeIsOff()
    {
        QFETCH(QByteArray, settings);
        QFETCH(QStringList, spoken);
        if (!settings.isEmpty())
            writeSettings(settings);
        m_clock.moment.setTime(QTime(9, 59, 58));
        auto w = makeWindow();
        w->show();
        auto *speech = dynamic_cast<FakeSpeechControl *>(w->speech());
        auto *timer3 = w->findChild<QTimer *>(u"Timer3"_s);
        timer3->setInterval(5);
        QTest::qWait(30);
        m_clock.moment.setTime(QTime(10, 0, 3));
        QTest::qWait(50);
        QCOMPARE(speech->spoken.filter(u"Системное время"_s), spoken);
    }

    void toolbarAndMenuOpenTheOrganizer()
    {
        auto w = makeWindow();
        int opened = 0;
        auto closeWhenShown = [&] {
            QTimer::singleShot(0, w.get(), [&] {
                auto *organizer = w->findChild<QDialog *>(u"TForm9"_s);
                QVERIFY(organizer && organizer->isVisible());
                ++opened;
                organizer->reject();
            });
        };
        closeWhenShown();
        QTest::mouseClick(w->button(u"SpeedButton3"_s), Qt::LeftButton);
        closeWhenShown();
        w->action(u"N41"_s)->trigger();
        QCOMPARE(opened, 2);
        QVERIFY(w->findChild<QDialog *>(u"TForm10"_s));
    }
};

QTEST_MAIN(TestMainWindow)
#include "tst_mainwindow.moc"
