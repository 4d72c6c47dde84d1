#include "textfile.h"

#include "error.h"

#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

using namespace Qt::StringLiterals;

namespace velmira {

QByteArray readFileBytes(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        throw Error(u"Не удалось открыть файл «%1»: %2"_s.arg(path, file.errorString()));
    QByteArray data = file.readAll();
    if (file.error() != QFileDevice::NoError)
        throw Error(u"Не удалось прочитать файл «%1»: %2"_s.arg(path, file.errorString()));
    return data;
}

void writeFileAtomically(const QString &path, const QByteArray &data)
{
    QSaveFile file(path);
    // Never write the target in place: a failed write must leave the old file whole.
    file.setDirectWriteFallback(false);
    const auto failed = [&] {
        return FileWriteError(u"Не удалось записать файл «%1»: %2"_s.arg(path, file.errorString()),
                              file.errorString());
    };
    if (!file.open(QIODevice::WriteOnly))
        throw failed();
    // QSaveFile::commit() does not notice a flush that fails while closing (a full disk, a file size
    // limit): flush first and check that everything reached the file.
    if (file.write(data) != data.size() || !file.flush() || file.size() != data.size() || !file.commit())
        throw failed();
}

QStringList splitLines(QStringView text)
{
    const qsizetype nul = text.indexOf(QChar(u'\0'));
    if (nul >= 0)
        text = text.left(nul);
    QStringList lines;
    forEachLine(text, [&](qsizetype start, qsizetype end) { lines.append(text.sliced(start, end - start).toString()); });
    return lines;
}

QString joinLinesCrLf(const QStringList &lines)
{
    QString out;
    qsizetype total = 0;
    for (const QString &line : lines)
        total += line.size() + 2;
    out.reserve(total);
    for (const QString &line : lines) {
        out += line;
        out += QLatin1String("\r\n");
    }
    return out;
}

} // namespace velmira
