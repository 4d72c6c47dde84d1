// Writing speech to a WAV file that is valid at every moment while it grows.
#pragma once

#include "soundwriter.h"

#include <QFile>
#include <QString>

#include <vector>

namespace velmira {

// Writes 16-bit mono PCM samples to a RIFF/WAVE file. The header is written when the file is
// created, and its sizes are brought up to date after every block of samples that reaches the file,
// so that the file can be played (or watched by its size) at any moment, also when the program is
// interrupted. Samples are collected in memory up to a block before they are written.
// Not thread-safe: one thread at a time.
class WavWriter : public SoundWriter
{
public:
    // The most sample bytes a WAV file can describe (its sizes are 32-bit numbers).
    static constexpr qint64 MaxDataBytes = 0xFFFFFFFFLL - 36;

    // Creates (or empties) the file at `path` and writes the header of an empty stream.
    // Throws SpeechError when the file cannot be created or written. `maxDataBytes` below the
    // format's limit is for tests.
    WavWriter(const QString &path, int sampleRate, qint64 maxDataBytes = MaxDataBytes);
    // Writes what is still collected; errors are ignored here (flush() first to see them).
    ~WavWriter() override;

    WavWriter(const WavWriter &) = delete;
    WavWriter &operator=(const WavWriter &) = delete;

    // Appends samples. Throws SpeechError when the file cannot be written or would grow beyond
    // what a WAV file can describe; the file then keeps everything written before, with a valid
    // header.
    void write(const qint16 *samples, qsizetype count) override;
    // Writes the collected samples and updates the header.
    void flush() override;
    // The header is always complete: the same as flush(), and the file may grow further.
    void finish() override { flush(); }
    bool isClosed() const override { return false; }

    const QString &path() const override { return m_path; }
    // Samples accepted so far (written to the file or collected).
    qint64 sampleCount() const { return m_dataBytes / 2 + qint64(m_pending.size()); }

private:
    void writeBlock(const char *data, qint64 size);
    [[noreturn]] void fail(const QString &reason);

    QString m_path;
    QFile m_file;
    std::vector<qint16> m_pending;
    qint64 m_dataBytes = 0;
    qint64 m_maxDataBytes;
    bool m_failed = false;
};

} // namespace velmira
