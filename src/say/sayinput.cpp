// The texts velmira-say speaks: files in the formats the program opens, or standard input.
#include "sayinput.h"

#include "common/core/error.h"
#include "editor/formats/documentfile.h"
#include "editor/formats/documentreader.h"

#include <QFile>
#include <QFileInfo>
#include <QTextDocument>

#include <cstdio>

using namespace Qt::StringLiterals;

namespace velmira {

namespace {

[[noreturn]] void cannotRead(const QString &path, const QString &reason)
{
    throw Error(u"Не удалось прочитать «%1»: %2."_s.arg(sayInputName(path), reason));
}

} // namespace

QString sayInputName(const QString &path)
{
    return path == u"-" ? u"стандартный ввод"_s : path;
}

QString readSayInput(const QString &path)
{
    QFile file;
    if (path == u"-") {
        if (!file.open(stdin, QIODevice::ReadOnly))
            cannotRead(path, file.errorString());
    } else {
        file.setFileName(path);
        const QFileInfo info(path);
        if (!info.exists())
            cannotRead(path, u"такого файла нет"_s);
        if (info.isDir())
            cannotRead(path, u"это папка, а не файл"_s);
        if (!file.open(QIODevice::ReadOnly))
            cannotRead(path, file.errorString());
    }
    if (path != u"-") {
        // Every format the editor opens: text, RTF, books and office documents. The reader's message
        // names the file and the reason.
        file.close();
        QTextDocument document;
        readDocumentFile(path, document);
        // Pictures stand in the text as object characters, which say nothing.
        return document.toPlainText().remove(QChar::ObjectReplacementCharacter);
    }
    // One byte more than the limit tells an oversized stream from one just at it.
    const QByteArray bytes = file.read(MaxDocumentSize + 1);
    if (file.error() != QFileDevice::NoError)
        cannotRead(path, file.errorString());
    if (bytes.size() > MaxDocumentSize)
        cannotRead(path, u"больше %1 МБ"_s.arg(MaxDocumentSize / 1024 / 1024));
    return plainDocumentText(bytes);
}

} // namespace velmira
