// Files for the tests: a temporary program folder, and the bytes of a file.
#pragma once

#include <QByteArray>
#include <QFile>
#include <QString>
#include <QTemporaryDir>

namespace velmira {

// A fresh, empty program folder: the program finds its data files and "Settings.ini" there (through
// VELMIRA_HOME) from now on. The folder is removed with the object.
class TemporaryProgramFolder
{
public:
    TemporaryProgramFolder() { qputenv("VELMIRA_HOME", m_dir.path().toUtf8()); }

    QString path() const { return m_dir.path(); }
    QString filePath(const QString &name) const { return m_dir.filePath(name); }

private:
    QTemporaryDir m_dir;
};

// The bytes of the file at `path`; empty when it cannot be read.
inline QByteArray fileBytes(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

} // namespace velmira
