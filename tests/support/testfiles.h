// Files for the tests: a temporary program folder, and the bytes of a file.
#pragma once

#include <QByteArray>
#include <QFile>
#include <QRandomGenerator>
#include <QString>
#include <QStringList>
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

// The bytes of a dictionary file of `count` invented entries, hardly two with the same word, followed by
// `lines`. The invented words are written in old letters (ѣѳѵіѯѱ) that no test's text holds, so only
// `lines` change a text; yet the dictionary's word finder takes a while to build.
inline QByteArray inventedDictionary(int count, const QStringList &lines)
{
    static const QString letters = QStringLiteral("ѣѳѵіѯѱ");
    QRandomGenerator random(1917);
    QString text;
    for (int i = 0; i < count; ++i) {
        const int length = 8 + int(random.bounded(5));
        for (int k = 0; k < length; ++k)
            text += letters[random.bounded(int(letters.size()))];
        text += QLatin1Char('=');
        text += letters[random.bounded(int(letters.size()))];
        text += QLatin1String("\r\n");
    }
    for (const QString &line : lines)
        text += line + QLatin1String("\r\n");
    return text.toUtf8();
}

} // namespace velmira
