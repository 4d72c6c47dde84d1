// Bringing speech to the sample rate a sound file takes, before it is handed on.
#include "resamplingwriter.h"

#include "speechcontrol.h"

#include <QFile>

#include <soxr.h>

#include <algorithm>

using namespace Qt::StringLiterals;

namespace velmira {

namespace {

// Samples converted at a time.
constexpr qsizetype ConvertBlock = 8192;

} // namespace

ResamplingSoundWriter::ResamplingSoundWriter(std::unique_ptr<SoundWriter> writer, int fromRate, int toRate)
    : m_writer(std::move(writer)), m_ratio(double(toRate) / fromRate)
{
    Q_ASSERT(fromRate > 0 && toRate > 0);
    // soxr's high quality (a 20-bit pass band) costs about what linear interpolation does, a tenth of
    // libsamplerate's fastest sinc converter, and leaves nothing a 16-bit file could hold.
    const soxr_io_spec_t io = soxr_io_spec(SOXR_INT16_I, SOXR_INT16_I);
    const soxr_quality_spec_t quality = soxr_quality_spec(SOXR_HQ, 0);
    soxr_error_t error = nullptr;
    m_resampler = soxr_create(fromRate, toRate, 1, &error, &io, &quality, nullptr);
    if (!m_resampler) {
        const QString reason = QString::fromLatin1(error ? error : "soxr");
        const QString path = m_writer->path();
        m_writer.reset();
        QFile::remove(path);
        throw SpeechError(u"Не удалось создать звуковой файл «%1»: %2"_s.arg(path, reason));
    }
    m_out.resize(size_t(double(ConvertBlock) * m_ratio) + 64);
}

ResamplingSoundWriter::~ResamplingSoundWriter()
{
    try {
        finish();
    } catch (const SpeechError &) {
        // The writer behind keeps what it was given.
    }
    soxr_delete(m_resampler);
}

void ResamplingSoundWriter::write(const qint16 *samples, qsizetype count)
{
    if (m_ended || m_writer->isClosed()) {
        // The writer says in its own words that it takes no more.
        m_writer->write(samples, count);
        return;
    }
    while (count > 0) {
        const qsizetype take = std::min(count, ConvertBlock);
        convert(samples, take);
        samples += take;
        count -= take;
    }
}

void ResamplingSoundWriter::finish()
{
    if (!m_ended && !m_writer->isClosed()) {
        m_ended = true;
        convert(nullptr, 0);
    }
    m_ended = true;
    m_writer->finish();
}

void ResamplingSoundWriter::convert(const qint16 *samples, qsizetype count)
{
    const bool end = samples == nullptr;
    for (;;) {
        size_t used = 0;
        size_t made = 0;
        const soxr_error_t error = soxr_process(m_resampler, samples, size_t(count), end ? nullptr : &used,
                                                m_out.data(), m_out.size(), &made);
        if (error)
            throw SpeechError(u"Не удалось записать звуковой файл «%1»: %2."_s.arg(path(), QString::fromLatin1(error)));
        if (made > 0)
            m_writer->write(m_out.data(), qsizetype(made));
        if (end) {
            // At the end the converter gives back what it holds in as many calls as that takes.
            if (made == 0)
                break;
            continue;
        }
        samples += used;
        count -= qsizetype(used);
        if (count == 0)
            break;
    }
}

} // namespace velmira
