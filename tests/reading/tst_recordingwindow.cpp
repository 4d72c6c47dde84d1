// Recording speech to a sound file: the window's states, names, questions and messages.
#include "common/core/textfile.h"
#include "common/ui/labelbutton.h"
#include "dictionary/correctiondictionary.h"
#include "reading/recordingwindow.h"
#include "speech/speechcontrolfactory.h"
#include "support/fakeprompter.h"
#include "support/fakereadinghost.h"
#include "support/fakespeechcontrol.h"
#include "support/soundfile.h"
#include "support/testfiles.h"
#include "support/wavfile.h"

#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QTemporaryDir>
#include <QTest>

using namespace velmira;
using namespace Qt::StringLiterals;

class TestRecordingWindow : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir m_dir;
    FakePrompter m_prompter;
    FakeSpeechControl m_main;
    FakeSpeechControl *m_recorder = nullptr;
    FakeReadingHost m_host;
    std::unique_ptr<RecordingWindow> m_window;
    int m_hidden = 0;

    QLineEdit *path() { return m_window->findChild<QLineEdit *>(u"Edit1"_s); }
    LabelButton *startStop() { return m_window->findChild<LabelButton *>(u"StaticText2"_s); }
    LabelButton *choose() { return m_window->findChild<LabelButton *>(u"StaticText6"_s); }
    QString progress() { return m_window->findChild<QLabel *>(u"Label1"_s)->text(); }
    QColor background() { return m_window->palette().color(QPalette::Window); }

    // A window with the real espeak-ng control recording `text`.
    std::unique_ptr<RecordingWindow> makeRealWindow(const QString &text)
    {
        m_host.whole = [text] { return text; };
        m_host.chosenVoice = 0;
        m_host.chosenPitch = 50;
        m_host.chosenSpeed = 175;
        auto window = std::make_unique<RecordingWindow>(createSpeechControl(), m_host, [] {});
        window->show();
        return window;
    }

private slots:
    void initTestCase()
    {
        // The text is recorded as text preparation makes it: a dictionary line marks it.
        qputenv("VELMIRA_HOME", m_dir.path().toUtf8());
        writeFileAtomically(m_dir.filePath(u"Dictionary.txt"_s),
                            CorrectionDictionary::serialize({u"Текст для записи=<Текст для записи>"_s}));
        CorrectionDictionary::setInUse(true);
    }

    void init()
    {
        m_prompter = FakePrompter();
        m_main.clear();
        m_main.failWith.clear();
        m_hidden = 0;
        auto recorder = std::make_unique<FakeSpeechControl>();
        m_recorder = recorder.get();
        m_host.dialogs = &m_prompter;
        m_host.mainSpeech = [this] { return &m_main; };
        m_host.whole = [] { return u"Текст для записи"_s; };
        m_host.chosenVoice = 1;
        m_host.chosenPitch = 40;
        m_host.chosenSpeed = 150;
        m_window = std::make_unique<RecordingWindow>(std::move(recorder), m_host, [this] { ++m_hidden; });
        m_window->show();
    }

    void progressIsRoundedHalfToEven_data()
    {
        QTest::addColumn<qint64>("bytes");
        QTest::addColumn<QString>("text");
        QTest::newRow("0") << qint64(0) << u"Записано: 0 кб"_s;
        QTest::newRow("1535") << qint64(1535) << u"Записано: 1 кб"_s;
        QTest::newRow("1536") << qint64(1536) << u"Записано: 2 кб"_s;
        QTest::newRow("2560") << qint64(2560) << u"Записано: 2 кб"_s;
        QTest::newRow("3584") << qint64(3584) << u"Записано: 4 кб"_s;
    }

    void progressIsRoundedHalfToEven()
    {
        QFETCH(qint64, bytes);
        QFETCH(QString, text);
        QCOMPARE(RecordingWindow::progressText(bytes), text);
    }

    // Compressed formats are known in any letter case, chosen or typed; other names become WAV files.
    void compressedNamesKeepTheirExtension_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("chosen");
        QTest::addColumn<QString>("started");
        QTest::newRow("mp3") << u"книга.mp3"_s << u"книга.mp3"_s << u"книга.mp3"_s;
        QTest::newRow("Opus") << u"книга.Opus"_s << u"книга.Opus"_s << u"книга.Opus"_s;
        QTest::newRow("FLAC") << u"книга.FLAC"_s << u"книга.FLAC"_s << u"книга.FLAC"_s;
        QTest::newRow("txt") << u"книга.txt"_s << u"книга.txt.wav"_s << u"книга.txt.wav"_s;
    }

    void compressedNamesKeepTheirExtension()
    {
        QFETCH(QString, name);
        QFETCH(QString, chosen);
        QFETCH(QString, started);
        m_prompter.files.enqueue(m_dir.filePath(name));
        QTest::mouseClick(choose(), Qt::LeftButton);
        QCOMPARE(path()->text(), m_dir.filePath(chosen));
        path()->setText(m_dir.filePath(name));
        QTest::mouseClick(startStop(), Qt::LeftButton);
        QCOMPARE(path()->text(), m_dir.filePath(started));
        QCOMPARE(m_recorder->calls.first(), u"FileName:"_s + m_dir.filePath(started));
    }

    // A name typed without an extension gets the one of the type chosen in the box; the list of all
    // sound files and "Все файлы" give WAV, as before.
    void typedNameGetsTheExtensionOfTheChosenType_data()
    {
        QTest::addColumn<int>("type");
        QTest::addColumn<QString>("chosen");
        QTest::newRow("all sound files") << 0 << u"книга.wav"_s;
        QTest::newRow("MP3") << 2 << u"книга.mp3"_s;
        QTest::newRow("Opus") << 4 << u"книга.opus"_s;
        QTest::newRow("FLAC") << 5 << u"книга.flac"_s;
        QTest::newRow("all files") << 6 << u"книга.wav"_s;
    }

    void typedNameGetsTheExtensionOfTheChosenType()
    {
        QFETCH(int, type);
        QFETCH(QString, chosen);
        m_prompter.files.enqueue(m_dir.filePath(u"книга"_s));
        m_prompter.fileTypes.enqueue(type);
        QTest::mouseClick(choose(), Qt::LeftButton);
        QCOMPARE(path()->text(), m_dir.filePath(chosen));
        // A cancelled box afterwards keeps that name.
        QTest::mouseClick(choose(), Qt::LeftButton);
        QCOMPARE(path()->text(), m_dir.filePath(chosen));
        QCOMPARE(m_prompter.asked.last().name, m_dir.filePath(chosen));
    }

    void startsEnabledOnlyWithAName()
    {
        QCOMPARE(m_window->windowTitle(), u"Запись голоса в звуковой файл"_s);
        QCOMPARE(background(), QColor(0, 192, 0));
        QVERIFY(!startStop()->isEnabled());
        path()->setText(u"x"_s);
        QVERIFY(startStop()->isEnabled());
        path()->clear();
        QVERIFY(!startStop()->isEnabled());
    }

    void chosenNameKeepsItsOwnWavButTypedNameGetsOne()
    {
        m_prompter.files.enqueue(m_dir.filePath(u"rec.WAV"_s));
        QTest::mouseClick(choose(), Qt::LeftButton);
        QCOMPARE(path()->text(), m_dir.filePath(u"rec.WAV"_s));
        QVERIFY(m_prompter.asked.last().text.startsWith(
            u"Звуковые файлы (*.wav *.mp3 *.ogg *.opus *.flac)|*.wav;*.mp3;*.ogg;*.opus;*.flac|"_s));
        // A cancelled box puts back the name chosen before.
        QTest::mouseClick(choose(), Qt::LeftButton);
        QCOMPARE(path()->text(), m_dir.filePath(u"rec.WAV"_s));
        m_prompter.files.enqueue(m_dir.filePath(u"речь"_s));
        QTest::mouseClick(choose(), Qt::LeftButton);
        QCOMPARE(path()->text(), m_dir.filePath(u"речь.wav"_s));

        path()->setText(m_dir.filePath(u"rec.WAV"_s));
        QTest::mouseClick(startStop(), Qt::LeftButton);
        QCOMPARE(path()->text(), m_dir.filePath(u"rec.WAV.wav"_s));
        QVERIFY(m_window->isRecording());
    }

    void recordingUsesTheMainVoiceAndEndsOnce()
    {
        path()->setText(m_dir.filePath(u"a.wav"_s));
        QTest::keyClick(m_window.get(), Qt::Key_Return);
        QVERIFY(m_window->isRecording());
        QCOMPARE(startStop()->text(), u"Прервать запись"_s);
        QCOMPARE(background(), QColor(255, 0, 0));
        QVERIFY(!choose()->isEnabled() && !path()->isEnabled());
        QCOMPARE(m_main.calls, (QStringList{u"Pitch:40"_s, u"Speed:150"_s}));
        QCOMPARE(m_recorder->calls,
                 (QStringList{u"FileName:"_s + m_dir.filePath(u"a.wav"_s), u"Select:2"_s, u"Pitch:40"_s,
                              u"Speed:150"_s, u"Speak:<Текст для записи>"_s}));
        // Esc does nothing while recording: the way back is locked.
        QTest::keyClick(m_window.get(), Qt::Key_Escape);
        QVERIFY(m_window->isVisible());

        emit m_recorder->finished();
        emit m_recorder->finished();
        QCOMPARE(m_prompter.messages(), QStringList{u"Речь успешно записана в звуковой файл."_s});
        QCOMPARE(m_prompter.asked.last().icon, Prompter::Icon::Information);
        QVERIFY(!m_window->isRecording());
        QVERIFY(!m_window->isVisible());
        QCOMPARE(background(), QColor(0, 0, 255));
    }

    void interruptStopsWithoutAMessage()
    {
        path()->setText(m_dir.filePath(u"a.wav"_s));
        QTest::mouseClick(startStop(), Qt::LeftButton);
        m_recorder->clear();
        QTest::mouseClick(startStop(), Qt::LeftButton);
        QCOMPARE(m_recorder->calls, QStringList{u"AudioReset"_s});
        QVERIFY(!m_window->isRecording());
        QCOMPARE(background(), QColor(0, 0, 255));
        emit m_recorder->finished();
        QVERIFY(m_prompter.messages().isEmpty());
        QVERIFY(m_window->isVisible());
    }

    void noToTheOverwriteQuestionKeepsTheFile()
    {
        const QString file = m_dir.filePath(u"old.wav"_s);
        QFile f(file);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write("keep");
        f.close();
        path()->setText(m_dir.filePath(u"old"_s));
        m_prompter.answers.enqueue(Prompter::Button::No);
        QTest::mouseClick(startStop(), Qt::LeftButton);
        QCOMPARE(m_prompter.messages(), QStringList{u"Такой файл уже существует! Удалить этот файл и продолжить?"_s});
        QCOMPARE(m_prompter.asked.last().icon, Prompter::Icon::Question);
        QVERIFY(!m_window->isRecording());
        QCOMPARE(path()->text(), file);
        QCOMPARE(progress(), u"Записано: 0 кб"_s);
        QVERIFY(m_recorder->calls.isEmpty());
        QVERIFY(f.open(QIODevice::ReadOnly));
        QCOMPARE(f.readAll(), QByteArray("keep"));
    }

    void fileThatCannotBeWrittenIsReported()
    {
        m_recorder->failWith = u"Не удалось создать файл"_s;
        m_recorder->failOnly = u"FileName"_s;
        path()->setText(m_dir.filePath(u"a.wav"_s));
        QTest::mouseClick(startStop(), Qt::LeftButton);
        QCOMPARE(m_prompter.messages(), QStringList{u"Ошибка записи. Выберете другой файл и повторите попытку."_s});
        QVERIFY(!m_window->isRecording());
        QVERIFY(choose()->isEnabled() && path()->isEnabled());
        // A failure while starting leaves the colour as it was.
        QCOMPARE(background(), QColor(0, 192, 0));
    }

    void failureWhileWritingIsNeverASuccess()
    {
        path()->setText(m_dir.filePath(u"a.wav"_s));
        QTest::mouseClick(startStop(), Qt::LeftButton);
        emit m_recorder->failed(u"Диск заполнен"_s);
        QCOMPARE(m_prompter.messages(), QStringList{u"Ошибка записи. Выберете другой файл и повторите попытку."_s});
        QVERIFY(!m_window->isRecording());
        emit m_recorder->finished();
        QCOMPARE(m_prompter.messages().size(), 1);

        // The speech all made, but the file's last frames do not fit on the disk as it is completed.
        m_prompter = FakePrompter();
        path()->setText(m_dir.filePath(u"b.mp3"_s));
        QTest::mouseClick(startStop(), Qt::LeftButton);
        QVERIFY(m_window->isRecording());
        m_recorder->failWith = u"Диск заполнен"_s;
        m_recorder->failOnly = u"FileName"_s;
        emit m_recorder->finished();
        QCOMPARE(m_prompter.messages(), QStringList{u"Ошибка записи. Выберете другой файл и повторите попытку."_s});
        QVERIFY(!m_window->isRecording());
    }

    void realRecordingEndsWithAValidFileOfPlausibleLength()
    {
        auto real = makeRealWindow(u"Мама мыла раму. Папа читал газету."_s);
        const QString file = m_dir.filePath(u"речь.wav"_s);
        real->findChild<QLineEdit *>(u"Edit1"_s)->setText(file);
        QTest::mouseClick(real->findChild<LabelButton *>(u"StaticText2"_s), Qt::LeftButton);
        QVERIFY(real->isRecording());
        QTRY_VERIFY_WITH_TIMEOUT(!real->isRecording(), 20000);
        QCOMPARE(m_prompter.messages(), QStringList{u"Речь успешно записана в звуковой файл."_s});
        const WavFile wav = WavFile::read(file);
        QVERIFY2(wav.isValid(), qPrintable(wav.problem));
        QVERIFY2(wav.seconds() > 1.5 && wav.seconds() < 8, qPrintable(QString::number(wav.seconds())));
        QVERIFY(wav.peak() > 1000);
        QCOMPARE(real->findChild<QLabel *>(u"Label1"_s)->text(), RecordingWindow::progressText(QFileInfo(file).size()));
    }

    void realRecordingToMp3HasTheLengthOfWav()
    {
        const QString text = u"Мама мыла раму. Папа читал газету."_s;
        QList<SoundFile> sounds;
        for (const QString &name : {u"речь.wav"_s, u"речь.mp3"_s}) {
            auto real = makeRealWindow(text);
            real->findChild<QLineEdit *>(u"Edit1"_s)->setText(m_dir.filePath(name));
            QTest::mouseClick(real->findChild<LabelButton *>(u"StaticText2"_s), Qt::LeftButton);
            QTRY_VERIFY_WITH_TIMEOUT(!real->isRecording(), 20000);
            sounds.append(SoundFile::read(m_dir.filePath(name)));
            QVERIFY2(sounds.last().isValid(), qPrintable(sounds.last().problem));
        }
        QVERIFY(sounds[0].seconds() > 1.5);
        // espeak-ng's pauses vary by a few hundredths of a second between runs of the same text.
        QVERIFY2(std::abs(sounds[1].seconds() - sounds[0].seconds()) < 0.1,
                 qPrintable(u"%1 s against %2 s"_s.arg(sounds[1].seconds()).arg(sounds[0].seconds())));
        QCOMPARE(m_prompter.messages().size(), 2);
    }

    void interruptedRecordingIsAPlayableFile()
    {
        QString text;
        for (int i = 0; i < 300; ++i)
            text += u"Это предложение повторяется, чтобы запись шла долго. "_s;
        auto real = makeRealWindow(text);
        const QString file = m_dir.filePath(u"долго.wav"_s);
        real->findChild<QLineEdit *>(u"Edit1"_s)->setText(file);
        QTest::mouseClick(real->findChild<LabelButton *>(u"StaticText2"_s), Qt::LeftButton);
        QTRY_VERIFY_WITH_TIMEOUT(QFileInfo(file).size() > 200'000, 20000);
        QTest::mouseClick(real->findChild<LabelButton *>(u"StaticText2"_s), Qt::LeftButton);
        QVERIFY(!real->isRecording());
        // Stopped means final: nothing is written to the file afterwards.
        const QByteArray stopped = fileBytes(file);
        QTest::qWait(500);
        QCOMPARE(fileBytes(file), stopped);
        const WavFile wav = WavFile::read(file);
        QVERIFY2(wav.isValid(), qPrintable(wav.problem));
        QVERIFY(wav.seconds() > 2);
        QVERIFY(m_prompter.messages().isEmpty());
    }

    void unwritableFileWithTheRealControl()
    {
        auto real = makeRealWindow(u"Текст."_s);
        real->findChild<QLineEdit *>(u"Edit1"_s)->setText(m_dir.filePath(u"нет такой папки/a.wav"_s));
        QTest::mouseClick(real->findChild<LabelButton *>(u"StaticText2"_s), Qt::LeftButton);
        QCOMPARE(m_prompter.messages(), QStringList{u"Ошибка записи. Выберете другой файл и повторите попытку."_s});
        QVERIFY(!real->isRecording());
    }

    void minimizeHidesTheProgram()
    {
        QTest::mouseClick(m_window->findChild<LabelButton *>(u"StaticText7"_s), Qt::LeftButton);
        QCOMPARE(m_hidden, 1);
    }
};

QTEST_MAIN(TestRecordingWindow)
#include "tst_recordingwindow.moc"
