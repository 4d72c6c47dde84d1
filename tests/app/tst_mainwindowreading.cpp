// Reading from the main window: its buttons, menu items and keys, and engine, speed and pitch kept
// from one run to the next.
#include "app/mainwindow.h"
#include "common/core/inifile.h"
#include "editor/richedit.h"
#include "support/fakeprompter.h"
#include "support/fakeservices.h"
#include "support/fakespeechcontrol.h"
#include "support/testfiles.h"

#include <QAction>
#include <QComboBox>
#include <QLabel>
#include <QScrollBar>
#include <QTemporaryDir>
#include <QTest>
#include <QToolButton>

using namespace velmira;
using namespace Qt::StringLiterals;

class TestMainWindowReading : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<TemporaryProgramFolder> m_home;
    FakePrompter m_prompter;
    FakeSpeechControl *m_speech = nullptr;

    std::unique_ptr<MainWindow> showWindow()
    {
        return shown(std::make_unique<MainWindow>(fakeServices(m_prompter, &m_speech)));
    }

private slots:
    void init()
    {
        m_home = std::make_unique<TemporaryProgramFolder>();
        m_prompter = FakePrompter();
    }

    void everyReadingCommandIsReachable()
    {
        auto w = showWindow();
        QVERIFY(w);
        QCOMPARE(w->findChild<QComboBox *>(u"lstEngine"_s)->count(), 2);
        w->editor()->setPlainContent(u"Текст"_s);
        m_speech->clear();

        QTest::mouseClick(w->button(u"SpeedButton6"_s), Qt::LeftButton);
        w->action(u"N9"_s)->trigger();
        w->action(u"N25"_s)->trigger();
        QCOMPARE(m_speech->spoken, (QStringList{u"Текст"_s, u"Текст"_s, u"Текст"_s}));

        m_speech->clear();
        QTest::mouseClick(w->button(u"SpeedButton7"_s), Qt::LeftButton);
        w->action(u"N10"_s)->trigger();
        QTest::mouseClick(w->button(u"SpeedButton8"_s), Qt::LeftButton);
        w->action(u"N11"_s)->trigger();
        QCOMPARE(m_speech->calls, (QStringList{u"AudioPause"_s, u"AudioPause"_s, u"AudioReset"_s, u"AudioReset"_s}));

        // Ctrl+Y and Ctrl+P in the editor run their commands and type nothing.
        m_speech->clear();
        w->editor()->setFocus();
        QTest::keyClick(w->editor(), Qt::Key_P, Qt::ControlModifier);
        QTest::keyClick(w->editor(), Qt::Key_Y, Qt::ControlModifier);
        QCOMPARE(m_speech->calls, (QStringList{u"AudioPause"_s, u"Speak:Текст"_s, u"AudioResume"_s}));
        QCOMPARE(w->editor()->plainTextCrLf(), u"Текст"_s);

        m_speech->clear();
        w->ReadText(u"Пора обедать"_s);
        QCOMPARE(m_speech->calls, (QStringList{u"AudioReset"_s, u"Speak:Пора обедать"_s}));
    }

    void readWithEmptyEditorSaysSo()
    {
        auto w = showWindow();
        QVERIFY(w);
        m_speech->clear();
        QTest::mouseClick(w->button(u"SpeedButton6"_s), Qt::LeftButton);
        QCOMPARE(w->findChild<QLabel *>(u"StatusPanel"_s)->text(), u"Нет текста для чтения"_s);
        QVERIFY(m_speech->spoken.isEmpty());
    }

    void settingsPanelDrivesTheControl()
    {
        auto w = showWindow();
        QVERIFY(w);
        auto *engines = w->findChild<QComboBox *>(u"lstEngine"_s);
        auto *speed = w->findChild<QScrollBar *>(u"hscSpeed"_s);
        auto *pitch = w->findChild<QScrollBar *>(u"hscPitch"_s);
        m_speech->clear();

        // The program's own change of the selection is not the user's.
        engines->setCurrentIndex(1);
        QVERIFY(!m_speech->calls.contains(u"Select:2"_s));
        engines->setCurrentIndex(0);

        engines->setFocus();
        QTest::keyClick(engines, Qt::Key_Down);
        QCOMPARE(engines->currentIndex(), 1);
        QVERIFY(m_speech->calls.contains(u"Select:2"_s));
        QCOMPARE(m_speech->Speed(), speed->value());
        QCOMPARE(m_speech->Pitch(), pitch->value());

        speed->triggerAction(QAbstractSlider::SliderSingleStepAdd);
        pitch->triggerAction(QAbstractSlider::SliderSingleStepSub);
        QCOMPARE(m_speech->Speed(), speed->value());
        QCOMPARE(m_speech->Pitch(), pitch->value());
        QCOMPARE(w->findChild<QLabel *>(u"Label1"_s)->text(), QString::number(speed->value()));
        QCOMPARE(w->findChild<QLabel *>(u"Label2"_s)->text(), QString::number(pitch->value()));
    }

    void engineSpeedAndPitchSurviveARestart()
    {
        {
            auto w = showWindow();
            QVERIFY(w);
            auto *engines = w->findChild<QComboBox *>(u"lstEngine"_s);
            engines->setFocus();
            QTest::keyClick(engines, Qt::Key_Down);
            QCOMPARE(engines->currentIndex(), 1);
            w->findChild<QScrollBar *>(u"hscSpeed"_s)->setValue(150);
            w->findChild<QScrollBar *>(u"hscPitch"_s)->setValue(200);
            QVERIFY(w->close());
        }
        const IniFile settings = IniFile::settings();
        QCOMPARE(settings.readInteger(IniFile::global(), u"Engine"_s, -1), 1);
        QCOMPARE(settings.readString(IniFile::global(), u"EngineVoice"_s, QString()), u"English"_s);
        QCOMPARE(settings.readInteger(IniFile::global(), u"ReadSpeed"_s, -1), 150);
        QCOMPARE(settings.readInteger(IniFile::global(), u"ReadPitch"_s, -1), 200);

        auto w = showWindow();
        QVERIFY(w);
        QCOMPARE(w->findChild<QComboBox *>(u"lstEngine"_s)->currentIndex(), 1);
        QCOMPARE(m_speech->selected(), 2);
        QCOMPARE(m_speech->Speed(), 150);
        QCOMPARE(m_speech->Pitch(), 200);
        QCOMPARE(w->findChild<QLabel *>(u"Label1"_s)->text(), u"150"_s);
        QCOMPARE(w->findChild<QLabel *>(u"Label2"_s)->text(), u"200"_s);
    }
};

QTEST_MAIN(TestMainWindowReading)
#include "tst_mainwindowreading.moc"
