// Writing speech to a WAV file that is valid at every moment while it grows.
#include "wavwriter.h"

#include "speechcontrol.h"

#include <QtEndian>

#include <algorithm>
#include <array>
#include <cstring>

using namespace Qt::StringLiterals;

namespace velmira {

namespace {

// About 1.5 s of speech at espeak-ng's rate: few enough header updates to write as fast as the
// synthesiser runs, often enough that the file grows visibly.
constexpr size_t BlockSamples = 32768;

constexpr qint64 SizeOffsetRiff = 4;
constexpr qint64 SizeOffsetData = 40;
constexpr qint64 HeaderBytes = 44;

void putLe32(char *to, quint32 value)
{
    qToLittleEndian(value, to);
}

void putLe16(char *to, quint16 value)
{
    qToLittleEndian(value, to);
}

std::array<char, HeaderBytes> header(int sampleRate)
{
    std::array<char, HeaderBytes> h{};
    std::memcpy(h.data(), "RIFF", 4);
    putLe32(h.data() + 4, 36);
    std::memcpy(h.data() + 8, "WAVEfmt ", 8);
    putLe32(h.data() + 16, 16);                     // size of the format chunk
    putLe16(h.data() + 20, 1);                      // PCM
    putLe16(h.data() + 22, 1);                      // mono
    putLe32(h.data() + 24, quint32(sampleRate));    // samples per second
    putLe32(h.data() + 28, quint32(sampleRate * 2)); // bytes per second
    putLe16(h.data() + 32, 2);                      // bytes per frame
    putLe16(h.data() + 34, 16);                     // bits per sample
    std::memcpy(h.data() + 36, "data", 4);
    putLe32(h.data() + 40, 0);
    return h;
}

} // namespace

WavWriter::WavWriter(const QString &path, int sampleRate, qint64 maxDataBytes)
    : m_path(path), m_file(path), m_maxDataBytes(std::min(maxDataBytes, MaxDataBytes))
{
    Q_ASSERT(sampleRate > 0);
    // Unbuffered: every block and header update reaches the file at once, in this order.
    if (!m_file.open(QIODevice::WriteOnly | QIODevice::Truncate | QIODevice::Unbuffered))
        throw SpeechError(u"Не удалось создать звуковой файл «%1»: %2"_s.arg(path, m_file.errorString()));
    const auto h = header(sampleRate);
    if (m_file.write(h.data(), HeaderBytes) != HeaderBytes) {
        const QString reason = m_file.errorString();
        m_file.close();
        throw SpeechError(u"Не удалось создать звуковой файл «%1»: %2"_s.arg(path, reason));
    }
    m_pending.reserve(BlockSamples);
}

WavWriter::~WavWriter()
{
    try {
        flush();
    } catch (const SpeechError &) {
        // The file keeps what was written before, with a header that describes exactly that.
    }
}

void WavWriter::write(const qint16 *samples, qsizetype count)
{
    if (m_failed)
        fail(u"запись была прервана из-за ошибки"_s);
    while (count > 0) {
        const qsizetype take = std::min(count, qsizetype(BlockSamples - m_pending.size()));
        m_pending.insert(m_pending.end(), samples, samples + take);
        samples += take;
        count -= take;
        if (m_pending.size() >= BlockSamples)
            flush();
    }
}

void WavWriter::flush()
{
    if (m_pending.empty() || m_failed)
        return;
    qint64 bytes = qint64(m_pending.size()) * 2;
    const bool tooLarge = m_dataBytes + bytes > m_maxDataBytes;
    if (tooLarge)
        bytes = (m_maxDataBytes - m_dataBytes) / 2 * 2;
    if constexpr (Q_BYTE_ORDER == Q_BIG_ENDIAN) {
        for (qint16 &s : m_pending)
            s = qToLittleEndian(s);
    }
    writeBlock(reinterpret_cast<const char *>(m_pending.data()), bytes);
    m_pending.clear();
    if (tooLarge)
        fail(u"звуковой файл достиг предельного для формата WAV размера (4 ГБ)"_s);
}

void WavWriter::writeBlock(const char *data, qint64 size)
{
    if (size > 0) {
        if (!m_file.seek(HeaderBytes + m_dataBytes) || m_file.write(data, size) != size) {
            // Whatever part of the block did reach the file lies beyond the sizes in the header,
            // which still describe the sound written before.
            fail(m_file.errorString());
        }
    }
    m_dataBytes += size;
    char le[4];
    putLe32(le, quint32(m_dataBytes + 36));
    bool ok = m_file.seek(SizeOffsetRiff) && m_file.write(le, 4) == 4;
    putLe32(le, quint32(m_dataBytes));
    ok = ok && m_file.seek(SizeOffsetData) && m_file.write(le, 4) == 4;
    if (!ok)
        fail(m_file.errorString());
}

void WavWriter::fail(const QString &reason)
{
    m_failed = true;
    m_pending.clear();
    throw SpeechError(u"Не удалось записать звуковой файл «%1»: %2."_s.arg(m_path, reason));
}

} // namespace velmira
