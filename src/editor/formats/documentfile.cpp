#include "documentfile.h"

#include "common/core/textcodec.h"

#include <QFileInfo>

namespace velmira {

bool hasRtfExtension(const QString &path)
{
    return QFileInfo(path).fileName().endsWith(QLatin1String(".rtf"), Qt::CaseInsensitive);
}

QString plainDocumentText(const QByteArray &bytes)
{
    qsizetype end = bytes.indexOf('\x1A');
    if (end < 0)
        end = bytes.size();

    QByteArray text;
    text.reserve(end + end / 32 + 2);
    const char *data = bytes.constData();
    // Whether anything was read since the last line end: a last line without a line end is still a
    // line, even one that held nothing but dropped CRs.
    bool lineOpen = false;
    qsizetype runStart = 0;
    for (qsizetype i = 0; i < end; ++i) {
        const char c = data[i];
        if (c != '\r' && c != '\n') {
            lineOpen = true;
            continue;
        }
        text.append(data + runStart, i - runStart);
        runStart = i + 1;
        if (c == '\n') {
            text.append("\r\n", 2);
            lineOpen = false;
        } else {
            lineOpen = true;
        }
    }
    text.append(data + runStart, end - runStart);
    if (lineOpen)
        text.append("\r\n", 2);
    return decodeText(text);
}

QString rtfSaveName(const QString &name)
{
    if (name.endsWith(QLatin1String(".rtf"), Qt::CaseInsensitive))
        return name;
    return name + QLatin1String(".rtf");
}

} // namespace velmira
