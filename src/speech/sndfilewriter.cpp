// Writing speech to a compressed sound file (MP3, Ogg Vorbis, Opus, FLAC) through libsndfile.
#include "sndfilewriter.h"

#include "speechcontrol.h"

#include <QFile>

#include <samplerate.h>
#include <sndfile.h>

#include <algorithm>
#include <array>

using namespace Qt::StringLiterals;

namespace velmira {

namespace {

int libsndfileFormat(SoundFormat format)
{
    switch (format) {
    case SoundFormat::Mp3:
        return SF_FORMAT_MPEG | SF_FORMAT_MPEG_LAYER_III;
    case SoundFormat::OggVorbis:
        return SF_FORMAT_OGG | SF_FORMAT_VORBIS;
    case SoundFormat::Opus:
        return SF_FORMAT_OGG | SF_FORMAT_OPUS;
    case SoundFormat::Flac:
        return SF_FORMAT_FLAC | SF_FORMAT_PCM_16;
    case SoundFormat::Wav:
        break;
    }
    Q_UNREACHABLE();
    return 0;
}

// The rate the file is written at: Opus takes 8, 12, 16, 24 and 48 kHz only.
int fileRateFor(SoundFormat format, int sampleRate)
{
    if (format != SoundFormat::Opus)
        return sampleRate;
    constexpr std::array<int, 5> OpusRates = {8000, 12000, 16000, 24000, 48000};
    const auto rate = std::lower_bound(OpusRates.begin(), OpusRates.end(), sampleRate);
    return rate == OpusRates.end() ? OpusRates.back() : *rate;
}

// Samples converted at a time while resampling.
constexpr qsizetype ResampleBlock = 4096;

} // namespace

SndfileWriter::SndfileWriter(const QString &path, int sampleRate, SoundFormat format)
    : m_path(path), m_sampleRate(sampleRate), m_fileRate(fileRateFor(format, sampleRate))
{
    Q_ASSERT(sampleRate > 0);
    Q_ASSERT(format != SoundFormat::Wav);
    SF_INFO info{};
    info.samplerate = m_fileRate;
    info.channels = 1;
    info.format = libsndfileFormat(format);
    m_file = sf_open(QFile::encodeName(path).constData(), SFM_WRITE, &info);
    if (!m_file) {
        throw SpeechError(
            u"Не удалось создать звуковой файл «%1»: %2"_s.arg(path, QString::fromLocal8Bit(sf_strerror(nullptr))));
    }
    if (m_fileRate != m_sampleRate) {
        int error = 0;
        m_resampler = src_new(SRC_SINC_FASTEST, 1, &error);
        if (!m_resampler) {
            const QString reason = QString::fromLatin1(src_strerror(error));
            sf_close(m_file);
            m_file = nullptr;
            QFile::remove(path);
            throw SpeechError(u"Не удалось создать звуковой файл «%1»: %2"_s.arg(path, reason));
        }
    }
}

SndfileWriter::~SndfileWriter()
{
    try {
        finish();
    } catch (const SpeechError &) {
        // The file is closed all the same and keeps what the encoder completed.
    }
    if (m_resampler)
        src_delete(m_resampler);
}

void SndfileWriter::write(const qint16 *samples, qsizetype count)
{
    if (!m_file)
        fail(u"файл уже закрыт"_s);
    if (count <= 0)
        return;
    if (m_resampler) {
        resampleAndWrite(samples, count, false);
        return;
    }
    if (sf_write_short(m_file, samples, count) != count)
        fail(QString::fromLocal8Bit(sf_strerror(m_file)));
}

void SndfileWriter::resampleAndWrite(const qint16 *samples, qsizetype count, bool last)
{
    const double ratio = double(m_fileRate) / m_sampleRate;
    do {
        const qsizetype take = std::min(count, ResampleBlock);
        m_in.resize(size_t(take));
        src_short_to_float_array(samples, m_in.data(), int(take));
        samples += take;
        count -= take;
        SRC_DATA data{};
        data.data_in = m_in.data();
        data.input_frames = long(take);
        data.src_ratio = ratio;
        data.end_of_input = last && count == 0 ? 1 : 0;
        m_out.resize(size_t(double(take) * ratio) + 256);
        // The converter keeps a little of every block back for the next; at the end it gives it all.
        for (;;) {
            data.data_out = m_out.data();
            data.output_frames = long(m_out.size());
            if (const int error = src_process(m_resampler, &data))
                fail(QString::fromLatin1(src_strerror(error)));
            writeFloats(m_out.data(), data.output_frames_gen);
            data.data_in += data.input_frames_used;
            data.input_frames -= data.input_frames_used;
            if (data.input_frames == 0 && (!data.end_of_input || data.output_frames_gen == 0))
                break;
        }
    } while (count > 0);
}

void SndfileWriter::writeFloats(const float *samples, qsizetype count)
{
    if (count > 0 && sf_write_float(m_file, samples, count) != count)
        fail(QString::fromLocal8Bit(sf_strerror(m_file)));
}

void SndfileWriter::finish()
{
    if (!m_file)
        return;
    if (m_resampler)
        resampleAndWrite(nullptr, 0, true);
    close();
}

void SndfileWriter::close()
{
    SNDFILE *file = std::exchange(m_file, nullptr);
    if (file && sf_close(file) != 0)
        fail(QString::fromLocal8Bit(sf_strerror(nullptr)));
}

void SndfileWriter::fail(const QString &reason)
{
    // Closing completes the file as far as it was written, so that it plays up to the failure.
    if (SNDFILE *file = std::exchange(m_file, nullptr))
        sf_close(file);
    throw SpeechError(u"Не удалось записать звуковой файл «%1»: %2."_s.arg(m_path, reason));
}

} // namespace velmira
