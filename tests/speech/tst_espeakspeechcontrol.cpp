// The espeak-ng speech control, for real: what reaches the listener and what reaches the file.
#include "speech/espeakspeechcontrol.h"
#include "speech/speechcontrolfactory.h"
#include "speech/synthesisworker.h"

#include "support/listeningaudiooutput.h"
#include "support/wavfile.h"
#include "voicenumber.h"

#include <QElapsedTimer>
#include <QFileInfo>
#include <QLoggingCategory>
#include <QScopeGuard>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <algorithm>
#include <cstdlib>
#include <memory>

using namespace Qt::StringLiterals;
using namespace velmira;

namespace {

const QString Sentence = u"Съешь же ещё этих мягких французских булок, да выпей чаю."_s;
const QString EspeakRussian = u"espeak-ng:zle/ru"_s;

struct Listening
{
    std::unique_ptr<EspeakSpeechControl> control;
    ListeningAudioOutput *output = nullptr;
};

Listening listening(double pace)
{
    auto output = std::make_unique<ListeningAudioOutput>(pace);
    Listening l;
    l.output = output.get();
    l.control = std::make_unique<EspeakSpeechControl>(std::move(output));
    l.control->Select(voiceNumber(*l.control, EspeakRussian));
    return l;
}

// Many sentences: minutes of speech.
QString longText(int sentences)
{
    QString text;
    for (int i = 0; i < sentences; ++i)
        text += u"Предложение номер %1 читается спокойно и размеренно, без всякой спешки. "_s.arg(i + 1);
    return text;
}

// What the speech log says about voices being got ready (the log's debug lines are off by default).
QStringList g_voicesGotReady;
QtMessageHandler g_previousHandler = nullptr;

void noteVoicesGotReady(QtMsgType type, const QMessageLogContext &context, const QString &message)
{
    if (context.category && qstrcmp(context.category, "velmira.speech") == 0 && message.contains(u"getting the voice ready"_s))
        g_voicesGotReady.append(message);
    else
        g_previousHandler(type, context, message);
}

struct Word
{
    quint64 serial;
    int position;
    int length;
};

} // namespace

class TestEspeakSpeechControl : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    // First: it needs a process in which no voice has been got ready yet.
    void onlyAChosenVoiceIsGotReady();
    void enginesAndLimits();
    void russianSentenceToWav();
    void speedAndPitchShapeTheSpeech();
    void playedSpeechStartsWithTheVoice();
    void pauseHoldsTheSoundAndResumeGoesOn();
    void aTextQueuedAgainIsKeptOnce();
    void resetCutsOffAtOnce();
    void resetStopsALongRecordingAtOnce();
    void wordPositionsPointIntoTheText();
    void wordsAreReportedAsTheyAreHeard();
    void finishedOncePerQueue();
    void twoControlsShareTheSynthesisThread();
    void destroyingAControlMidSpeech();
    void failuresAreReported();
    void soundOutputFromTheEnvironment();

private:
    // `text` written to a file by a control of its own: what the listener should hear. Engine 0 is
    // espeak-ng's Russian voice.
    WavFile record(const QString &text, int speed = 175, int engine = 0, int pitch = 50);
    QString path(const QString &name) const { return m_dir.filePath(name); }

    QTemporaryDir m_dir;
    int m_files = 0;
};

void TestEspeakSpeechControl::initTestCase()
{
    QVERIFY(m_dir.isValid());
}

void TestEspeakSpeechControl::onlyAChosenVoiceIsGotReady()
{
    // Getting a voice ready may cost a second (RHVoice); the first voice of the list, which a control has
    // before the settings choose one, is not worth it. The chosen voice is got ready at once.
    QLoggingCategory::setFilterRules(u"velmira.speech.debug=true"_s);
    g_previousHandler = qInstallMessageHandler(noteVoicesGotReady);
    auto restore = qScopeGuard([] {
        qInstallMessageHandler(g_previousHandler);
        QLoggingCategory::setFilterRules(QString());
    });
    EspeakSpeechControl control(std::make_unique<ListeningAudioOutput>());
    QTest::qWait(300);
    QVERIFY2(g_voicesGotReady.isEmpty(), qPrintable(g_voicesGotReady.join(u'|')));
    const int last = control.CountEngines();
    control.Select(last);
    QTRY_COMPARE(g_voicesGotReady.size(), 1);
    QVERIFY2(g_voicesGotReady.first().contains(control.VoiceIdentity(last)), qPrintable(g_voicesGotReady.first()));
}

WavFile TestEspeakSpeechControl::record(const QString &text, int speed, int engine, int pitch)
{
    EspeakSpeechControl control(std::make_unique<ListeningAudioOutput>());
    const QString file = path(u"образец-%1.wav"_s.arg(++m_files));
    control.Select(engine > 0 ? engine : voiceNumber(control, EspeakRussian));
    control.setSpeed(speed);
    control.setPitch(pitch);
    control.setFileName(file);
    QSignalSpy finished(&control, &SpeechControl::finished);
    control.Speak(text);
    if (!finished.wait(30000))
        return {};
    return WavFile::read(file);
}

void TestEspeakSpeechControl::enginesAndLimits()
{
    EspeakSpeechControl control(std::make_unique<ListeningAudioOutput>());
    const int count = control.CountEngines();
    QVERIFY(count > 10);
    const int russian = voiceNumber(control, EspeakRussian);
    QVERIFY(russian > 0);
    QCOMPARE(control.ModeName(russian), u"Русский (espeak-ng)"_s);

    QStringList names;
    bool pastRussian = false;
    for (int i = 1; i <= count; ++i) {
        const QString name = control.ModeName(i);
        QVERIFY(!names.contains(name));
        names << name;
        // Russian voices come first, all together.
        const bool isRussian = name.startsWith(u"Русский"_s) || name.endsWith(u"(RHVoice)"_s);
        QVERIFY2(!(isRussian && pastRussian), qPrintable(name));
        pastRussian = pastRussian || !isRussian;
    }
    // A second control (the recording one) lists the same engines in the same order.
    EspeakSpeechControl second(std::make_unique<ListeningAudioOutput>());
    QStringList identities;
    for (int i = 1; i <= count; ++i) {
        QCOMPARE(second.ModeName(i), names.at(i - 1));
        QCOMPARE(second.VoiceIdentity(i), control.VoiceIdentity(i));
        QVERIFY(!identities.contains(control.VoiceIdentity(i)));
        identities << control.VoiceIdentity(i);
    }

    for (int bad : {0, -1, count + 1}) {
        QVERIFY_THROWS_EXCEPTION(SpeechError, control.Select(bad));
        QVERIFY_THROWS_EXCEPTION(SpeechError, control.ModeName(bad));
        QVERIFY_THROWS_EXCEPTION(SpeechError, control.VoiceIdentity(bad));
    }

    control.Select(count);
    QCOMPARE(control.MinSpeed(), 80);
    QCOMPARE(control.MaxSpeed(), 450);
    QCOMPARE(control.MinPitch(), 0);
    QCOMPARE(control.MaxPitch(), 100);
    control.setSpeed(450);
    QCOMPARE(control.Speed(), 450);
    control.setSpeed(1000);
    QCOMPARE(control.Speed(), 450);
    control.setPitch(-5);
    QCOMPARE(control.Pitch(), 0);
}

void TestEspeakSpeechControl::russianSentenceToWav()
{
    const WavFile wav = record(Sentence);
    QVERIFY2(wav.isValid(), qPrintable(wav.problem));
    QCOMPARE(wav.sampleRate, 22050);
    // Ten words at the normal speed of 175 words a minute.
    QVERIFY2(wav.seconds() > 2.0 && wav.seconds() < 6.0, qPrintable(QString::number(wav.seconds())));
    QVERIFY(wav.peak() > 3000);
}

void TestEspeakSpeechControl::speedAndPitchShapeTheSpeech()
{
    const WavFile slow = record(Sentence, 80);
    const WavFile fast = record(Sentence, 450);
    QVERIFY(slow.isValid() && fast.isValid());
    QVERIFY2(slow.seconds() > 2.5 * fast.seconds(),
             qPrintable(u"%1 s at 80, %2 s at 450"_s.arg(slow.seconds()).arg(fast.seconds())));

    const WavFile low = record(Sentence, 175, 0, 0);
    const WavFile high = record(Sentence, 175, 0, 100);
    QVERIFY(low.isValid() && high.isValid());
    QVERIFY(low.samples != high.samples);
}

// The silence a voice makes before it speaks only holds back the first sound after Read: played
// speech leaves it out at the start of each text, the words still heard as they are spoken. A file
// keeps the speech as the voice made it.
void TestEspeakSpeechControl::playedSpeechStartsWithTheVoice()
{
    const WavFile file = record(Sentence);
    QVERIFY2(file.isValid(), qPrintable(file.problem));
    const auto firstSound = [](const auto &samples) {
        return qint64(std::find_if(samples.begin(), samples.end(), [](qint16 s) { return std::abs(int(s)) > 32; }) -
                      samples.begin());
    };
    const qint64 silenceInFile = firstSound(file.samples);
    // espeak-ng's Russian voice begins with about 12 ms of silence.
    QVERIFY2(silenceInFile > 22050 * 8 / 1000, qPrintable(QString::number(silenceInFile)));

    auto [control, output] = listening(4.0);
    QList<qint64> wordsHeardAt;
    connect(control.get(), &SpeechControl::wordReached, this,
            [&, out = output](quint64, int, int) { wordsHeardAt << out->heardCount(); });
    QSignalSpy finished(control.get(), &SpeechControl::finished);
    control->Speak(Sentence);
    QVERIFY(finished.wait(10000));
    const std::vector<qint16> &heard = output->heard;
    // Three milliseconds are kept before the voice sets in; nothing of the voice is lost (the last
    // millisecond may still be on its way to the listener).
    QVERIFY2(firstSound(heard) <= 22050 * 3 / 1000 + 1, qPrintable(QString::number(firstSound(heard))));
    const qint64 voiceHeard = qint64(heard.size()) - firstSound(heard);
    const qint64 voiceMade = qint64(file.samples.size()) - silenceInFile;
    QVERIFY2(voiceHeard <= voiceMade && voiceHeard > voiceMade - 22050 / 1000,
             qPrintable(u"%1 of %2"_s.arg(voiceHeard).arg(voiceMade)));

    // So does every text read after it.
    QTest::qWait(100);
    const qint64 before = output->heardCount();
    control->Speak(Sentence);
    QVERIFY(finished.wait(10000));
    const std::vector<qint16> next(output->heard.begin() + before, output->heard.end());
    QVERIFY2(firstSound(next) <= 22050 * 3 / 1000 + 1, qPrintable(QString::number(firstSound(next))));

    // The first word is marked where its sound begins, not a silence later.
    QCOMPARE(wordsHeardAt.size(), 20);
    QVERIFY2(wordsHeardAt.first() < 22050 / 20, qPrintable(QString::number(wordsHeardAt.first())));
}

void TestEspeakSpeechControl::pauseHoldsTheSoundAndResumeGoesOn()
{
    const WavFile sentence = record(Sentence);
    const WavFile more = record(u"Ещё."_s);
    QVERIFY(sentence.isValid() && more.isValid());

    auto [control, output] = listening(2.0);
    QSignalSpy finished(control.get(), &SpeechControl::finished);
    control->AudioResume(); // nothing is held: harmless
    control->Speak(Sentence);
    QTRY_VERIFY(output->heardCount() > 22050 / 2);

    control->AudioPause();
    const qint64 atPause = output->heardCount();
    QTest::qWait(300);
    QCOMPARE(output->heardCount(), atPause);
    // Text queued while held waits too.
    control->Speak(u"Ещё."_s);
    QTest::qWait(100);
    QCOMPARE(output->heardCount(), atPause);
    QCOMPARE(finished.count(), 0);

    control->AudioResume();
    QVERIFY(finished.wait(10000));
    QCOMPARE(finished.count(), 1);
    // Everything was heard once, from where it was held.
    const qint64 expected = sentence.samples.size() + more.samples.size();
    QVERIFY2(qAbs(output->heardCount() - expected) < expected / 100,
             qPrintable(u"heard %1, expected %2"_s.arg(output->heardCount()).arg(expected)));
}

// Read and Pause pressed again and again on a long text: each Read queues a copy of the same text of
// its own, which the queue keeps once, while each is still heard in turn.
void TestEspeakSpeechControl::aTextQueuedAgainIsKeptOnce()
{
    const QString text = longText(14000);
    QVERIFY(text.size() > 1'000'000);
    auto [control, output] = listening(4.0);
    for (int i = 0; i < 500; ++i) {
        control->Speak(QString(text.constData(), text.size()));
        control->AudioResume();
        control->AudioPause();
    }
    QVERIFY2(control->queuedTextSize() <= 2 * text.size(),
             qPrintable(u"%1 characters queued for a text of %2"_s.arg(control->queuedTextSize()).arg(text.size())));
    control->AudioReset();
    QCOMPARE(control->queuedTextSize(), 0);

    const WavFile yes = record(u"Да."_s);
    QVERIFY(yes.isValid());
    QSignalSpy finished(control.get(), &SpeechControl::finished);
    const qint64 before = output->heardCount();
    for (int i = 0; i < 3; ++i)
        control->Speak(QString(u"Да."_s));
    QVERIFY(finished.wait(10000));
    const qint64 heard = output->heardCount() - before;
    QVERIFY2(qAbs(heard - 3 * yes.samples.size()) < yes.samples.size() / 10,
             qPrintable(u"heard %1, expected %2"_s.arg(heard).arg(3 * yes.samples.size())));
}

void TestEspeakSpeechControl::resetCutsOffAtOnce()
{
    const WavFile yes = record(u"Да."_s);
    QVERIFY(yes.isValid());

    auto [control, output] = listening(1.0);
    QSignalSpy finished(control.get(), &SpeechControl::finished);
    control->Speak(longText(20));
    QTRY_VERIFY(output->heardCount() > 22050 / 4);

    // A reset also releases a hold: what is queued after it is heard at once.
    control->AudioPause();
    control->AudioReset();
    const qint64 atReset = output->heardCount();
    QTest::qWait(200);
    QCOMPARE(output->heardCount(), atReset);
    QCOMPARE(finished.count(), 0);

    control->Speak(u"Да."_s);
    QVERIFY(finished.wait(5000));
    // Only the new text followed, nothing of the old one (played from where its voice sets in).
    const qint64 after = output->heardCount() - atReset;
    const qint64 expected = qint64(yes.samples.size()) - leadingSilence(yes.samples, yes.sampleRate);
    QVERIFY2(qAbs(after - expected) < expected / 50,
             qPrintable(u"heard %1 after the reset, expected %2"_s.arg(after).arg(expected)));
    QTest::qWait(200);
    QCOMPARE(finished.count(), 1);
}

void TestEspeakSpeechControl::resetStopsALongRecordingAtOnce()
{
    EspeakSpeechControl control(std::make_unique<ListeningAudioOutput>());
    control.Select(voiceNumber(control, EspeakRussian));
    QSignalSpy finished(&control, &SpeechControl::finished);
    const QString file = path(u"прерванная запись.wav"_s);
    control.setFileName(file);
    control.Speak(longText(6000));
    QTRY_VERIFY_WITH_TIMEOUT(QFileInfo(file).size() > 2'000'000, 20000);

    QElapsedTimer timer;
    timer.start();
    control.AudioReset();
    QVERIFY2(timer.elapsed() < 50, qPrintable(QString::number(timer.elapsed())));
    const qint64 atReset = QFileInfo(file).size();
    QTest::qWait(50);
    const qint64 settled = QFileInfo(file).size();
    QTest::qWait(300);
    QCOMPARE(QFileInfo(file).size(), settled);
    // At most the sound already made when the reset came still reaches the file.
    QVERIFY2(settled - atReset < 200'000, qPrintable(QString::number(settled - atReset)));
    QCOMPARE(finished.count(), 0);

    const WavFile wav = WavFile::read(file);
    QVERIFY2(wav.isValid(), qPrintable(wav.problem));
}

void TestEspeakSpeechControl::wordPositionsPointIntoTheText()
{
    QString runOn;
    const QStringList words = {u"белый"_s, u"снег"_s, u"тихо"_s, u"ложится"_s, u"на"_s, u"поля"_s, u"и"_s, u"крыши"_s};
    for (int i = 0; i < 160; ++i)
        runOn += words.at(i % words.size()) + u' ';
    const QString first = u"Привет, мир! Как 😀 дела?\nНовая строка в 1995 году. "_s + runOn + u"Конец."_s;
    const QString second = u"Второй текст."_s;

    EspeakSpeechControl control(std::make_unique<ListeningAudioOutput>());
    control.Select(voiceNumber(control, EspeakRussian));
    QList<Word> reported;
    connect(&control, &SpeechControl::wordReached, this,
            [&](quint64 serial, int position, int length) { reported.append({serial, position, length}); });
    QSignalSpy finished(&control, &SpeechControl::finished);
    control.setFileName(path(u"слова.wav"_s));
    control.Speak(first);
    control.Speak(second);
    QVERIFY(finished.wait(10000));

    const QRegularExpression letters(u"\\p{L}+"_s);
    QStringList expected;
    for (const QString &text : {first, second}) {
        for (auto it = letters.globalMatch(text); it.hasNext();)
            expected << it.next().captured();
    }
    QStringList spoken;
    QStringList other;
    for (const Word &w : reported) {
        const QString &text = w.serial == 1 ? first : second;
        QVERIFY(w.serial == 1 || w.serial == 2);
        QVERIFY(w.position >= 0 && w.position + w.length <= text.size());
        const QString word = text.mid(w.position, w.length);
        // A reported word is a whole word of the text, never a part of one.
        QVERIFY2(w.position == 0 || !text[w.position - 1].isLetter(), qPrintable(word));
        QVERIFY2(w.position + w.length == text.size() || !text[w.position + w.length].isLetter(), qPrintable(word));
        if (letters.match(word).hasMatch())
            spoken << word;
        else
            other << word;
    }
    QCOMPARE(spoken, expected);
    // A number or a symbol is read as several words, but shown once.
    QCOMPARE(other, QStringList({u"😀"_s, u"1995"_s}));
}

void TestEspeakSpeechControl::wordsAreReportedAsTheyAreHeard()
{
    auto [control, output] = listening(2.0);
    QElapsedTimer clock;
    QList<qint64> times;
    QList<qint64> heardAt;
    connect(control.get(), &SpeechControl::wordReached, this, [&, out = output](quint64, int, int) {
        times << clock.elapsed();
        heardAt << out->heardCount();
    });
    QSignalSpy finished(control.get(), &SpeechControl::finished);
    clock.start();
    control->Speak(Sentence);
    QVERIFY(finished.wait(10000));

    QCOMPARE(times.size(), 10);
    QVERIFY2(times.first() < 500, qPrintable(QString::number(times.first())));
    // Spread over the sentence as it is heard, not all at once when it is made.
    QVERIFY2(times.last() - times.first() > 700, qPrintable(QString::number(times.last() - times.first())));
    for (qsizetype i = 1; i < heardAt.size(); ++i)
        QVERIFY(heardAt[i] > heardAt[i - 1]);
}

void TestEspeakSpeechControl::finishedOncePerQueue()
{
    auto [control, output] = listening(4.0);
    QSignalSpy finished(control.get(), &SpeechControl::finished);
    control->Speak(QString());
    QVERIFY(finished.wait(2000));
    control->Speak(u"Раз."_s);
    control->Speak(u"Два."_s);
    QVERIFY(finished.wait(5000));
    QTest::qWait(200);
    QCOMPARE(finished.count(), 2);

    // Cut off before its end: no finished at all.
    control->Speak(Sentence);
    QTest::qWait(100);
    control->AudioReset();
    QTest::qWait(400);
    QCOMPARE(finished.count(), 2);

    // An empty text written to a file gives an empty but valid WAV file.
    const QString file = path(u"пусто.wav"_s);
    control->setFileName(file);
    control->Speak(u"  \n "_s);
    QVERIFY(finished.wait(2000));
    const WavFile wav = WavFile::read(file);
    QVERIFY2(wav.isValid(), qPrintable(wav.problem));
    QCOMPARE(wav.samples.size(), 0);
}

void TestEspeakSpeechControl::twoControlsShareTheSynthesisThread()
{
    QString english = u"gmw/en-US"_s;
    int englishEngine = 0;
    {
        EspeakSpeechControl probe(std::make_unique<ListeningAudioOutput>());
        for (int i = 1; i <= probe.CountEngines() && !englishEngine; ++i) {
            if (probe.VoiceIdentity(i).startsWith(u"espeak-ng:gmw/en"_s))
                englishEngine = i;
        }
    }
    QVERIFY(englishEngine > 0);
    // Every control starts with the first voice, and the synthesis thread gets it ready when it has
    // nothing to say; for an RHVoice voice that takes a second or more here, the first time in the
    // process. Done now, so that it does not fall into the timed part.
    {
        EspeakSpeechControl first(std::make_unique<ListeningAudioOutput>());
        QSignalSpy spoken(&first, &SpeechControl::finished);
        first.Speak(u"Да."_s);
        QVERIFY(spoken.wait(30000));
    }
    const QString spoken = u"Hello there. Two voices share one engine without trouble."_s;
    const QString written = longText(60);
    const WavFile spokenAlone = record(spoken, 450, englishEngine);
    const WavFile writtenAlone = record(written, 80);
    QVERIFY(spokenAlone.isValid() && writtenAlone.isValid());

    EspeakSpeechControl recorder(std::make_unique<ListeningAudioOutput>());
    recorder.Select(voiceNumber(recorder, EspeakRussian));
    recorder.setSpeed(80);
    const QString file = path(u"вместе.wav"_s);
    recorder.setFileName(file);
    auto [player, output] = listening(1.0);
    player->Select(englishEngine);
    player->setSpeed(450);
    QSignalSpy recorded(&recorder, &SpeechControl::finished);
    QSignalSpy played(player.get(), &SpeechControl::finished);

    recorder.Speak(written);
    QTest::qWait(50);
    QElapsedTimer clock;
    clock.start();
    player->Speak(spoken);
    // The long recording (several seconds of synthesis) does not keep the played speech waiting.
    // The bounds leave room for a loaded machine.
    QTRY_VERIFY_WITH_TIMEOUT(output->heardCount() > 0, 1500);
    QVERIFY2(clock.elapsed() < 1500, qPrintable(QString::number(clock.elapsed())));
    QVERIFY(played.wait(10000));
    QVERIFY2(clock.elapsed() < spokenAlone.seconds() * 1000 + 2500, qPrintable(QString::number(clock.elapsed())));
    QVERIFY(recorded.count() == 1 || recorded.wait(30000));

    // Each piece was made with its own control's voice and speed: the other control's speed would
    // change the length several times over. (The engine's pauses vary a little with what it said
    // before.)
    const WavFile together = WavFile::read(file);
    QVERIFY2(together.isValid(), qPrintable(together.problem));
    const auto near = [](qint64 actual, qint64 expected) { return qAbs(actual - expected) < expected / 10; };
    QVERIFY2(near(together.samples.size(), writtenAlone.samples.size()),
             qPrintable(u"%1 %2"_s.arg(together.samples.size()).arg(writtenAlone.samples.size())));
    QVERIFY2(near(output->heardCount(), spokenAlone.samples.size()),
             qPrintable(u"%1 %2"_s.arg(output->heardCount()).arg(spokenAlone.samples.size())));
}

void TestEspeakSpeechControl::destroyingAControlMidSpeech()
{
    QElapsedTimer timer;
    {
        auto [control, output] = listening(1.0);
        control->Speak(longText(200));
        QTRY_VERIFY(output->heardCount() > 0);
        timer.start();
        control.reset();
        QVERIFY2(timer.elapsed() < 250, qPrintable(QString::number(timer.elapsed())));
    }
    const QString file = path(u"до закрытия.wav"_s);
    {
        auto control = std::make_unique<EspeakSpeechControl>(std::make_unique<ListeningAudioOutput>());
        control->Select(voiceNumber(*control, EspeakRussian));
        control->setFileName(file);
        control->Speak(longText(6000));
        QTRY_VERIFY_WITH_TIMEOUT(QFileInfo(file).size() > 1'000'000, 20000);
        timer.start();
        control.reset();
        QVERIFY2(timer.elapsed() < 250, qPrintable(QString::number(timer.elapsed())));
    }
    // What was written stays a valid file.
    const WavFile wav = WavFile::read(file);
    QVERIFY2(wav.isValid(), qPrintable(wav.problem));
    QVERIFY(wav.seconds() > 10);

    // Controls made afterwards speak as before.
    const WavFile after = record(Sentence);
    QVERIFY(after.isValid() && after.seconds() > 2.0);
}

void TestEspeakSpeechControl::failuresAreReported()
{
    auto [control, output] = listening(4.0);
    QSignalSpy finished(control.get(), &SpeechControl::finished);
    QSignalSpy failed(control.get(), &SpeechControl::failed);

    const QString missing = path(u"нет такой папки/запись.wav"_s);
    try {
        control->setFileName(missing);
        QFAIL("a file in a missing folder was accepted");
    } catch (const SpeechError &e) {
        QVERIFY2(e.message().contains(missing), qPrintable(e.message()));
    }
    // Without a file the speech is neither written nor played.
    QVERIFY_THROWS_EXCEPTION(SpeechError, control->Speak(Sentence));
    QCOMPARE(output->heardCount(), 0);

    try {
        control->LexiconDlg(nullptr, u"Свойства произношения"_s);
        QFAIL("LexiconDlg did not fail");
    } catch (const SpeechError &e) {
        QVERIFY(e.message().contains(u"Русский"_s));
    }

    // The sound device goes away in the middle: a failure, not a finished speech.
    control->setFileName(QString());
    control->Speak(Sentence);
    QTRY_VERIFY(output->heardCount() > 0);
    output->failWith = u"Звуковое устройство отключено."_s;
    QVERIFY(failed.wait(2000));
    QCOMPARE(failed.first().first().toString(), u"Звуковое устройство отключено."_s);
    QTest::qWait(200);
    QCOMPARE(finished.count(), 0);

    output->failWith.clear();
    control->Speak(u"Снова работает."_s);
    QVERIFY(finished.wait(5000));

    // A sound device that cannot be opened: Speak fails, and its text is not left to be spoken when the
    // device opens at the next Speak (the device is opened while the text's first piece is made).
    auto [closed, closedOutput] = listening(4.0);
    closedOutput->failOpen = u"Не удалось открыть звуковое устройство."_s;
    QVERIFY_THROWS_EXCEPTION(SpeechError, closed->Speak(Sentence));
    closedOutput->failOpen.clear();
    QSignalSpy closedFinished(closed.get(), &SpeechControl::finished);
    closed->Speak(u"Да."_s);
    QVERIFY(closedFinished.wait(5000));
    QTest::qWait(100);
    QCOMPARE(closedFinished.count(), 1);
    // "Да." alone lasts well under a second; the sentence before it, seconds.
    QVERIFY2(closedOutput->heardCount() < closed->sampleRate(), qPrintable(QString::number(closedOutput->heardCount())));
}

void TestEspeakSpeechControl::soundOutputFromTheEnvironment()
{
    const QByteArray audio = qgetenv("VELMIRA_AUDIO");
    const QByteArray server = qgetenv("PULSE_SERVER");

    // The silent output plays at the pace of real sound.
    qputenv("VELMIRA_AUDIO", "null");
    {
        const std::unique_ptr<SpeechControl> control = createSpeechControl();
        QSignalSpy finished(control.get(), &SpeechControl::finished);
        QElapsedTimer clock;
        clock.start();
        control->Speak(u"Да, конечно."_s);
        QVERIFY(finished.wait(5000));
        QVERIFY2(clock.elapsed() > 500, qPrintable(QString::number(clock.elapsed())));
    }

    // Without it, a missing sound device is an error, never silence.
    qunsetenv("VELMIRA_AUDIO");
    qputenv("PULSE_SERVER", "unix:/nonexistent/velmira-test/native");
    try {
        createSpeechControl();
        QFAIL("a speech control was made without a sound device");
    } catch (const SpeechError &e) {
        QVERIFY(!e.message().isEmpty());
    }

    qputenv("VELMIRA_AUDIO", audio);
    if (server.isNull())
        qunsetenv("PULSE_SERVER");
    else
        qputenv("PULSE_SERVER", server);
}

QTEST_GUILESS_MAIN(TestEspeakSpeechControl)
#include "tst_espeakspeechcontrol.moc"
