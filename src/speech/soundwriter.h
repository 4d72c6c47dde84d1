// Writing speech to a sound file, in the format its name asks for.
#pragma once

#include <QString>

#include <memory>
#include <optional>

namespace velmira {

// The sound file formats speech can be written in.
enum class SoundFormat { Wav, Mp3, OggVorbis, Opus, Flac };

// The format a file name asks for by its extension, matched without regard to letter case (".wav",
// ".mp3", ".ogg", ".opus", ".flac"); nothing for any other name.
std::optional<SoundFormat> soundFormatForPath(const QString &path);

// The format named by a word such as "mp3" or "OGG" (an extension without its dot); nothing when
// the word names none.
std::optional<SoundFormat> soundFormatNamed(const QString &name);

// The extension, with its dot, a file of the format gets (".ogg" for Ogg Vorbis).
QString soundFormatExtension(SoundFormat format);

// Takes 16-bit mono samples and writes them to a sound file. Every writer leaves a playable file of
// what it was given: after finish(), and also when it is destroyed or fails part-way.
// Not thread-safe: one thread at a time.
class SoundWriter
{
public:
    virtual ~SoundWriter() = default;

    // Appends samples. Throws SpeechError when the file cannot be written; what was written before
    // stays playable.
    virtual void write(const qint16 *samples, qsizetype count) = 0;
    // Brings what was given so far to the file as far as the format allows. Throws SpeechError.
    virtual void flush() = 0;
    // Waits until everything given so far has reached the file's encoder, and throws SpeechError
    // when it could not be written: the end of a text is not reported before its sound is safe.
    virtual void drain() {}
    // Completes the file so that players see all of it. A WAV file may grow further afterwards;
    // a compressed one is closed and takes no more samples. Throws SpeechError.
    virtual void finish() = 0;
    // The file is closed and takes no more samples.
    virtual bool isClosed() const = 0;

    virtual const QString &path() const = 0;
};

// Creates (or empties) the file at `path` for speech of `sampleRate` samples a second, in `format`.
// Throws SpeechError when the file cannot be created.
std::unique_ptr<SoundWriter> createSoundWriter(const QString &path, int sampleRate, SoundFormat format);

} // namespace velmira
