// RHVoice's voices in the speech control, for real: the engine list, what reaches the listener and
// the file, speed beside espeak-ng's, and voices with damaged data. Skipped where RHVoice is not
// installed.
#include "speech/espeakspeechcontrol.h"
#ifdef VELMIRA_HAVE_RHVOICE
#include "speech/rhvoiceengine.h"
#include "speech/synthesisworker.h"
#endif

#include "support/listeningaudiooutput.h"
#include "support/wavfile.h"
#include "voicenumber.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

using namespace Qt::StringLiterals;
using namespace velmira;

namespace {

const QString Aleksandr = u"RHVoice:Aleksandr"_s;
const QString Prose = u"Тихий вечер опустился на старый город. Люди шли домой по мокрым улицам, и фонари "
                      u"один за другим зажигались над рекой. Где-то далеко играла музыка."_s;

} // namespace

class TestRhvoice : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void listedFirstWithReadableNames();
    void recordsAsLongAsRhvoiceItself();
    void speedSoundsLikeEspeakNgAtTheSamePosition();
    void wordPositionsPointIntoTheText();
    void pauseResumeAndResetAtOnce();
    void damagedVoiceIsReportedNotFatal();

private:
    WavFile record(const QString &identity, const QString &text, int speed = 175, int pitch = 33);

    QTemporaryDir m_dir;
    int m_files = 0;
};

void TestRhvoice::initTestCase()
{
    QVERIFY(m_dir.isValid());
    const EspeakSpeechControl probe(std::make_unique<ListeningAudioOutput>());
    if (voiceNumber(probe, Aleksandr) == 0)
        QSKIP("RHVoice is not installed (packages rhvoice-russian and librhvoice-dev): its voices are not tested");
}

WavFile TestRhvoice::record(const QString &identity, const QString &text, int speed, int pitch)
{
    EspeakSpeechControl control(std::make_unique<ListeningAudioOutput>());
    const int engine = voiceNumber(control, identity);
    if (engine == 0)
        return {};
    control.Select(engine);
    control.setSpeed(speed);
    control.setPitch(pitch);
    const QString file = m_dir.filePath(u"запись-%1.wav"_s.arg(++m_files));
    control.setFileName(file);
    QSignalSpy finished(&control, &SpeechControl::finished);
    control.Speak(text);
    if (!finished.wait(60000))
        return {};
    return WavFile::read(file);
}

void TestRhvoice::listedFirstWithReadableNames()
{
    const EspeakSpeechControl control(std::make_unique<ListeningAudioOutput>());
    // The first voice, chosen on a first run, is a natural Russian one; all RHVoice's Russian voices
    // come before espeak-ng's.
    QCOMPARE(control.VoiceIdentity(1), Aleksandr);
    QCOMPARE(control.ModeName(1), u"Александр (RHVoice)"_s);
    const int espeak = voiceNumber(control, u"espeak-ng:zle/ru"_s);
    QVERIFY(espeak > 1);
    for (int i = 1; i < espeak; ++i)
        QVERIFY2(control.ModeName(i).endsWith(u" (RHVoice)"_s), qPrintable(control.ModeName(i)));
    QCOMPARE(control.ModeName(espeak), u"Русский (espeak-ng)"_s);
    const int anna = voiceNumber(control, u"RHVoice:Anna"_s);
    QVERIFY(anna > 0 && anna < espeak);
    QCOMPARE(control.ModeName(anna), u"Анна (RHVoice)"_s);
}

void TestRhvoice::recordsAsLongAsRhvoiceItself()
{
    // At this position of the speed bar Aleksandr speaks at his own pace, as RHVoice's own program does.
    const WavFile ours = record(Aleksandr, Prose, 124, 50);
    QVERIFY2(ours.isValid(), qPrintable(ours.problem));
    QCOMPARE(ours.sampleRate, 22050);
    QVERIFY(ours.peak() > 3000);

    const QString tool = QStandardPaths::findExecutable(u"RHVoice-test"_s);
    if (tool.isEmpty())
        QSKIP("RHVoice-test (package rhvoice) is not installed");
    const QString textPath = m_dir.filePath(u"текст.txt"_s);
    QFile text(textPath);
    QVERIFY(text.open(QIODevice::WriteOnly) && text.write(Prose.toUtf8()) > 0);
    text.close();
    const QString theirPath = m_dir.filePath(u"rhvoice.wav"_s);
    QProcess rhvoice;
    rhvoice.start(tool, {u"-p"_s, u"Aleksandr"_s, u"-i"_s, textPath, u"-o"_s, theirPath});
    QVERIFY(rhvoice.waitForFinished(60000) && rhvoice.exitCode() == 0);
    const WavFile theirs = WavFile::read(theirPath);
    QVERIFY2(theirs.isValid(), qPrintable(theirs.problem));
    QVERIFY2(qAbs(ours.seconds() - theirs.seconds()) < theirs.seconds() * 0.03,
             qPrintable(u"ours %1 s, RHVoice's %2 s"_s.arg(ours.seconds()).arg(theirs.seconds())));
}

void TestRhvoice::speedSoundsLikeEspeakNgAtTheSamePosition()
{
    // Voices of different paces (Anna speaks faster than Aleksandr) take about as long as espeak-ng
    // over the same text at the same position of the speed bar.
    for (int speed : {100, 200}) {
        const WavFile espeak = record(u"espeak-ng:zle/ru"_s, Prose, speed);
        QVERIFY(espeak.isValid());
        for (const QString &voice : {Aleksandr, u"RHVoice:Anna"_s}) {
            const WavFile rhvoice = record(voice, Prose, speed);
            QVERIFY(rhvoice.isValid());
            const double ratio = rhvoice.seconds() / espeak.seconds();
            QVERIFY2(ratio > 0.9 && ratio < 1.1,
                     qPrintable(u"%1 at %2: %3 s, espeak-ng %4 s"_s.arg(voice).arg(speed).arg(rhvoice.seconds()).arg(espeak.seconds())));
        }
    }
    // The ends of the bar stay within RHVoice's range: still speech, slower and faster.
    const WavFile slowest = record(Aleksandr, Prose, 80);
    const WavFile fastest = record(Aleksandr, Prose, 450);
    QVERIFY(slowest.isValid() && fastest.isValid() && fastest.peak() > 3000);
    QVERIFY2(slowest.seconds() > 2.5 * fastest.seconds(), qPrintable(u"%1 %2"_s.arg(slowest.seconds()).arg(fastest.seconds())));
}

void TestRhvoice::wordPositionsPointIntoTheText()
{
    const QString first = u"Привет, мир! Как 😀 дела?\nВ 1995 году «ёлка» стояла у окна."_s;
    const QString second = u"Второй текст."_s;
    EspeakSpeechControl control(std::make_unique<ListeningAudioOutput>());
    control.Select(voiceNumber(control, Aleksandr));
    struct Word
    {
        quint64 serial;
        QString text;
    };
    QList<Word> reported;
    connect(&control, &SpeechControl::wordReached, this, [&](quint64 serial, int position, int length) {
        const QString &text = serial == 1 ? first : second;
        QVERIFY(position >= 0 && length > 0 && position + length <= text.size());
        // A whole word of the text, never a part of one.
        QVERIFY(position == 0 || !text[position - 1].isLetterOrNumber());
        QVERIFY(position + length == text.size() || !text[position + length].isLetterOrNumber());
        reported.append({serial, text.mid(position, length)});
    });
    QSignalSpy finished(&control, &SpeechControl::finished);
    control.setFileName(m_dir.filePath(u"слова.wav"_s));
    control.Speak(first);
    control.Speak(second);
    QVERIFY(finished.wait(30000));

    QStringList words;
    for (const Word &w : reported)
        words << w.text;
    // A number or a symbol is read as several words, but shown once.
    QCOMPARE(words, QStringList({u"Привет"_s, u"мир"_s, u"Как"_s, u"😀"_s, u"дела"_s, u"В"_s, u"1995"_s, u"году"_s,
                                 u"ёлка"_s, u"стояла"_s, u"у"_s, u"окна"_s, u"Второй"_s, u"текст"_s}));
    QCOMPARE(reported.last().serial, quint64(2));
}

void TestRhvoice::pauseResumeAndResetAtOnce()
{
    const WavFile sentence = record(Aleksandr, Prose);
    const WavFile yes = record(Aleksandr, u"Да."_s);
    QVERIFY(sentence.isValid() && yes.isValid());

    auto out = std::make_unique<ListeningAudioOutput>(3.0);
    ListeningAudioOutput *output = out.get();
    EspeakSpeechControl control(std::move(out));
    control.Select(voiceNumber(control, Aleksandr));
    QSignalSpy finished(&control, &SpeechControl::finished);
    control.Speak(Prose);
    QTRY_VERIFY(output->heardCount() > 22050 / 2);
    control.AudioPause();
    const qint64 atPause = output->heardCount();
    QTest::qWait(300);
    QCOMPARE(output->heardCount(), atPause);
    control.AudioResume();
    QVERIFY(finished.wait(20000));
    // Everything heard once, from where it was held.
    QVERIFY2(qAbs(output->heardCount() - sentence.samples.size()) < sentence.samples.size() / 100,
             qPrintable(u"heard %1, expected %2"_s.arg(output->heardCount()).arg(sentence.samples.size())));

    const qint64 before = output->heardCount();
    control.Speak(Prose + Prose);
    QTRY_VERIFY(output->heardCount() > before + 22050 / 4);
    control.AudioReset();
    const qint64 atReset = output->heardCount();
    QTest::qWait(200);
    QCOMPARE(output->heardCount(), atReset);
    control.Speak(u"Да."_s);
    QVERIFY(finished.wait(10000));
    // Played from where the voice sets in.
    const qint64 after = output->heardCount() - atReset;
    const qint64 expected = qint64(yes.samples.size()) - leadingSilence(yes.samples, yes.sampleRate);
    QVERIFY2(qAbs(after - expected) < expected / 50,
             qPrintable(u"heard %1 after the reset, expected %2"_s.arg(after).arg(expected)));
    QCOMPARE(finished.count(), 2);
}

void TestRhvoice::damagedVoiceIsReportedNotFatal()
{
#ifndef VELMIRA_HAVE_RHVOICE
    QSKIP("built without RHVoice");
#else
    const QString installed = u"/usr/share/RHVoice"_s;
    if (!QDir(installed + u"/voices/aleksandr"_s).exists() || !QDir(installed + u"/voices/anna"_s).exists())
        QSKIP("RHVoice's data is not in /usr/share/RHVoice");

    // A data folder with the Russian language, Anna as installed, and two copies of Aleksandr's voice
    // gone bad: files cut short (RHVoice crashes on them) and a file missing (RHVoice exits).
    QTemporaryDir data;
    QDir root(data.path());
    QVERIFY(root.mkpath(u"languages"_s) && root.mkpath(u"voices"_s) && root.mkpath(u"config"_s));
    QVERIFY(QFile::link(installed + u"/languages/Russian"_s, data.filePath(u"languages/Russian"_s)));
    QVERIFY(QFile::link(installed + u"/voices/anna"_s, data.filePath(u"voices/anna"_s)));
    const auto damagedCopy = [&](const QString &name, bool cutShort) {
        const QString voice = data.filePath(u"voices/"_s + name);
        const QDir source(installed + u"/voices/aleksandr"_s);
        QVERIFY(QDir().mkpath(voice + u"/24000"_s));
        QFile info(source.filePath(u"voice.info"_s));
        QVERIFY(info.open(QIODevice::ReadOnly));
        QFile copy(voice + u"/voice.info"_s);
        QVERIFY(copy.open(QIODevice::WriteOnly));
        copy.write(info.readAll().replace("name=Aleksandr", "name=" + name.toUtf8()));
        const QDir rate(source.filePath(u"24000"_s));
        for (const QString &file : rate.entryList(QDir::Files)) {
            QFile from(rate.filePath(file));
            QVERIFY(from.open(QIODevice::ReadOnly));
            if (!cutShort && file == u"mgc.pdf"_s)
                continue;
            QFile to(voice + u"/24000/"_s + file);
            QVERIFY(to.open(QIODevice::WriteOnly));
            to.write(cutShort && file.endsWith(u".pdf"_s) ? from.read(100) : from.readAll());
        }
    };
    damagedCopy(u"Cutshort"_s, true);
    damagedCopy(u"Missing"_s, false);

    RhvoiceEngine engine(data.path(), data.filePath(u"config"_s));
    QStringList names;
    for (const Voice &v : engine.voices())
        names << QString::fromUtf8(v.identifier);
    names.sort();
    QCOMPARE(names, QStringList({u"Anna"_s, u"Cutshort"_s, u"Missing"_s}));

    class Collecting : public PieceSink
    {
    public:
        bool deliver(const qint16 *, qint64 count, std::span<const EngineWord>) override
        {
            samples += count;
            return true;
        }
        qint64 samples = 0;
    };
    for (const QByteArray &voice : {QByteArray("Cutshort"), QByteArray("Missing")}) {
        Collecting sink;
        const QString failure = engine.synthesise({voice, 175, 50}, u"Проверка голоса."_s, true, 22050, sink);
        QVERIFY2(failure.contains(QString::fromUtf8(voice)) && failure.contains(u"повреждены"_s), qPrintable(failure));
        QCOMPARE(sink.samples, 0);
    }
    // The program goes on, and the sound voice speaks.
    Collecting sink;
    QCOMPARE(engine.synthesise({"Anna", 175, 50}, u"Проверка голоса."_s, true, 22050, sink), QString());
    QVERIFY(sink.samples > 22050 / 2);

    // No voices at all: RHVoice lends none, and the program speaks with espeak-ng's.
    QTemporaryDir empty;
    QVERIFY_THROWS_EXCEPTION(SpeechError, RhvoiceEngine(empty.path(), empty.path()));
#endif
}

QTEST_GUILESS_MAIN(TestRhvoice)
#include "tst_rhvoice.moc"
