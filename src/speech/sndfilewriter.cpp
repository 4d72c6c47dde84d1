// Writing speech to an Ogg Vorbis or FLAC file through libsndfile.
#include "sndfilewriter.h"

#include "speechcontrol.h"

#include <QFile>

#include <sndfile.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

using namespace Qt::StringLiterals;

namespace velmira {

namespace {

int libsndfileFormat(SoundFormat format)
{
    switch (format) {
    case SoundFormat::OggVorbis:
        return SF_FORMAT_OGG | SF_FORMAT_VORBIS;
    case SoundFormat::Flac:
        return SF_FORMAT_FLAC | SF_FORMAT_PCM_16;
    case SoundFormat::Wav:
    case SoundFormat::Mp3:
    case SoundFormat::Opus:
        break;
    }
    Q_UNREACHABLE();
    return 0;
}

// The file under libsndfile's feet: its encoders do not all report a failed write, so every write
// goes through here and a failure is kept for the writer to report.
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
    : m_path(path)
{
    Q_ASSERT(sampleRate > 0);
    Q_ASSERT(format == SoundFormat::OggVorbis || format == SoundFormat::Flac);
    SF_INFO info{};
    info.samplerate = sampleRate;
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
}

SndfileWriter::~SndfileWriter()
{
    try {
        finish();
    } catch (const SpeechError &) {
        // The file is closed all the same and keeps what the encoder completed.
    }
}

void SndfileWriter::write(const qint16 *samples, qsizetype count)
{
    if (!m_file)
        fail(u"файл уже закрыт"_s);
    if (count <= 0)
        return;
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

void SndfileWriter::finish()
{
    if (!m_file)
        return;
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
