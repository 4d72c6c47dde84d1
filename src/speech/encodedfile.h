// The file an encoder of our own writes a compressed sound file to.
#pragma once

#include <QString>

namespace velmira {

class SpeechError;

// An open file for encoded sound, written straight through to the operating system, so that a failed
// write (a full disk) is seen at the write that met it and kept to be reported.
// Not thread-safe: one thread at a time.
class EncodedFile
{
public:
    // Creates (or empties) the file. Throws SpeechError when it cannot be created.
    explicit EncodedFile(const QString &path);
    // Closes the file when close() was not called; an error is not reported then.
    ~EncodedFile();

    EncodedFile(const EncodedFile &) = delete;
    EncodedFile &operator=(const EncodedFile &) = delete;

    // Appends `size` bytes; false when they did not all reach the file (error() then says why).
    bool append(const void *data, qsizetype size);
    // Writes `size` bytes at `offset`, over what is there; false when they did not all reach the file.
    bool writeAt(qint64 offset, const void *data, qsizetype size);
    // Closes the file; false when the file met an error or closing failed. Closing twice does nothing.
    bool close();
    bool isOpen() const { return m_descriptor >= 0; }

    // Why the file could not be written: the first error a write or closing met.
    QString error() const;
    // A SpeechError that says the file could not be written, and why (`reason`, or error()).
    SpeechError writeError(const QString &reason = QString()) const;
    const QString &path() const { return m_path; }

private:
    QString m_path;
    int m_descriptor = -1;
    int m_error = 0;
};

} // namespace velmira
