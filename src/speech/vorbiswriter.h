// Writing speech to an Ogg Vorbis file with the Vorbis encoder.
#pragma once

#include "encodedfile.h"
#include "soundwriter.h"

#include <memory>

namespace velmira {

// Encodes 16-bit mono samples into an Ogg Vorbis file at their own rate. The encoder marks the last
// page with where the speech ends, so that the file plays exactly as long as the samples given. The
// file is playable at every moment; finish() completes it, which the destructor does when it was not
// called.
class VorbisWriter : public SoundWriter
{
public:
    // The rate speech at `sampleRate` is encoded at: 16 kHz, or its own when lower. The encoder's time
    // goes with the samples, and speech keeps nearly all of its energy below 8 kHz.
    static int vorbisRate(int sampleRate);

    // Creates (or empties) the file. Throws SpeechError when it cannot be created or the encoder does
    // not take the rate.
    VorbisWriter(const QString &path, int sampleRate);
    ~VorbisWriter() override;

    VorbisWriter(const VorbisWriter &) = delete;
    VorbisWriter &operator=(const VorbisWriter &) = delete;

    void write(const qint16 *samples, qsizetype count) override;
    // The encoder writes whole pages as they fill; nothing more can be forced out early.
    void flush() override {}
    void finish() override;
    bool isClosed() const override { return !m_file.isOpen(); }
    const QString &path() const override { return m_file.path(); }

private:
    struct Encoder;

    // Encodes the blocks the samples given so far complete and writes the pages they fill (all of
    // them at the end).
    void encodeBlocks(bool end);
    [[noreturn]] void fail(const QString &reason = QString());

    EncodedFile m_file;
    std::unique_ptr<Encoder> m_encoder;
};

} // namespace velmira
