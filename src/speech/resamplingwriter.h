// Bringing speech to the sample rate a sound file takes, before it is handed on.
#pragma once

#include "soundwriter.h"

#include <vector>

struct soxr;

namespace velmira {

// Converts the samples it is given to another sample rate and hands them to another writer. It
// converts on the caller's thread, so that behind a BackgroundSoundWriter the conversion runs beside
// the encoding instead of adding to it. The length of the sound stays.
class ResamplingSoundWriter : public SoundWriter
{
public:
    // Throws SpeechError when the converter cannot be made.
    ResamplingSoundWriter(std::unique_ptr<SoundWriter> writer, int fromRate, int toRate);
    // Completes the file as finish() does.
    ~ResamplingSoundWriter() override;

    ResamplingSoundWriter(const ResamplingSoundWriter &) = delete;
    ResamplingSoundWriter &operator=(const ResamplingSoundWriter &) = delete;

    void write(const qint16 *samples, qsizetype count) override;
    void flush() override { m_writer->flush(); }
    void drain() override { m_writer->drain(); }
    // Hands on what the converter still holds, then finishes the writer behind.
    void finish() override;
    bool isClosed() const override { return m_writer->isClosed(); }
    const QString &path() const override { return m_writer->path(); }

private:
    // Converts `count` samples (none: the end of the sound) and hands the result on.
    void convert(const qint16 *samples, qsizetype count);

    std::unique_ptr<SoundWriter> m_writer;
    soxr *m_resampler = nullptr;
    double m_ratio;
    bool m_ended = false;
    std::vector<qint16> m_out;
};

} // namespace velmira
