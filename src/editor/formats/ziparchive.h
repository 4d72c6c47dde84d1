// Reading the files inside a zip archive held in memory (FB2 in zip, EPUB, DOCX, ODT).
#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

struct zip;

namespace velmira {

// A zip archive opened for reading. Nothing is unpacked to disk. An archive is refused whole when
// one of its names leaves the archive (an absolute path, a ".." step), and reading stops once a file
// or the archive as a whole has given more bytes than the limits below, whatever the archive claims,
// so that a small hostile archive cannot take the computer's memory.
class ZipArchive
{
public:
    static constexpr qint64 MaxFileSize = qint64(64) * 1024 * 1024;
    static constexpr qint64 MaxTotalSize = qint64(160) * 1024 * 1024;

    // True when the bytes start as a zip archive does.
    static bool looksLikeZip(const QByteArray &bytes);

    // Opens the archive; throws Error with the reason in Russian when it is damaged or hostile. The
    // bytes must outlive the archive.
    explicit ZipArchive(const QByteArray &bytes);
    ~ZipArchive();
    ZipArchive(const ZipArchive &) = delete;
    ZipArchive &operator=(const ZipArchive &) = delete;

    // The names of the files inside, in the archive's order, folders left out.
    const QStringList &names() const { return m_names; }
    bool contains(const QString &name) const { return m_names.contains(name); }

    // The contents of the file `name`; throws Error when it is missing, encrypted, damaged or too large.
    QByteArray read(const QString &name);

private:
    zip *m_zip = nullptr;
    QStringList m_names;
    QList<qint64> m_indexes;
    qint64 m_readSoFar = 0;
};

// The archive path that `reference` (a relative link, as in EPUB files, possibly with "%20" escapes
// and a "#fragment") names when it appears in the file `base`. Empty when it leaves the archive.
QString resolveArchivePath(const QString &base, const QString &reference);

} // namespace velmira
