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

} // namespace

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
    if (QFileInfo(exeDir).isWritable())
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
