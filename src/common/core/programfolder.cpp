#include "programfolder.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

using namespace Qt::StringLiterals;

namespace velmira {

namespace {

QString withSlash(QString path)
{
    if (!path.endsWith(u'/'))
        path += u'/';
    return path;
}

bool liesIn(const QString &path, const QString &prefix)
{
    return path == prefix || path.startsWith(prefix + u'/');
}

} // namespace

bool folderHoldsUserData(const QString &folder)
{
    const QString path = QDir::cleanPath(QDir(folder).absolutePath());
    // A program installed system-wide is shared by every user, root included: its folder is no place
    // for anyone's settings even when root may write there.
    static const char16_t *const systemPrefixes[] = {u"/usr", u"/bin", u"/sbin", u"/lib", u"/lib64", u"/opt"};
    for (const char16_t *prefix : systemPrefixes) {
        if (liesIn(path, QString::fromUtf16(prefix)))
            return false;
    }
    const QFileInfo info(path);
    if (info.fileName() == u"bin" && QFileInfo(info.dir().filePath(u"share"_s)).isDir())
        return false;
    return info.isWritable();
}

QString executablePath()
{
    return QCoreApplication::applicationFilePath();
}

QString programFolder()
{
    const QString home = qEnvironmentVariable("VELMIRA_HOME");
    if (!home.isEmpty())
        return withSlash(QDir(home).absolutePath());
    const QString exeDir = QCoreApplication::applicationDirPath();
    if (folderHoldsUserData(exeDir))
        return withSlash(exeDir);
    const QString dataDir =
        QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) + u"/velmira"_s;
    QDir().mkpath(dataDir);
    return withSlash(dataDir);
}

QString programFile(const QString &name)
{
    return programFolder() + name;
}

} // namespace velmira
