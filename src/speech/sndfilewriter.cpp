// Writing speech to a compressed sound file (MP3, Ogg Vorbis, Opus, FLAC) through libsndfile.
#include "sndfilewriter.h"

#include "speechcontrol.h"

#include <QFile>

#include <samplerate.h>
#include <sndfile.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstring>
#include <optional>

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

// How much each lossy format squeezes (libsndfile's compression level, 0 to 1), chosen for speech:
// MP3 variable bit rate at about 44 kbit/s at 22 kHz, Opus at about 48 kbit/s. Both cost a fraction of
// what the libraries' defaults do (Opus a quarter, its default of 32 kbit/s taking its slowest path)
// and sound as good for a voice.
std::optional<double> compressionLevel(SoundFormat format)
{
    switch (format) {
    case SoundFormat::Mp3:
        return 0.8;
    case SoundFormat::Opus:
        return 0.8;
    default:
        return std::nullopt;
    }
}

// The file under libsndfile's feet: its encoders do not all report a failed write (the MP3 encoder
// only logs it), so every write goes through here and a failure is kept for the writer to report.
SndfileWriter::FileAccess &accessOf(void *data)
{
    return *static_cast<SndfileWriter::FileAccess *>(data);
}

sf_count_t fileLength(void *data)
{
    struct stat status{};
    return fstat(accessOf(data).descriptor, &status) == 0 ? sf_count_t(status.st_size) : -1;
}

sf_count_t seekFile(sf_count_t offset, int whence, void *data)
{
    return lseek(accessOf(data).descriptor, off_t(offset), whence);
}

sf_count_t readFile(void *buffer, sf_count_t count, void *data)
{
    sf_count_t done = 0;
    while (done < count) {
        const ssize_t got = ::read(accessOf(data).descriptor, static_cast<char *>(buffer) + done, size_t(count - done));
        if (got < 0 && errno == EINTR)
            continue;
        if (got <= 0)
            break;
        done += got;
    }
    return done;
}

sf_count_t writeFile(const void *buffer, sf_count_t count, void *data)
{
    SndfileWriter::FileAccess &file = accessOf(data);
    sf_count_t done = 0;
    while (done < count) {
        const ssize_t put = ::write(file.descriptor, static_cast<const char *>(buffer) + done, size_t(count - done));
        if (put < 0 && errno == EINTR)
            continue;
        if (put <= 0) {
            if (file.error == 0)
                file.error = put < 0 ? errno : ENOSPC;
            break;
        }
        done += put;
    }
    return done;
}

sf_count_t tellFile(void *data)
{
    return lseek(accessOf(data).descriptor, 0, SEEK_CUR);
}

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
    m_access.descriptor = ::open(QFile::encodeName(path).constData(), O_RDWR | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    if (m_access.descriptor < 0) {
        throw SpeechError(
            u"Не удалось создать звуковой файл «%1»: %2"_s.arg(path, QString::fromLocal8Bit(std::strerror(errno))));
    }
    static SF_VIRTUAL_IO io{fileLength, seekFile, readFile, writeFile, tellFile};
    m_file = sf_open_virtual(&io, SFM_WRITE, &info, &m_access);
    if (!m_file) {
        const QString reason = QString::fromLocal8Bit(sf_strerror(nullptr));
        ::close(m_access.descriptor);
        QFile::remove(path);
        throw SpeechError(u"Не удалось создать звуковой файл «%1»: %2"_s.arg(path, reason));
    }
    if (const std::optional<double> level = compressionLevel(format)) {
        double value = *level;
        sf_command(m_file, SFC_SET_COMPRESSION_LEVEL, &value, sizeof value);
    }
    if (format == SoundFormat::Mp3) {
        int mode = SF_BITRATE_MODE_VARIABLE;
        sf_command(m_file, SFC_SET_BITRATE_MODE, &mode, sizeof mode);
    }
    if (m_fileRate != m_sampleRate) {
        int error = 0;
        m_resampler = src_new(SRC_SINC_FASTEST, 1, &error);
        if (!m_resampler) {
            const QString reason = QString::fromLatin1(src_strerror(error));
            sf_close(m_file);
            m_file = nullptr;
            ::close(m_access.descriptor);
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
    const bool written = sf_write_short(m_file, samples, count) == count;
    // A failed write of the file itself says more than the encoder's own error.
    failOnWriteError();
    if (!written)
        fail(QString::fromLocal8Bit(sf_strerror(m_file)));
}

void SndfileWriter::failOnWriteError()
{
    if (m_access.error != 0)
        fail(QString::fromLocal8Bit(std::strerror(m_access.error)));
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
    if (count <= 0)
        return;
    const bool written = sf_write_float(m_file, samples, count) == count;
    failOnWriteError();
    if (!written)
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
    if (!file)
        return;
    const bool closed = sf_close(file) == 0;
    const QString reason = closed ? QString() : QString::fromLocal8Bit(sf_strerror(nullptr));
    const int error = m_access.error;
    const bool released = releaseDescriptor();
    // The encoders write their last frames and the headers' lengths as they close.
    if (error != 0)
        throw SpeechError(u"Не удалось записать звуковой файл «%1»: %2."_s.arg(m_path, QString::fromLocal8Bit(std::strerror(error))));
    if (!closed)
        throw SpeechError(u"Не удалось записать звуковой файл «%1»: %2."_s.arg(m_path, reason));
    if (!released)
        throw SpeechError(u"Не удалось записать звуковой файл «%1»: %2."_s.arg(m_path, QString::fromLocal8Bit(std::strerror(errno))));
}

bool SndfileWriter::releaseDescriptor()
{
    const int descriptor = std::exchange(m_access.descriptor, -1);
    return descriptor < 0 || ::close(descriptor) == 0;
}

void SndfileWriter::fail(const QString &reason)
{
    // Closing completes the file as far as it was written, so that it plays up to the failure.
    if (SNDFILE *file = std::exchange(m_file, nullptr))
        sf_close(file);
    releaseDescriptor();
    QString said = reason;
    while (said.endsWith(u'.'))
        said.chop(1);
    throw SpeechError(u"Не удалось записать звуковой файл «%1»: %2."_s.arg(m_path, said));
}

} // namespace velmira
