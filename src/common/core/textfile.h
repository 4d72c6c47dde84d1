// Reading and writing whole files, and splitting the program's text files into lines.
#pragma once

#include "error.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

namespace velmira {

// A file that could not be written: the message for the user, and the system's reason alone.
class FileWriteError : public Error
{
public:
    FileWriteError(QString message, QString reason) : Error(std::move(message)), m_reason(std::move(reason)) {}
    const QString &reason() const noexcept { return m_reason; }

private:
    QString m_reason;
};

// Reads a whole file. Throws Error when the file cannot be opened or read.
QByteArray readFileBytes(const QString &path);

// Writes a whole file atomically: the data goes to a temporary file in the same folder, which then
// replaces the old file. A failed write leaves the old file whole. Throws FileWriteError on failure.
void writeFileAtomically(const QString &path, const QByteArray &data);

// Splits text into lines: a line ends at CR LF, a lone CR or a lone LF; a last line without a line end
// is a line; a NUL character ends the text. An empty text has no lines.
QStringList splitLines(QStringView text);

// Joins lines, each followed by CR LF.
QString joinLinesCrLf(const QStringList &lines);

} // namespace velmira
