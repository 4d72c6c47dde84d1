// The reading controller on a settings panel of plain numbers and a recording speech control: engines,
// speed and pitch, and the reading commands.
#include "common/core/textfile.h"
#include "dictionary/correctiondictionary.h"
#include "dictionary/textpreparation.h"
#include "reading/readingcontroller.h"
#include "reading/readingqueue.h"
#include "support/fakeprompter.h"
#include "support/fakereadinghost.h"
#include "support/fakespeechcontrol.h"
#include "support/testfiles.h"

#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <memory>

using namespace velmira;
using namespace Qt::StringLiterals;

class TestReadingController : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<TemporaryProgramFolder> m_home;
    std::unique_ptr<FakeSpeechControl> m_control;
    FakeSpeechControl *m_speech = nullptr;
    FakePrompter m_prompter;
    QStringList m_status;
    QString m_text;
    QString m_selection;
    FakeReadingHost m_host;
    std::unique_ptr<ReadingController> m_reading;

    void settings(const QByteArray &global)
    {
        writeFileAtomically(m_home->filePath(u"Settings.ini"_s), "[Global]\r\n" + global);
    }

    // A controller over a fresh panel as the main window builds it.
    void makeController(bool withSpeech = true)
    {
        m_host = FakeReadingHost();
        m_host.chosenVoice = -1;
        m_host.chosenSpeed = 80;
        m_host.chosenPitch = 125;
        m_control = withSpeech ? std::make_unique<FakeSpeechControl>() : nullptr;
        m_speech = m_control.get();
        m_host.dialogs = &m_prompter;
        m_host.mainSpeech = [this]() -> SpeechControl * { return m_speech; };
        m_host.whole = [this] { return m_text; };
        m_host.shown = [this] { return m_text; };
        m_host.selected = [this] { return m_selection; };
        m_host.status = [this](const QString &text) { m_status.append(text); };
        m_reading = std::make_unique<ReadingController>(m_host, m_host);
        m_host.controller = m_reading.get();
    }

    void startUp()
    {
        makeController();
        m_reading->startUp();
        m_speech->clear();
    }

    void checkPositions(int speed, int pitch)
    {
        QCOMPARE(m_host.chosenSpeed, speed);
        QCOMPARE(m_host.chosenPitch, pitch);
        QCOMPARE(m_speech->Speed(), speed);
        QCOMPARE(m_speech->Pitch(), pitch);
    }

private slots:
    void init()
    {
        m_home = std::make_unique<TemporaryProgramFolder>();
        m_prompter = FakePrompter();
        m_status.clear();
        m_text = u"Привет, мир"_s;
        m_selection.clear();
    }

    void cleanup()
    {
        m_reading.reset();
        m_control.reset();
    }

    void startUpListsEnginesAndAppliesDefaults()
    {
        makeController();
        m_reading->startUp();
        QCOMPARE(m_host.voices.size(), 2);
        QCOMPARE(m_host.voices.first(), u"Русский"_s);
        QCOMPARE(m_host.chosenVoice, 0);
        QCOMPARE(m_speech->calls.first(), u"Speak:"_s);
        QVERIFY(m_speech->calls.contains(u"Select:1"_s));
        QCOMPARE(m_host.minSpeed, 80);
        QCOMPARE(m_host.maxSpeed, 450);
        QCOMPARE(m_host.minPitch, 0);
        QCOMPARE(m_host.maxPitch, 100);
        // A quarter and a third into the ranges, truncated: 80 + 370/4 and 0 + 100/3.
        checkPositions(172, 33);
    }

    void storedSpeedAndPitch_data()
    {
        QTest::addColumn<QByteArray>("stored");
        QTest::addColumn<int>("speed");
        QTest::addColumn<int>("pitch");
        QTest::newRow("within") << QByteArray("ReadSpeed=200\r\nReadPitch=60\r\n") << 200 << 60;
        QTest::newRow("at the lower limits") << QByteArray("ReadSpeed=80\r\nReadPitch=0\r\n") << 80 << 0;
        QTest::newRow("at the upper limits") << QByteArray("ReadSpeed=450\r\nReadPitch=100\r\n") << 450 << 100;
        QTest::newRow("below the limits") << QByteArray("ReadSpeed=79\r\nReadPitch=-1\r\n") << 172 << 33;
        QTest::newRow("above the limits") << QByteArray("ReadSpeed=451\r\nReadPitch=101\r\n") << 172 << 33;
        QTest::newRow("speed out, pitch in") << QByteArray("ReadSpeed=5000\r\nReadPitch=100\r\n") << 172 << 100;
        QTest::newRow("second engine, defaults 97 and 116") << QByteArray("Engine=1\r\n") << 97 << 116;
        QTest::newRow("second engine, stored") << QByteArray("Engine=1\r\nReadSpeed=30\r\nReadPitch=250\r\n") << 30
                                               << 250;
        QTest::newRow("second engine, limits of the first")
            << QByteArray("Engine=1\r\nReadSpeed=450\r\nReadPitch=0\r\n") << 97 << 116;
    }

    void storedSpeedAndPitch()
    {
        QFETCH(QByteArray, stored);
        QFETCH(int, speed);
        QFETCH(int, pitch);
        settings(stored);
        makeController();
        m_reading->startUp();
        checkPositions(speed, pitch);
    }

    void storedVoiceIsFoundByName_data()
    {
        QTest::addColumn<QByteArray>("stored");
        QTest::addColumn<int>("chosen");
        // Voices installed since then moved the remembered one; its name still finds it.
        QTest::newRow("moved") << QByteArray("Engine=0\r\nEngineVoice=English\r\n") << 1;
        // Its synthesiser was removed: the first voice stands in, whatever the old position.
        QTest::newRow("removed") << QByteArray("Engine=1\r\nEngineVoice=RHVoice:Elena\r\n") << 0;
        QTest::newRow("removed, position beyond the list") << QByteArray("Engine=9\r\nEngineVoice=RHVoice:Elena\r\n") << 0;
        // A settings file from before voices were named: the position, as ever.
        QTest::newRow("no name") << QByteArray("Engine=1\r\nEngineVoice=\r\n") << 1;
    }

    void storedVoiceIsFoundByName()
    {
        QFETCH(QByteArray, stored);
        QFETCH(int, chosen);
        settings(stored);
        makeController();
        m_reading->startUp();
        QCOMPARE(m_host.chosenVoice, chosen);
        QCOMPARE(m_speech->selected(), chosen + 1);
        QCOMPARE(m_host.identities, (QStringList{u"Русский"_s, u"English"_s}));
    }

    void userChangeOfEngineStartsFromItsDefaults()
    {
        settings("ReadSpeed=200\r\nReadPitch=60\r\n");
        startUp();
        checkPositions(200, 60);

        m_host.chooseVoice(1);
        m_reading->voiceChosen();
        QVERIFY(m_speech->calls.contains(u"Select:2"_s));
        checkPositions(97, 116);

        m_host.chooseVoice(0);
        m_reading->voiceChosen();
        QVERIFY(m_speech->calls.contains(u"Select:1"_s));
        checkPositions(172, 33);

        // Choosing the engine that is already chosen keeps the positions.
        m_host.moveSpeed(300);
        m_speech->clear();
        m_reading->voiceChosen();
        QVERIFY(m_speech->calls.isEmpty());
        QCOMPARE(m_host.chosenSpeed, 300);
    }

    void movingABarSetsTheControl()
    {
        startUp();
        m_host.moveSpeed(173);
        m_host.movePitch(32);
        checkPositions(173, 32);
    }

    void unusableEngineChoiceIsReportedByRead_data()
    {
        QTest::addColumn<int>("engines");
        QTest::addColumn<QByteArray>("stored");
        QTest::newRow("stored engine not in the list") << 2 << QByteArray("Engine=5\r\n");
        QTest::newRow("negative stored engine") << 2 << QByteArray("Engine=-1\r\n");
        QTest::newRow("no engine installed") << 0 << QByteArray();
    }

    void unusableEngineChoiceIsReportedByRead()
    {
        QFETCH(int, engines);
        QFETCH(QByteArray, stored);
        settings(stored);
        makeController();
        m_speech->engines = m_speech->engines.mid(0, engines);
        m_reading->startUp();
        QCOMPARE(m_host.voiceCount(), engines);
        QCOMPARE(m_host.chosenVoice, -1);
        QVERIFY(!m_speech->calls.join(u' ').contains(u"Select"_s));

        m_reading->Read();
        QCOMPARE(m_status, QStringList{speechFailureText()});
        QCOMPARE(m_speech->spoken, QStringList{QString()});
        // A reminder still speaks, with the voice the control has.
        m_reading->ReadText(u"Пора обедать"_s);
        QVERIFY(m_prompter.asked.isEmpty());
        QCOMPARE(m_speech->spoken, (QStringList{QString(), u"Пора обедать"_s}));
    }

    void readingWithoutSpeechControlReports()
    {
        makeController(false);
        m_reading->startUp();
        m_reading->Read();
        m_reading->Pause();
        m_reading->Stop();
        m_reading->ReadText(u"Пора обедать"_s);
        QCOMPARE(m_status, QStringList{speechFailureText()});
        QVERIFY(m_prompter.asked.isEmpty());
    }

    void readSpeaksSelectionOrWholeText()
    {
        startUp();
        // A selection is read without the whole text being copied first.
        const auto wholeCopies = std::make_shared<int>(0);
        m_host.whole = [this, wholeCopies] {
            ++*wholeCopies;
            return m_text;
        };
        m_selection = u"мир"_s;
        m_reading->Read();
        QCOMPARE(*wholeCopies, 0);
        m_selection.clear();
        m_reading->Read();
        m_reading->Read();
        QCOMPARE(*wholeCopies, 2);
        QCOMPARE(m_speech->calls, (QStringList{u"Speak:мир"_s, u"AudioResume"_s, u"Speak:Привет, мир"_s,
                                               u"AudioResume"_s, u"Speak:Привет, мир"_s, u"AudioResume"_s}));
        QVERIFY(m_status.isEmpty());
    }

    void readWithoutText()
    {
        startUp();
        m_text.clear();
        m_reading->Read();
        QCOMPARE(m_status, QStringList{u"Нет текста для чтения"_s});
        QVERIFY(m_speech->calls.isEmpty());
    }

    void pauseThenReadResumesAndQueues()
    {
        startUp();
        m_reading->Read();
        m_reading->Pause();
        m_reading->Read();
        QCOMPARE(m_speech->calls, (QStringList{u"Speak:Привет, мир"_s, u"AudioResume"_s, u"AudioPause"_s,
                                               u"Speak:Привет, мир"_s, u"AudioResume"_s}));
        m_speech->clear();
        m_reading->Pause();
        m_reading->Stop();
        m_reading->Read();
        QCOMPARE(m_speech->calls, (QStringList{u"AudioPause"_s, u"AudioReset"_s, u"Speak:Привет, мир"_s,
                                               u"AudioResume"_s}));
    }

    void readTextCutsOffAndSpeaksPrepared()
    {
        startUp();
        writeFileAtomically(m_home->filePath(u"Dictionary.txt"_s), CorrectionDictionary::defaultFileContents());
        CorrectionDictionary::setInUse(true);
        m_reading->Read();
        m_reading->ReadText(u"Откройте internet explorer"_s);
        QCOMPARE(m_speech->calls, (QStringList{u"Speak:Привет, мир"_s, u"AudioResume"_s, u"AudioReset"_s,
                                               u"Speak:Откройте интер нэт эксплорер"_s}));
        m_speech->clear();
        // Several texts, as the hour and the reminders of one minute: cut off once, spoken in turn.
        m_reading->ReadText(QStringList{u"Системное время: 9 часов."_s, u"Откройте internet explorer"_s});
        QCOMPARE(m_speech->calls, (QStringList{u"AudioReset"_s, u"Speak:Системное время: 9 часов."_s,
                                               u"Speak:Откройте интер нэт эксплорер"_s}));
        m_speech->clear();
        m_selection = u"щелкните ctrl"_s;
        m_reading->Read();
        QCOMPARE(m_speech->spoken, QStringList{u"щёлкните контрол"_s});
    }

    // A long text is heard before the whole of it is prepared: its start goes to the speech control at
    // once, the rest when it is ready, and together they are the whole text prepared. A text read
    // meanwhile waits for that rest; Stop drops a rest still being prepared.
    void longTextStartsAtOnceTheRestFollows()
    {
        startUp();
        writeFileAtomically(m_home->filePath(u"Dictionary.txt"_s), u"кот=кошка\r\nмышь=мышка\r\n"_s.toUtf8());
        CorrectionDictionary::setInUse(true);
        QString text;
        for (int i = 0; text.size() < 50'000; ++i)
            text += u"Кот %1 и кот видят мышь. "_s.arg(i);
        m_text = text;
        const QString prepared = prepareText(text);
        QVERIFY(prepared != text);

        m_reading->Read();
        QCOMPARE(m_speech->spoken.size(), 1);
        QVERIFY(m_speech->spoken[0].size() < 2 * ReadingQueue::StartLength);
        QVERIFY(prepared.startsWith(m_speech->spoken[0]));
        m_selection = u"кот"_s;
        m_reading->Read();
        QCOMPARE(m_speech->spoken.size(), 1);
        QTRY_COMPARE(m_speech->spoken.size(), 3);
        QCOMPARE(m_speech->spoken[0] + m_speech->spoken[1], prepared);
        QCOMPARE(m_speech->spoken[2], u"кошка"_s);

        m_speech->clear();
        m_selection.clear();
        m_text = u"Кот видит мышь. "_s.repeated(500);
        m_reading->Read();
        m_reading->Stop();
        m_text = u"Кот и кот. "_s.repeated(500);
        m_reading->Read();
        QTRY_COMPARE(m_speech->spoken.size(), 3);
        QTest::qWait(500);
        QCOMPARE(m_speech->spoken.size(), 3);
        QVERIFY(m_speech->spoken[1].startsWith(u"Кот и кошка."_s));
        QCOMPARE(m_speech->spoken[1] + m_speech->spoken[2], u"Кот и кошка. "_s.repeated(500));
    }

    // A long text is heard before it is copied from the editor: its start goes to the speech control
    // at once, the whole text is copied once its first words are heard (or a moment later) and read on
    // from where the start ended, as it stands then. Stopped before that, it is not copied at all.
    void longTextIsHeardBeforeItIsCopied()
    {
        startUp();
        const auto copies = std::make_shared<int>(0);
        m_host.whole = [this, copies] {
            ++*copies;
            return m_text;
        };
        m_text = u"Первая строка длинного текста.\r\n"_s.repeated(1000);
        m_reading->Read();
        QCOMPARE(*copies, 0);
        QCOMPARE(m_speech->spoken.size(), 1);
        QVERIFY(m_speech->spoken[0].size() <= ReadingQueue::StartLength);
        QVERIFY(m_text.startsWith(m_speech->spoken[0]));
        m_text += u"Дописано в конце."_s;
        emit m_speech->wordReached(1, 0, 6);
        QCOMPARE(*copies, 1);
        QCOMPARE(m_speech->spoken.size(), 2);
        QCOMPARE(m_speech->spoken[0] + m_speech->spoken[1], m_text);
        QTest::qWait(400);
        QCOMPARE(*copies, 1);

        m_speech->clear();
        m_reading->Read();
        QTRY_COMPARE(m_speech->spoken.size(), 2);
        QCOMPARE(*copies, 2);
        QCOMPARE(m_speech->spoken[0] + m_speech->spoken[1], m_text);

        m_reading->Read();
        m_reading->Stop();
        QTest::qWait(400);
        QCOMPARE(*copies, 2);
        QCOMPARE(m_speech->spoken.size(), 3);
    }

    // Read pressed again and again on a long text while its rest is still being prepared: each Read
    // gets a copy of the editor's text of its own, yet the texts waiting and those handed to the speech
    // control are held once, and every Read is still spoken in turn.
    void manyReadsOfALongTextKeepItOnce()
    {
        startUp();
        writeFileAtomically(m_home->filePath(u"Dictionary.txt"_s), u"кот=кошка\r\n"_s.toUtf8());
        CorrectionDictionary::setInUse(true);
        m_text = u"Кот и кот видят мышь. "_s.repeated(20'000);
        m_host.whole = [this] { return QString(m_text.constData(), m_text.size()); };
        const QString prepared = prepareText(m_text);
        constexpr int Reads = 40;
        for (int i = 0; i < Reads; ++i)
            m_reading->Read();
        QTRY_COMPARE_WITH_TIMEOUT(m_speech->spoken.size(), 2 * Reads, 60000);
        QSet<const QChar *> held;
        for (qsizetype i = 0; i < m_speech->spoken.size(); i += 2) {
            QCOMPARE(m_speech->spoken[i] + m_speech->spoken[i + 1], prepared);
            held << m_speech->spoken[i].constData() << m_speech->spoken[i + 1].constData();
        }
        QCOMPARE(held.size(), 2);
    }

    // The finder of a dictionary of many thousands of words is built on a thread of its own: a text
    // read meanwhile waits for it with the window's events still handled (a timer keeps firing), then
    // is spoken with the dictionary applied, and so is a text read behind it.
    void textWaitsForALargeDictionaryWithTheWindowFree()
    {
        startUp();
        writeFileAtomically(m_home->filePath(u"Dictionary.txt"_s),
                            inventedDictionary(80'000, {u"кот=кошка"_s, u"мышь=мышка"_s}));
        CorrectionDictionary::setInUse(true);
        m_text = u"Кот и кот видят мышь. "_s.repeated(90);
        QVERIFY(!correctionsInUse()->appliesAtOnce(m_text.size()));
        int ticks = 0;
        QTimer ticking;
        connect(&ticking, &QTimer::timeout, this, [&ticks] { ++ticks; });
        ticking.start(5);
        m_reading->Read();
        QVERIFY(m_speech->spoken.isEmpty());
        m_selection = u"мышь"_s;
        m_reading->Read();
        QTRY_COMPARE_WITH_TIMEOUT(m_speech->spoken.size(), 2, 60000);
        QVERIFY(ticks > 0);
        QCOMPARE(m_speech->spoken[0], u"Кот и кошка видят мышка. "_s.repeated(90));
        QCOMPARE(m_speech->spoken[1], u"мышка"_s);
    }

    void failures()
    {
        startUp();
        m_speech->failWith = u"Устройство занято"_s;
        m_reading->Read();
        QCOMPARE(m_status, QStringList{u"Ошибка! Возможно, звуковая карта занята другим приложением."_s});
        QVERIFY(m_prompter.asked.isEmpty());

        m_reading->ReadText(u"Пора обедать"_s);
        QCOMPARE(m_prompter.asked.size(), 1);
        const FakePrompter::Asked &box = m_prompter.asked.first();
        QCOMPARE(box.caption, u"Вельмира 6.1"_s);
        QCOMPARE(box.text, u"Ошибка! Возможно, звуковая карта занята другим приложением."_s);
        QCOMPARE(box.buttons, Prompter::Buttons(Prompter::Button::Ok));
        m_reading->ReadText(QStringList{u"Первое"_s, u"Второе"_s, u"Третье"_s});
        QCOMPARE(m_prompter.asked.size(), 2); // one box for the lot

        // Pause and Stop leave their failures to the program's general error box.
        QVERIFY_THROWS_EXCEPTION(SpeechError, m_reading->Pause());
        QVERIFY_THROWS_EXCEPTION(SpeechError, m_reading->Stop());
    }

    void unreadableDictionaryFailsRead()
    {
        startUp();
        CorrectionDictionary::setInUse(true);
        QDir(m_home->path()).mkdir(u"Dictionary.txt"_s);
        m_reading->Read();
        QCOMPARE(m_status, QStringList{speechFailureText()});
        QVERIFY(m_speech->spoken.isEmpty());
    }

    void runawayDictionaryLineIsNamed()
    {
        startUp();
        writeFileAtomically(m_home->filePath(u"Dictionary.txt"_s), "ms=\xFD\xEC \xFD\xF1\r\nab=bba\r\n");
        CorrectionDictionary::setInUse(true);
        m_text = QString(40, u'a') + u'b';
        m_reading->Read();
        QVERIFY(m_status.isEmpty());
        QCOMPARE(m_prompter.asked.size(), 1);
        QVERIFY(m_prompter.asked.first().text.startsWith(u"Строка 2 словаря поправок («ab=bba»)"_s));
        QVERIFY(m_speech->spoken.isEmpty());
    }
};

QTEST_MAIN(TestReadingController)
#include "tst_readingcontroller.moc"
