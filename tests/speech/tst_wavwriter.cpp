// The WAV file written while speech is recorded.
#include "speech/speechcontrol.h"
#include "speech/wavwriter.h"

#include "support/wavfile.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <vector>

using namespace Qt::StringLiterals;
using namespace velmira;

class TestWavWriter : public QObject
{
    Q_OBJECT

private slots:
    void headerDescribesTheFileWhileItGrows();
    void fileLimitStopsWritingWithAValidFile();
    void unwritablePathThrows();
    void existingFileIsReplaced();

private:
    QTemporaryDir m_dir;
};

void TestWavWriter::headerDescribesTheFileWhileItGrows()
{
    const QString path = m_dir.filePath(u"запись.wav"_s);
    std::vector<qint16> samples(10000);
    for (size_t i = 0; i < samples.size(); ++i)
        samples[i] = qint16((i % 200) * 100 - 10000);

    WavWriter writer(path, 22050);
    // Even before any sound the file is a valid, empty WAV file.
    WavFile wav = WavFile::read(path);
    QVERIFY2(wav.isValid(), qPrintable(wav.problem));
    QCOMPARE(wav.sampleRate, 22050);
    QCOMPARE(wav.samples.size(), 0);

    qint64 total = 0;
    for (int round = 0; round < 12; ++round) {
        writer.write(samples.data(), qsizetype(samples.size()));
        total += qint64(samples.size());
        // Whatever has reached the disk is described exactly by the header.
        wav = WavFile::read(path);
        QVERIFY2(wav.isValid(), qPrintable(wav.problem));
        QVERIFY(wav.samples.size() <= total);
    }
    QVERIFY(QFileInfo(path).size() > 44); // blocks reach the disk before the end
    writer.flush();
    wav = WavFile::read(path);
    QVERIFY2(wav.isValid(), qPrintable(wav.problem));
    QCOMPARE(wav.samples.size(), total);
    QCOMPARE(wav.samples.at(12345), samples[12345 % samples.size()]);
    QCOMPARE(writer.sampleCount(), total);
}

void TestWavWriter::fileLimitStopsWritingWithAValidFile()
{
    const QString path = m_dir.filePath(u"предел.wav"_s);
    const std::vector<qint16> samples(1000, 1234);
    {
        WavWriter writer(path, 22050, 2500 * 2);
        writer.write(samples.data(), 1000);
        writer.write(samples.data(), 1000);
        QVERIFY_THROWS_EXCEPTION(SpeechError, {
            writer.write(samples.data(), 1000);
            writer.flush();
        });
        // Once failed, the writer refuses more sound instead of corrupting the file.
        QVERIFY_THROWS_EXCEPTION(SpeechError, writer.write(samples.data(), 1));
    }
    const WavFile wav = WavFile::read(path);
    QVERIFY2(wav.isValid(), qPrintable(wav.problem));
    QCOMPARE(wav.samples.size(), 2500);
}

void TestWavWriter::unwritablePathThrows()
{
    const QString path = m_dir.filePath(u"нет такой папки/запись.wav"_s);
    try {
        WavWriter writer(path, 22050);
        QFAIL("a file in a missing folder was created");
    } catch (const SpeechError &e) {
        QVERIFY2(e.message().contains(path), qPrintable(e.message()));
    }
    // A device that refuses every byte.
    if (QFile::exists(u"/dev/full"_s))
        QVERIFY_THROWS_EXCEPTION(SpeechError, WavWriter(u"/dev/full"_s, 22050));
}

void TestWavWriter::existingFileIsReplaced()
{
    const QString path = m_dir.filePath(u"старый.wav"_s);
    QFile old(path);
    QVERIFY(old.open(QIODevice::WriteOnly));
    old.write(QByteArray(100000, 'x'));
    old.close();
    {
        WavWriter writer(path, 16000);
        const qint16 one = 7;
        writer.write(&one, 1);
    }
    const WavFile wav = WavFile::read(path);
    QVERIFY2(wav.isValid(), qPrintable(wav.problem));
    QCOMPARE(wav.sampleRate, 16000);
    QCOMPARE(wav.samples.size(), 1);
    QCOMPARE(QFileInfo(path).size(), 46);
}

QTEST_GUILESS_MAIN(TestWavWriter)
#include "tst_wavwriter.moc"
