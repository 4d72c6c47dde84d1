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

// Calls line(start, end) for each line of `text`, as splitLines cuts it (without looking for NUL):
// [start, end) are its characters without the line end.
template <typename Line>
void forEachLine(QStringView text, Line &&line)
{
    qsizetype start = 0;
    const qsizetype n = text.size();
    for (qsizetype i = 0; i < n; ++i) {
        const QChar c = text[i];
        if (c == u'\r' || c == u'\n') {
            line(start, i);
            if (c == u'\r' && i + 1 < n && text[i + 1] == u'\n')
                ++i;
            start = i + 1;
        }
    }
    if (start < n)
        line(start, n);
}

// Joins lines, each followed by CR LF.
QString joinLinesCrLf(const QStringList &lines);

} // namespace velmira
