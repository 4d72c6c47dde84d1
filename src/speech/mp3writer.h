// Writing speech to an MP3 file with the LAME encoder.
#pragma once

#include "encodedfile.h"
#include "soundwriter.h"

#include <vector>

struct lame_global_struct;

namespace velmira {

// Encodes 16-bit mono samples to MP3 at their own sample rate. The first frame holds the encoder's
// tag with the exact length, written when the file is finished, so that players neither guess the
// length nor play the encoder's padding. The file is playable at every moment; finish() completes it,
// which the destructor does when it was not called.
class Mp3Writer : public SoundWriter
{
public:
    // Creates (or empties) the file. Throws SpeechError when it cannot be created.
    Mp3Writer(const QString &path, int sampleRate);
    ~Mp3Writer() override;

    Mp3Writer(const Mp3Writer &) = delete;
    Mp3Writer &operator=(const Mp3Writer &) = delete;

    void write(const qint16 *samples, qsizetype count) override;
    // The encoder writes whole frames as they fill; nothing more can be forced out early.
    void flush() override {}
    void finish() override;
    bool isClosed() const override { return !m_file.isOpen(); }
    const QString &path() const override { return m_file.path(); }

private:
    void put(int encoded);
    [[noreturn]] void fail(const QString &reason = QString());

    EncodedFile m_file;
    lame_global_struct *m_lame = nullptr;
    std::vector<unsigned char> m_out;
};

} // namespace velmira
