// The file an encoder of our own writes a compressed sound file to.
#include "encodedfile.h"

#include "speechcontrol.h"

#include <QFile>

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <utility>

using namespace Qt::StringLiterals;

namespace velmira {

EncodedFile::EncodedFile(const QString &path) : m_path(path)
{
    m_descriptor = ::open(QFile::encodeName(path).constData(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    if (m_descriptor < 0) {
        throw SpeechError(
            u"Не удалось создать звуковой файл «%1»: %2"_s.arg(path, QString::fromLocal8Bit(std::strerror(errno))));
    }
}

EncodedFile::~EncodedFile()
{
    if (m_descriptor >= 0)
        ::close(m_descriptor);
}

namespace {

// Writes all `size` bytes from `from` with `put` (a write at the end or at a place), again where a
// signal cut a write short. Returns 0, or the reason the file took no more.
template <typename Put>
int writeWhole(const char *from, qsizetype size, Put put)
{
    while (size > 0) {
        const ssize_t done = put(from, size_t(size));
        if (done < 0 && errno == EINTR)
            continue;
        if (done <= 0)
            return done < 0 ? errno : ENOSPC;
        from += done;
        size -= done;
    }
    return 0;
}

} // namespace

bool EncodedFile::append(const void *data, qsizetype size)
{
    if (m_descriptor < 0 || m_error != 0)
        return false;
    m_error = writeWhole(static_cast<const char *>(data), size,
                         [this](const char *from, size_t count) { return ::write(m_descriptor, from, count); });
    return m_error == 0;
}

bool EncodedFile::writeAt(qint64 offset, const void *data, qsizetype size)
{
    if (m_descriptor < 0 || m_error != 0)
        return false;
    m_error = writeWhole(static_cast<const char *>(data), size, [this, &offset](const char *from, size_t count) {
        const ssize_t done = ::pwrite(m_descriptor, from, count, off_t(offset));
        if (done > 0)
            offset += done;
        return done;
    });
    return m_error == 0;
}

bool EncodedFile::close()
{
    if (m_descriptor < 0)
        return m_error == 0;
    const int descriptor = std::exchange(m_descriptor, -1);
    if (::close(descriptor) != 0 && m_error == 0)
        m_error = errno;
    return m_error == 0;
}

QString EncodedFile::error() const
{
    return m_error == 0 ? QString() : QString::fromLocal8Bit(std::strerror(m_error));
}

SpeechError EncodedFile::writeError(const QString &reason) const
{
    QString said = reason.isEmpty() ? error() : reason;
    while (said.endsWith(u'.'))
        said.chop(1);
    return SpeechError(u"Не удалось записать звуковой файл «%1»: %2."_s.arg(m_path, said));
}

} // namespace velmira
