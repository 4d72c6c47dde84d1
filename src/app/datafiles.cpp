#include "datafiles.h"

#include "common/core/error.h"
#include "common/core/programfolder.h"
#include "common/core/textfile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

using namespace Qt::StringLiterals;

namespace velmira {

QStringList dataFileNames()
{
    return {u"Help.rtf"_s, u"Dictionary.txt"_s, u"Greetings.txt"_s};
}

QByteArray carriedDataFile(const QString &name)
{
    QFile resource(u":/data/"_s + name);
    if (!resource.open(QIODevice::ReadOnly))
        throw Error(u"Resource %1 not found"_s.arg(name));
    return resource.readAll();
}

void writeMissingDataFiles()
{
    for (const QString &name : dataFileNames()) {
        const QString path = programFile(name);
        if (QFileInfo::exists(path))
            continue;
        const QByteArray bytes = carriedDataFile(name);
        try {
            writeFileAtomically(path, bytes);
        } catch (const FileWriteError &failure) {
            throw Error(u"Cannot create file \"%1\". %2"_s.arg(QDir::toNativeSeparators(path), failure.reason()));
        }
    }
}

} // namespace velmira
