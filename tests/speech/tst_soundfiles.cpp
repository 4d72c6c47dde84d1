// Speech written to sound files of every format: full length, playable, also when cut off.
#include "support/soundfile.h"
#include "speech/espeakspeechcontrol.h"
#include "speech/pacedaudiooutput.h"
#include "speech/backgroundwriter.h"
#include "speech/sndfilewriter.h"
#include "speech/soundwriter.h"
#include "speech/vorbiswriter.h"

#include "voicenumber.h"

#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <cmath>
#include <csignal>
#include <numeric>
#include <sndfile.h>
#include <sys/resource.h>

using namespace velmira;
using namespace Qt::StringLiterals;

class TestSoundFiles : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir m_dir;

    static std::vector<qint16> sineTone(int samples)
    {
        std::vector<qint16> tone(static_cast<size_t>(samples));
        for (size_t i = 0; i < tone.size(); ++i)
            tone[i] = qint16(10000 * std::sin(double(i) * 2 * M_PI * 440 / 22050));
        return tone;
    }

    // A control that writes `text` to `path` and waits until it is written.
    static void speakToFile(EspeakSpeechControl &speech, const QString &path, const QString &text)
    {
        QSignalSpy finished(&speech, &SpeechControl::finished);
        speech.setFileName(path);
        speech.Speak(text);
        QVERIFY(finished.wait(30000));
        speech.setFileName(QString());
    }

private slots:
    void formatComesFromTheExtensionInAnyCase_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<int>("format");
        QTest::newRow("wav") << u"речь.wav"_s << int(SoundFormat::Wav);
        QTest::newRow("MP3") << u"речь.MP3"_s << int(SoundFormat::Mp3);
        QTest::newRow("Ogg") << u"/папка.flac/речь.Ogg"_s << int(SoundFormat::OggVorbis);
        QTest::newRow("opus") << u"речь.opus"_s << int(SoundFormat::Opus);
        QTest::newRow("flac") << u"речь.fLaC"_s << int(SoundFormat::Flac);
        QTest::newRow("other") << u"речь.mp4"_s << -1;
        QTest::newRow("folder dot") << u"/папка.mp3/речь"_s << -1;
        QTest::newRow("no dot") << u"mp3"_s << -1;
    }

    void formatComesFromTheExtensionInAnyCase()
    {
        QFETCH(QString, name);
        QFETCH(int, format);
        const std::optional<SoundFormat> found = soundFormatForPath(name);
        QCOMPARE(found ? int(*found) : -1, format);
    }

    // A sine tone comes back from every format exactly as long as it was, Vorbis and Opus included,
    // which are resampled on the way; also a sound shorter than one of the encoders' frames.
    void everyFormatKeepsTheLength_data()
    {
        QTest::addColumn<QString>("extension");
        QTest::addColumn<int>("fileRate");
        QTest::addColumn<int>("samples");
        QTest::newRow("wav") << u"wav"_s << 22050 << 55125;
        QTest::newRow("mp3") << u"mp3"_s << 22050 << 55125;
        QTest::newRow("ogg") << u"ogg"_s << 16000 << 55125;
        QTest::newRow("opus") << u"opus"_s << 16000 << 55125;
        QTest::newRow("flac") << u"flac"_s << 22050 << 55125;
        QTest::newRow("mp3, a few samples") << u"mp3"_s << 22050 << 300;
        QTest::newRow("ogg, a few samples") << u"ogg"_s << 16000 << 300;
        QTest::newRow("opus, a few samples") << u"opus"_s << 16000 << 300;
    }

    void everyFormatKeepsTheLength()
    {
        QFETCH(QString, extension);
        QFETCH(int, fileRate);
        QFETCH(int, samples);
        const QString path = m_dir.filePath(u"тон."_s + extension);
        const std::vector<qint16> tone = sineTone(samples);
        {
            auto writer = createSoundWriter(path, 22050, *soundFormatForPath(path));
            // Blocks of odd sizes, as the engine hands them over.
            for (size_t at = 0; at < tone.size(); at += 1103)
                writer->write(tone.data() + at, qsizetype(std::min<size_t>(1103, tone.size() - at)));
            writer->finish();
        }
        const SoundFile sound = SoundFile::read(path);
        QVERIFY2(sound.isValid(), qPrintable(sound.problem));
        QCOMPARE(sound.sampleRate, fileRate);
        const double seconds = double(samples) / 22050;
        QVERIFY2(std::abs(sound.seconds() - seconds) < 0.002, qPrintable(u"%1 s against %2 s"_s.arg(sound.seconds()).arg(seconds)));
        QVERIFY(sound.peak > 8000 && sound.peak < 13000);
    }

    // A writer dropped without being finished (a recording cut off) leaves a complete file of all
    // it was given.
    void compressedFileIsCompleteWhenTheWriterIsDroppedUnfinished_data()
    {
        QTest::addColumn<QString>("name");
        QTest::newRow("mp3") << u"брошен.mp3"_s;
        QTest::newRow("ogg") << u"брошен.ogg"_s;
        QTest::newRow("opus") << u"брошен.opus"_s;
    }

    void compressedFileIsCompleteWhenTheWriterIsDroppedUnfinished()
    {
        QFETCH(QString, name);
        const QString path = m_dir.filePath(name);
        const std::vector<qint16> tone = sineTone(22050);
        {
            auto writer = createSoundWriter(path, 22050, *soundFormatForPath(path));
            writer->write(tone.data(), qsizetype(tone.size()));
        }
        const SoundFile sound = SoundFile::read(path);
        QVERIFY2(sound.isValid(), qPrintable(sound.problem));
        QVERIFY2(std::abs(sound.seconds() - 1.0) < 0.002, qPrintable(QString::number(sound.seconds())));
    }

    // A file that stops growing part-way (a full disk, here a limit on the file's size) fails the
    // recording, and what reached the file before still plays.
    void aWriteFailingPartWayIsReportedAndTheStartPlays_data()
    {
        compressedFileIsCompleteWhenTheWriterIsDroppedUnfinished_data();
    }

    void aWriteFailingPartWayIsReportedAndTheStartPlays()
    {
        QFETCH(QString, name);
        const QString path = m_dir.filePath(u"предел-"_s + name);
        // A tone with noise over it, which no encoder squeezes into a few bytes.
        std::vector<qint16> tone = sineTone(22050 * 10);
        quint32 noise = 1;
        for (qint16 &sample : tone) {
            noise = noise * 1664525 + 1013904223;
            sample = qint16(sample + int(noise >> 20) - 2048);
        }
        rlimit saved{};
        QVERIFY(getrlimit(RLIMIT_FSIZE, &saved) == 0);
        const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
        rlimit small = saved;
        // A few seconds of any of the formats.
        small.rlim_cur = 24'000;
        QVERIFY(setrlimit(RLIMIT_FSIZE, &small) == 0);
        QString reported;
        try {
            auto writer = createSoundWriter(path, 22050, *soundFormatForPath(path));
            for (size_t at = 0; at < tone.size(); at += 2205)
                writer->write(tone.data() + at, 2205);
            writer->finish();
        } catch (const SpeechError &e) {
            reported = e.message();
        }
        setrlimit(RLIMIT_FSIZE, &saved);
        std::signal(SIGXFSZ, oldHandler);
        QVERIFY2(reported.startsWith(u"Не удалось записать звуковой файл «%1»"_s.arg(path)), qPrintable(reported));
        const SoundFile sound = SoundFile::read(path);
        QVERIFY2(sound.isValid(), qPrintable(sound.problem));
        QVERIFY2(sound.seconds() > 0.5 && sound.seconds() < 10, qPrintable(QString::number(sound.seconds())));
    }

    void closedWriterRefusesMoreAndBadPathsThrow()
    {
        SndfileWriter writer(m_dir.filePath(u"закрыт.flac"_s), 22050, SoundFormat::Flac);
        const qint16 sample = 1;
        writer.write(&sample, 1);
        writer.finish();
        QVERIFY(writer.isClosed());
        QVERIFY_THROWS_EXCEPTION(SpeechError, writer.write(&sample, 1));
        QVERIFY_THROWS_EXCEPTION(SpeechError,
                                 SndfileWriter(m_dir.filePath(u"нет папки/a.ogg"_s), 22050, SoundFormat::OggVorbis));

        VorbisWriter vorbis(m_dir.filePath(u"закрыт.ogg"_s), 8000);
        vorbis.write(&sample, 1);
        vorbis.finish();
        QVERIFY(vorbis.isClosed());
        QVERIFY_THROWS_EXCEPTION(SpeechError, vorbis.write(&sample, 1));
        QVERIFY_THROWS_EXCEPTION(SpeechError, createSoundWriter(m_dir.filePath(u"нет папки/a.ogg"_s), 22050, SoundFormat::OggVorbis));
        // A rate the encoder has no settings for leaves no file behind.
        const QString refused = m_dir.filePath(u"частота.ogg"_s);
        QVERIFY_THROWS_EXCEPTION(SpeechError, VorbisWriter(refused, 400000));
        QVERIFY(!QFile::exists(refused));
    }

    // The same speech lasts as long in every format as in WAV.
    void speechHasTheSameLengthInEveryFormat()
    {
        EspeakSpeechControl speech(std::make_unique<PacedAudioOutput>());
        const QString text = u"Съешь же ещё этих мягких французских булок, да выпей чаю."_s;
        speakToFile(speech, m_dir.filePath(u"образец.wav"_s), text);
        const SoundFile wav = SoundFile::read(m_dir.filePath(u"образец.wav"_s));
        QVERIFY2(wav.isValid() && wav.seconds() > 2, qPrintable(wav.problem));
        for (const QString &extension : {u"MP3"_s, u"ogg"_s, u"opus"_s, u"flac"_s}) {
            const QString path = m_dir.filePath(u"образец."_s + extension);
            speakToFile(speech, path, text);
            const SoundFile sound = SoundFile::read(path);
            QVERIFY2(sound.isValid(), qPrintable(extension + u": "_s + sound.problem));
            // espeak-ng's pauses vary by a few hundredths of a second between runs of the same text.
            QVERIFY2(std::abs(sound.seconds() - wav.seconds()) < 0.1,
                     qPrintable(u"%1: %2 s against %3 s"_s.arg(extension).arg(sound.seconds()).arg(wav.seconds())));
            QVERIFY(sound.peak > 1000);
        }
    }

    // The encoder's own thread hands every sample on in order, and a failure behind it reaches the
    // caller at a later call instead of being lost, without a full queue holding the caller up.
    void backgroundEncodingKeepsOrderAndFailures()
    {
        struct Collecting : SoundWriter
        {
            QString name = u"запись.mp3"_s;
            std::vector<qint16> *written;
            qsizetype failAfter;
            bool closed = false;
            Collecting(std::vector<qint16> *w, qsizetype f) : written(w), failAfter(f) {}
            void write(const qint16 *samples, qsizetype count) override
            {
                if (closed)
                    throw SpeechError(u"закрыт"_s);
                if (qsizetype(written->size()) + count > failAfter) {
                    closed = true;
                    throw SpeechError(u"Нет места на диске."_s);
                }
                written->insert(written->end(), samples, samples + count);
            }
            void flush() override {}
            void finish() override { closed = true; }
            bool isClosed() const override { return closed; }
            const QString &path() const override { return name; }
        };

        std::vector<qint16> block(4000);
        std::vector<qint16> written;
        {
            BackgroundSoundWriter writer(std::make_unique<Collecting>(&written, 1'000'000));
            for (int i = 0; i < 200; ++i) {
                std::iota(block.begin(), block.end(), qint16(i));
                writer.write(block.data(), qsizetype(block.size()));
            }
            writer.drain();
            QCOMPARE(written.size(), size_t(800'000));
            writer.finish();
            QVERIFY(writer.isClosed());
        }
        for (int i = 0; i < 200; ++i)
            QCOMPARE(written[size_t(i) * 4000 + 3999], qint16(i + 3999));

        written.clear();
        BackgroundSoundWriter failing(std::make_unique<Collecting>(&written, 100'000));
        QString reported;
        try {
            for (int i = 0; i < 1000; ++i)
                failing.write(block.data(), qsizetype(block.size()));
            failing.drain();
        } catch (const SpeechError &e) {
            reported = e.message();
        }
        QCOMPARE(reported, u"Нет места на диске."_s);
        QVERIFY(failing.isClosed());
        QVERIFY_THROWS_EXCEPTION(SpeechError, failing.write(block.data(), 10));
    }

    // A recording whose compressed file cannot be written ends as failed, never as finished, also
    // when the failure comes from the encoder's thread after the last words were made.
    void aFullDiskIsAFailureNotAFinish()
    {
        if (!QFileInfo::exists(u"/dev/full"_s))
            QSKIP("no /dev/full here");
        for (const QString &name : {u"полный.mp3"_s, u"полный.ogg"_s, u"полный.opus"_s}) {
            const QString path = m_dir.filePath(name);
            QVERIFY(QFile::link(u"/dev/full"_s, path));
            EspeakSpeechControl speech(std::make_unique<PacedAudioOutput>());
            QSignalSpy finished(&speech, &SpeechControl::finished);
            QSignalSpy failed(&speech, &SpeechControl::failed);
            try {
                speech.setFileName(path);
                speech.Speak(u"Этот текст записать некуда: на диске нет места."_s);
                QTRY_VERIFY_WITH_TIMEOUT(failed.count() + finished.count() > 0, 30000);
                QTest::qWait(100);
                QVERIFY2(finished.isEmpty(), qPrintable(name));
            } catch (const SpeechError &) {
                // Refused at once is as good.
            }
            QFile::remove(path);
        }
    }

    // The disk filling up just as a compressed file's last frames are written, after the speech has
    // all been made: letting the file go reports it, so that it is never taken for a whole recording.
    void aFileThatCannotBeCompletedIsReported_data()
    {
        QTest::addColumn<QString>("name");
        // Bytes of the file that find no room. Vorbis's bit rate follows the sound closely, and espeak-ng's
        // speech differs a little between runs: its last page (up to 4 KB, written at the end) is cut
        // by more than the file's size varies.
        QTest::addColumn<int>("shortBy");
        QTest::newRow("mp3") << u"конец.mp3"_s << 20;
        QTest::newRow("ogg") << u"конец.ogg"_s << 400;
        QTest::newRow("opus") << u"конец.opus"_s << 20;
    }

    void aFileThatCannotBeCompletedIsReported()
    {
        QFETCH(QString, name);
        QFETCH(int, shortBy);
        const QString text = u"Последние слова этой записи не поместятся на диске."_s;
        EspeakSpeechControl speech(std::make_unique<PacedAudioOutput>());
        speech.Select(voiceNumber(speech, u"espeak-ng:zle/ru"_s));
        const QString whole = m_dir.filePath(u"целый-"_s + name);
        speakToFile(speech, whole, text);
        const qint64 size = QFileInfo(whole).size();
        QVERIFY(size > 1000);

        // The same speech again, with room for all of the file but its last bytes.
        rlimit saved{};
        QVERIFY(getrlimit(RLIMIT_FSIZE, &saved) == 0);
        const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
        rlimit small = saved;
        small.rlim_cur = rlim_t(size - shortBy);
        QVERIFY(setrlimit(RLIMIT_FSIZE, &small) == 0);
        QSignalSpy finished(&speech, &SpeechControl::finished);
        QSignalSpy failed(&speech, &SpeechControl::failed);
        bool reported = false;
        try {
            speech.setFileName(m_dir.filePath(u"обрезан-"_s + name));
            speech.Speak(text);
            QTRY_VERIFY_WITH_TIMEOUT(failed.count() + finished.count() > 0, 30000);
            reported = !failed.isEmpty();
            speech.setFileName(QString());
        } catch (const SpeechError &) {
            reported = true;
        }
        setrlimit(RLIMIT_FSIZE, &saved);
        std::signal(SIGXFSZ, oldHandler);
        QVERIFY(reported);
    }

    // Cutting a recording off completes a compressed file at once (an unfinished FLAC file tells
    // players it is empty): it plays up to the cut, and the control takes no more speech for it.
    void resetCompletesACompressedFile_data()
    {
        QTest::addColumn<QString>("name");
        // What about three seconds of speech take in the file.
        QTest::addColumn<int>("bytes");
        QTest::newRow("flac") << u"прервано.flac"_s << 70'000;
        QTest::newRow("ogg") << u"прервано.ogg"_s << 14'000;
    }

    void resetCompletesACompressedFile()
    {
        QFETCH(QString, name);
        QFETCH(int, bytes);
        EspeakSpeechControl speech(std::make_unique<PacedAudioOutput>());
        // espeak-ng's voice, which hands its speech on in blocks of seconds (RHVoice's blocks are shorter).
        speech.Select(voiceNumber(speech, u"espeak-ng:zle/ru"_s));
        const QString path = m_dir.filePath(name);
        QString text;
        for (int i = 0; i < 200; ++i)
            text += u"Это предложение повторяется, чтобы запись шла долго. "_s;
        speech.setFileName(path);
        speech.Speak(text);
        QTRY_VERIFY_WITH_TIMEOUT(QFileInfo(path).size() > bytes, 30000);
        speech.AudioReset();
        const SoundFile sound = SoundFile::read(path);
        QVERIFY2(sound.isValid(), qPrintable(sound.problem));
        QVERIFY2(sound.seconds() > 2, qPrintable(QString::number(sound.seconds())));
        QVERIFY_THROWS_EXCEPTION(SpeechError, speech.Speak(u"Ещё."_s));
    }
};

QTEST_GUILESS_MAIN(TestSoundFiles)
#include "tst_soundfiles.moc"
