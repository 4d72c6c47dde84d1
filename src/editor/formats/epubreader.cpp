// The EPUB reader: the package file names the chapters and their order, each chapter is an XHTML page.
#include "book.h"
#include "bookreaders.h"
#include "common/core/error.h"
#include "ziparchive.h"

#include <QHash>
#include <QSet>
#include <QXmlStreamReader>

using namespace Qt::StringLiterals;

namespace velmira {

namespace {

struct ManifestItem
{
    QString path;
    QString mediaType;
    QString properties;
};

// The package file named by META-INF/container.xml, or the only one in the archive.
QString packagePath(ZipArchive &archive)
{
    if (archive.contains(u"META-INF/container.xml"_s)) {
        QXmlStreamReader xml(archive.read(u"META-INF/container.xml"_s));
        while (!xml.atEnd()) {
            readXmlToken(xml);
            if (xml.isStartElement() && xml.name() == u"rootfile") {
                const QString path = xmlAttribute(xml.attributes(), u"full-path");
                if (archive.contains(path))
                    return path;
            }
        }
    }
    for (const QString &name : archive.names())
        if (name.endsWith(QLatin1String(".opf"), Qt::CaseInsensitive))
            return name;
    throw Error(u"в книге EPUB нет описания её содержимого"_s);
}

// The files a book's publisher encrypted (protection against copying). Fonts that are only
// obfuscated do not matter for reading.
QSet<QString> encryptedFiles(ZipArchive &archive)
{
    QSet<QString> files;
    if (!archive.contains(u"META-INF/encryption.xml"_s))
        return files;
    QXmlStreamReader xml(archive.read(u"META-INF/encryption.xml"_s));
    QString algorithm;
    while (!xml.atEnd()) {
        readXmlToken(xml);
        if (!xml.isStartElement())
            continue;
        if (xml.name() == u"EncryptionMethod")
            algorithm = xmlAttribute(xml.attributes(), u"Algorithm");
        else if (xml.name() == u"CipherReference" && !algorithm.contains(QLatin1String("embedding")) &&
                 !algorithm.contains(QLatin1String("pdf/enc#RC")))
            files.insert(resolveArchivePath(QString(), xmlAttribute(xml.attributes(), u"URI")));
    }
    return files;
}

} // namespace

void readEpub(ZipArchive &archive, Book &book)
{
    const QSet<QString> encrypted = encryptedFiles(archive);
    const QString package = packagePath(archive);

    QHash<QString, ManifestItem> manifest;
    QStringList spine;
    QXmlStreamReader xml(archive.read(package));
    while (!xml.atEnd()) {
        readXmlToken(xml);
        if (!xml.isStartElement())
            continue;
        const QXmlStreamAttributes attributes = xml.attributes();
        if (xml.name() == u"item") {
            manifest.insert(xmlAttribute(attributes, u"id"),
                            {resolveArchivePath(package, xmlAttribute(attributes, u"href")),
                             xmlAttribute(attributes, u"media-type"),
                             xmlAttribute(attributes, u"properties")});
        } else if (xml.name() == u"itemref") {
            spine.append(xmlAttribute(attributes, u"idref"));
        }
    }

    for (const QString &id : spine) {
        const auto item = manifest.constFind(id);
        if (item == manifest.constEnd() || item->path.isEmpty() || !archive.contains(item->path))
            continue;
        // EPUB 3 may put its navigation document in the spine too; it only repeats the headings.
        if (item->properties.split(u' ').contains(u"nav"_s))
            continue;
        if (!item->mediaType.contains(QLatin1String("html")))
            continue;
        if (encrypted.contains(item->path))
            throw Error(u"книга защищена от копирования"_s);
        const QString chapter = item->path;
        readHtml(archive.read(chapter), book, [&archive, &chapter](const QString &link) {
            const QString path = resolveArchivePath(chapter, link);
            if (path.isEmpty() || !archive.contains(path))
                return QByteArray();
            try {
                return archive.read(path);
            } catch (const Error &) {
                // A picture that cannot be read is left out; the text still opens.
                return QByteArray();
            }
        });
    }
}

} // namespace velmira
