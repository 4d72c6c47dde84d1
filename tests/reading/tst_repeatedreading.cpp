// Repeated reading: the count field, its limits, the repeated text and the count kept between runs.
#include "common/core/inifile.h"
#include "common/core/textfile.h"
#include "common/ui/labelbutton.h"
#include "dictionary/correctiondictionary.h"
#include "reading/repeatedreadingwindow.h"
#include "support/fakeprompter.h"
#include "support/fakereadinghost.h"
#include "support/fakespeechcontrol.h"
#include "support/testfiles.h"
#include "support/typetext.h"

#include <QLineEdit>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QToolButton>

using namespace velmira;
using namespace Qt::StringLiterals;

class TestRepeatedReading : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<TemporaryProgramFolder> m_home;
    FakePrompter m_prompter;
    FakeSpeechControl m_speech;
    QString m_whole;
    QString m_selected;
    QStringList m_status;
    FakeReadingHost m_host;

    std::unique_ptr<RepeatedReadingWindow> makeWindow()
    {
        m_host.dialogs = &m_prompter;
        m_host.mainSpeech = [this] { return &m_speech; };
        m_host.whole = [this] { return m_whole; };
        m_host.selected = [this] { return m_selected; };
        m_host.status = [this](const QString &text) { m_status << text; };
        return std::make_unique<RepeatedReadingWindow>(m_host);
    }

    // The window as opened from the main window, shown without waiting for it to close.
    std::unique_ptr<RepeatedReadingWindow> openWindow()
    {
        auto w = makeWindow();
        w->show();
        return w;
    }

    static QLineEdit *countField(RepeatedReadingWindow &w) { return w.findChild<QLineEdit *>(u"Edit1"_s); }
    static void click(RepeatedReadingWindow &w, const char *name)
    {
        QTest::mouseClick(w.findChild<QWidget *>(QString::fromLatin1(name)), Qt::LeftButton);
    }
    QString storedCount() const
    {
        return IniFile::settings().readString(IniFile::global(), u"ReadCount"_s, u"(нет)"_s);
    }

private slots:
    void init()
    {
        m_home = std::make_unique<TemporaryProgramFolder>();
        m_prompter = FakePrompter();
        m_speech.clear();
        m_whole = u"Текст"_s;
        m_selected.clear();
        m_status.clear();
    }

    void windowHasItsControls()
    {
        auto w = makeWindow();
        QCOMPARE(w->objectName(), u"TForm7"_s);
        QCOMPARE(w->windowTitle(), u"Чтение текста"_s);
        QCOMPARE(w->findChild<QWidget *>(u"StaticText1"_s)->property("text").toString(), u"Читать!"_s);
        QCOMPARE(w->findChild<QWidget *>(u"StaticText4"_s)->property("text").toString(), u"Отмена"_s);
        QCOMPARE(w->findChild<QWidget *>(u"StaticText2"_s)->property("text").toString(),
                 u"Сколько раз прочитать текст?"_s);
        QCOMPARE(w->findChild<QWidget *>(u"StaticText3"_s)->property("text").toString(), u"(от 1 до 100)"_s);
        QVERIFY(w->findChild<QWidget *>(u"UpDown1"_s));
        QCOMPARE(countField(*w)->text(), u"1"_s);
        QVERIFY(!countField(*w)->accessibleName().isEmpty());
    }

    void countsWithinTheLimitsAreRead_data()
    {
        QTest::addColumn<QString>("count");
        QTest::addColumn<int>("times");
        QTest::newRow("1") << u"1"_s << 1;
        QTest::newRow("100") << u"100"_s << 100;
        QTest::newRow("007") << u"007"_s << 7;
        QTest::newRow("0") << u"0"_s << 0;
        QTest::newRow("000") << u"000"_s << 0;
        QTest::newRow("101") << u"101"_s << 0;
    }

    void countsWithinTheLimitsAreRead()
    {
        QFETCH(QString, count);
        QFETCH(int, times);
        auto w = openWindow();
        countField(*w)->setText(count);
        click(*w, "StaticText1");
        if (times == 0) {
            QCOMPARE(m_prompter.messages(), QStringList{u"Введите число от 1 до 100"_s});
            QVERIFY(w->isVisible());
            QVERIFY(m_speech.calls.isEmpty());
            return;
        }
        QVERIFY(m_prompter.asked.isEmpty());
        QVERIFY(!w->isVisible());
        QCOMPARE(m_speech.calls, (QStringList{u"Speak:"_s + u"Текст. "_s.repeated(times), u"AudioResume"_s}));
        QCOMPARE(storedCount(), count);
    }

    void onlyTheSelectionIsRepeated()
    {
        m_whole = u"Весь текст"_s;
        m_selected = u"текст"_s;
        auto w = openWindow();
        countField(*w)->setText(u"2"_s);
        QTest::keyClick(countField(*w), Qt::Key_Return);
        QCOMPARE(m_speech.spoken, QStringList{u"текст. текст. "_s});
    }

    void repeatedTextIsPreparedOnceMore()
    {
        // The second line turns "кот" into "кошка", and only the second preparation sees the first
        // line's word in it.
        writeFileAtomically(m_home->filePath(u"Dictionary.txt"_s),
                            CorrectionDictionary::serialize({u"кошка=киса"_s, u"кот=кошка"_s}));
        CorrectionDictionary::setInUse(true);
        m_whole = u"кот"_s;
        auto w = openWindow();
        click(*w, "StaticText1");
        QCOMPARE(m_speech.spoken, QStringList{u"киса. "_s});
    }

    void countTakesOnlyDigits()
    {
        auto w = openWindow();
        QLineEdit *field = countField(*w);
        QCOMPARE(w->focusWidget(), field);
        typeText(field, u"a5-б"_s);
        QCOMPARE(field->text(), u"5"_s);
        QTest::keyClicks(field, u"678"_s);
        QCOMPARE(field->text(), u"567"_s); // at most three digits
        // Pasted text keeps only its digits.
        field->selectAll();
        field->insert(u"x9y"_s);
        QCOMPARE(field->text(), u"9"_s);
    }

    void emptiedCountBecomesOne()
    {
        auto w = openWindow();
        QLineEdit *field = countField(*w);
        field->setText(u"42"_s);
        field->end(false);
        QTest::keyClick(field, Qt::Key_Backspace);
        QTest::keyClick(field, Qt::Key_Backspace);
        QCOMPARE(field->text(), u"1"_s);
        // The next digit takes the place of the "1".
        QTest::keyClick(field, Qt::Key_3);
        QCOMPARE(field->text(), u"3"_s);
    }

    void arrowsStepWithinTheLimits()
    {
        auto w = openWindow();
        QLineEdit *field = countField(*w);
        auto *up = w->findChild<QToolButton *>(u"UpDown1Up"_s);
        auto *down = w->findChild<QToolButton *>(u"UpDown1Down"_s);
        QTest::mouseClick(down, Qt::LeftButton);
        QCOMPARE(field->text(), u"1"_s);
        QTest::mouseClick(up, Qt::LeftButton);
        QCOMPARE(field->text(), u"2"_s);
        field->setText(u"99"_s);
        QTest::mouseClick(up, Qt::LeftButton);
        QTest::mouseClick(up, Qt::LeftButton);
        QCOMPARE(field->text(), u"100"_s);
        QTest::keyClick(field, Qt::Key_Down);
        QCOMPARE(field->text(), u"99"_s);
    }

    void countIsKeptWhenTheWindowCloses_data()
    {
        QTest::addColumn<bool>("escape");
        QTest::newRow("Отмена") << false;
        QTest::newRow("Esc") << true;
    }

    void countIsKeptWhenTheWindowCloses()
    {
        QFETCH(bool, escape);
        {
            auto w = openWindow();
            countField(*w)->setText(u"12"_s);
            if (escape)
                QTest::keyClick(countField(*w), Qt::Key_Escape);
            else
                click(*w, "StaticText4");
            QVERIFY(!w->isVisible());
            QVERIFY(m_speech.calls.isEmpty());
        }
        QCOMPARE(storedCount(), u"12"_s);
        // Offered again, also by a window made afresh as at the next start.
        auto w = makeWindow();
        QCOMPARE(w->count(), u"12"_s);
        w->show();
        QCOMPARE(countField(*w)->text(), u"12"_s);
    }

    void storedCountThatIsNoNumberAsksForOne()
    {
        IniFile settings = IniFile::settings();
        settings.writeString(IniFile::global(), u"ReadCount"_s, u"abc"_s);
        auto w = openWindow();
        QCOMPARE(countField(*w)->text(), u"abc"_s);
        click(*w, "StaticText1");
        QCOMPARE(m_prompter.messages(), QStringList{u"Введите число от 1 до 100"_s});
        QVERIFY(w->isVisible());
        QVERIFY(m_speech.calls.isEmpty());
    }

    void emptyEditorOpensNothing()
    {
        m_whole.clear();
        auto w = makeWindow();
        w->SpeedButton21Click();
        QCOMPARE(m_status, QStringList{u"Нет текста для чтения"_s});
        QVERIFY(!w->isVisible());
    }

    void opensModallyFromTheCommand()
    {
        auto w = makeWindow();
        bool shown = false;
        QTimer::singleShot(0, w.get(), [&] {
            shown = w->isVisible() && w->isModal();
            QTest::keyClick(countField(*w), Qt::Key_Return);
        });
        QTimer::singleShot(3000, w.get(), &QWidget::close); // a failing test must not hang
        w->SpeedButton21Click();
        QVERIFY(shown);
        QCOMPARE(m_speech.spoken, QStringList{u"Текст. "_s});
    }
};

QTEST_MAIN(TestRepeatedReading)
#include "tst_repeatedreading.moc"
