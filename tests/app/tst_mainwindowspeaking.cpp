// Speaking from the main window without a Read command: the greeting, typing and clipboard tracking
// with their buttons and menu items, and repeated reading with its count kept at exit.
#include "app/mainwindow.h"
#include "common/core/inifile.h"
#include "common/core/textfile.h"
#include "editor/richedit.h"
#include "support/fakeprompter.h"
#include "support/fakeservices.h"
#include "support/fakespeechcontrol.h"
#include "support/testfiles.h"
#include "support/typetext.h"

#include <QAction>
#include <QClipboard>
#include <QDialog>
#include <QGuiApplication>
#include <QLineEdit>
#include <QSystemTrayIcon>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QToolButton>

using namespace velmira;
using namespace Qt::StringLiterals;

class TestMainWindowSpeaking : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<TemporaryProgramFolder> m_home;
    FakePrompter m_prompter;
    FakeSpeechControl *m_speech = nullptr;

    std::unique_ptr<MainWindow> makeWindow()
    {
        return std::make_unique<MainWindow>(fakeServices(m_prompter, &m_speech));
    }

    std::unique_ptr<MainWindow> showWindow()
    {
        return shown(makeWindow());
    }

    void writeSettings(const QByteArray &content)
    {
        writeFileAtomically(m_home->filePath(u"Settings.ini"_s), content);
    }

    void writeGreetings() { writeFileAtomically(m_home->filePath(u"Greetings.txt"_s), "Раз!\r\nДва!"); }

    static QTimer *timer1(MainWindow &w) { return w.findChild<QTimer *>(u"Timer1"_s); }

private slots:
    void init()
    {
        m_home = std::make_unique<TemporaryProgramFolder>();
        m_prompter = FakePrompter();
        QGuiApplication::clipboard()->clear();
    }

    void menuItemsOfThisPart()
    {
        auto w = makeWindow();
        const QList<std::pair<const char *, QString>> items{
            {"N39", u"Читать текст несколько раз"_s}, {"N12", u"Прочтать буфер"_s},
            {"N43", u"Произнести приветствие"_s},      {"N21", u"Слежение за набором текста"_s},
            {"N15", u"Слежение за буфером"_s}};
        for (const auto &[name, caption] : items)
            QCOMPARE(w->action(QString::fromLatin1(name))->text(), caption);
    }

    void greetingIsTheLastStepOfTheFirstShowing()
    {
        writeGreetings();
        auto w = showWindow();
        QVERIFY(w);
        const QStringList calls = m_speech->calls;
        QVERIFY(calls.first() == u"Speak:"_s);
        QVERIFY2(calls.last() == u"Speak:Два!"_s, qPrintable(calls.join(u'|')));
        QCOMPARE(IniFile::settings().readInteger(IniFile::global(), u"LastGreeting"_s, -1), 1);

        // On command, behind what is speaking, never the same line twice in a row.
        m_speech->clear();
        QTest::mouseClick(w->button(u"SpeedButton2"_s), Qt::LeftButton);
        w->action(u"N43"_s)->trigger();
        QCOMPARE(m_speech->calls, (QStringList{u"Speak:Раз!"_s, u"Speak:Два!"_s}));

        // Coming back from the notification area greets nobody.
        m_speech->clear();
        w->hideToTray();
        QVERIFY(w->isInTray());
        emit w->findChild<QSystemTrayIcon *>()->activated(QSystemTrayIcon::Trigger);
        QTRY_VERIFY(w->isVisible());
        QVERIFY(!m_speech->spoken.contains(u"Раз!"_s) && !m_speech->spoken.contains(u"Два!"_s));
    }

    void greetingOffIsSilent()
    {
        writeGreetings();
        writeSettings("[Global]\r\nGreeting=0\r\n");
        auto w = showWindow();
        QVERIFY(w);
        QCOMPARE(m_speech->calls.filter(u"!"_s), QStringList());
    }

    void typedWordsAreSpokenAfterTheShortcuts()
    {
        auto w = showWindow();
        QVERIFY(w);
        QVERIFY(w->button(u"SpeedButton5"_s)->isChecked());
        m_speech->clear();
        w->editor()->setFocus();
        typeText(w->editor(), u"Привет, мир."_s);
        QCOMPARE(m_speech->spoken, (QStringList{u"Привет"_s, QString(), u"мир"_s}));

        // A shortcut's key pauses and is neither typed nor ends a word.
        m_speech->clear();
        QTest::keyClick(w->editor(), Qt::Key_P, Qt::ControlModifier);
        QCOMPARE(m_speech->calls, QStringList{u"AudioPause"_s});
        QCOMPARE(w->editor()->plainTextCrLf(), u"Привет, мир."_s);

        // The menu item flips the button, and the editor then speaks nothing.
        w->action(u"N21"_s)->trigger();
        QVERIFY(!w->button(u"SpeedButton5"_s)->isChecked());
        m_speech->clear();
        typeText(w->editor(), u" да."_s);
        QVERIFY(m_speech->spoken.isEmpty());
    }

    void clipboardTrackingFromTheToolbarAndTheMenu()
    {
        QGuiApplication::clipboard()->setText(u"В буфере"_s);
        auto w = makeWindow();
        QToolButton *clipboard = w->button(u"SpeedButton9"_s);
        QToolButton *typing = w->button(u"SpeedButton5"_s);

        w->action(u"N15"_s)->trigger();
        QVERIFY(clipboard->isChecked() && !typing->isChecked());
        QVERIFY(timer1(*w)->isActive());
        // Not seen before: spoken at the first tick.
        QTRY_COMPARE_WITH_TIMEOUT(m_speech->spoken, QStringList{u"В буфере"_s}, 2500);

        // Typing tracking going on releases clipboard tracking, and the polling with it.
        QTest::mouseClick(typing, Qt::LeftButton);
        QVERIFY(!clipboard->isChecked());
        QVERIFY(!timer1(*w)->isActive());

        QTest::mouseClick(clipboard, Qt::LeftButton);
        QVERIFY(timer1(*w)->isActive());
        m_speech->clear();
        QTest::mouseClick(clipboard, Qt::LeftButton);
        QVERIFY(!timer1(*w)->isActive());
        QCOMPARE(m_speech->calls, QStringList{u"AudioReset"_s});

        m_speech->clear();
        QTest::mouseClick(w->button(u"SpeedButton11"_s), Qt::LeftButton);
        w->action(u"N12"_s)->trigger();
        QCOMPARE(m_speech->spoken, (QStringList{u"В буфере"_s, u"В буфере"_s}));
    }

    void clipboardTrackingStoredOnStartsWithoutSpeaking()
    {
        QGuiApplication::clipboard()->setText(u"Старый текст"_s);
        writeSettings("[Global]\r\nBuffer=1\r\n");
        auto w = makeWindow();
        QVERIFY(w->button(u"SpeedButton9"_s)->isChecked());
        QVERIFY(timer1(*w)->isActive());
        QTest::qWait(1300);
        QVERIFY(!m_speech->spoken.contains(u"Старый текст"_s));
        QVERIFY(w->close());
        QCOMPARE(IniFile::settings().readBool(IniFile::global(), u"Buffer"_s, false), true);
    }

    void repeatedReadingOpensFromTheToolbarAndTheMenu()
    {
        auto w = makeWindow();
        w->editor()->setPlainContent(u"Текст"_s);
        int opened = 0;
        auto readWhenShown = [&] {
            QTimer::singleShot(0, w.get(), [&] {
                auto *window = w->findChild<QDialog *>(u"TForm7"_s);
                QVERIFY(window && window->isVisible());
                ++opened;
                window->findChild<QLineEdit *>(u"Edit1"_s)->setText(u"2"_s);
                QTest::keyClick(window->findChild<QLineEdit *>(u"Edit1"_s), Qt::Key_Return);
            });
        };
        m_speech->clear();
        readWhenShown();
        QTest::mouseClick(w->button(u"SpeedButton21"_s), Qt::LeftButton);
        readWhenShown();
        w->action(u"N39"_s)->trigger();
        QCOMPARE(opened, 2);
        QCOMPARE(m_speech->spoken, (QStringList{u"Текст. Текст. "_s, u"Текст. Текст. "_s}));
    }

    void countOfAnEarlierRunSurvivesARunWithoutRepeatedReading()
    {
        writeSettings("[Global]\r\nReadCount=7\r\n");
        {
            auto w = makeWindow();
            QVERIFY(w->close());
        }
        QCOMPARE(IniFile::settings().readString(IniFile::global(), u"ReadCount"_s, {}), u"7"_s);
    }
};

QTEST_MAIN(TestMainWindowSpeaking)
#include "tst_mainwindowspeaking.moc"
