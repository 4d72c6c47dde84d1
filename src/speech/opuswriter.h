// Writing speech to an Ogg Opus file with the Opus encoder.
#pragma once

#include "encodedfile.h"
#include "soundwriter.h"

#include <memory>
#include <vector>

struct OpusEncoder;

namespace velmira {

// Encodes 16-bit mono samples at one of the rates Opus takes (8, 12, 16, 24 or 48 kHz) into an Ogg
// Opus file. The last page says where the speech ends, so that the file plays exactly as long as the
// samples given. The file is playable at every moment; finish() completes it, which the destructor
// does when it was not called.
class OpusWriter : public SoundWriter
{
public:
    // The rate speech at `sampleRate` is encoded at: the rate Opus takes that is nearest above it, and
    // 16 kHz, Opus's wideband, for anything above.
    static int opusRate(int sampleRate);

    // Creates (or empties) the file. `sampleRate` is one that Opus takes. Throws SpeechError when the
    // file cannot be created.
    OpusWriter(const QString &path, int sampleRate);
    ~OpusWriter() override;

    OpusWriter(const OpusWriter &) = delete;
    OpusWriter &operator=(const OpusWriter &) = delete;

    void write(const qint16 *samples, qsizetype count) override;
    // The encoder writes whole pages as they fill; nothing more can be forced out early.
    void flush() override {}
    void finish() override;
    bool isClosed() const override { return !m_file.isOpen(); }
    const QString &path() const override { return m_file.path(); }

private:
    struct Stream;

    void encodeFrame(const qint16 *frame, bool last);
    void writePages(bool all);
    [[noreturn]] void fail(const QString &reason = QString());

    EncodedFile m_file;
    OpusEncoder *m_encoder = nullptr;
    std::unique_ptr<Stream> m_stream;
    int m_frameSamples;
    // Samples at 48 kHz per sample given: Ogg Opus counts time at 48 kHz whatever the rate.
    int m_granuleScale;
    qint64 m_preSkip = 0;
    qint64 m_samplesGiven = 0;
    qint64 m_granule = 0;
    qint64 m_packetNumber = 0;
    std::vector<qint16> m_pending;
    std::vector<unsigned char> m_packet;
};

} // namespace velmira
