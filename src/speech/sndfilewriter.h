// Writing speech to an Ogg Vorbis or FLAC file through libsndfile.
#pragma once

#include "soundwriter.h"

struct sf_private_tag;

namespace velmira {

// Encodes 16-bit mono samples with libsndfile's Vorbis and FLAC encoders. The file is playable once
// finish() has run, which the destructor does when it was not called.
class SndfileWriter : public SoundWriter
{
public:
    // Creates (or empties) the file. `format` is SoundFormat::OggVorbis or SoundFormat::Flac. Throws SpeechError when the
    // file cannot be created.
    SndfileWriter(const QString &path, int sampleRate, SoundFormat format);
    ~SndfileWriter() override;

    SndfileWriter(const SndfileWriter &) = delete;
    SndfileWriter &operator=(const SndfileWriter &) = delete;

    void write(const qint16 *samples, qsizetype count) override;
    // The encoders write whole frames and pages as they fill; nothing more can be forced out early.
    void flush() override {}
    void finish() override;
    bool isClosed() const override { return m_file == nullptr; }
    const QString &path() const override { return m_path; }

    // The open file libsndfile writes through, and the first error a write met.
    struct FileAccess
    {
        int descriptor = -1;
        int error = 0;
    };

private:
    void failOnWriteError();
    // Closes the file's descriptor; false when closing it failed (errno says why).
    bool releaseDescriptor();
    void close();
    [[noreturn]] void fail(const QString &reason);

    QString m_path;
    FileAccess m_access;
    sf_private_tag *m_file = nullptr;
};

} // namespace velmira
