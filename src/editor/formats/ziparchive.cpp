#include "ziparchive.h"

#include "common/core/error.h"

#include <QUrl>
#include <zip.h>

using namespace Qt::StringLiterals;

namespace velmira {

namespace {

bool isSafeName(const QString &name)
{
    if (name.startsWith(u'/') || name.contains(u'\\') || name.contains(QChar(0)))
        return false;
    const QStringList steps = name.split(u'/');
    return !steps.contains(u".."_s);
}

} // namespace

bool ZipArchive::looksLikeZip(const QByteArray &bytes)
{
    return bytes.startsWith("PK\x03\x04") || bytes.startsWith("PK\x05\x06");
}

ZipArchive::ZipArchive(const QByteArray &bytes)
{
    zip_error_t error;
    zip_error_init(&error);
    zip_source_t *source = zip_source_buffer_create(bytes.constData(), zip_uint64_t(bytes.size()), 0, &error);
    if (source)
        m_zip = zip_open_from_source(source, ZIP_RDONLY, &error);
    if (!m_zip) {
        if (source)
            zip_source_free(source);
        zip_error_fini(&error);
        throw Error(u"архив повреждён"_s);
    }
    zip_error_fini(&error);

    const zip_int64_t count = zip_get_num_entries(m_zip, 0);
    for (zip_int64_t i = 0; i < count; ++i) {
        const char *raw = zip_get_name(m_zip, zip_uint64_t(i), ZIP_FL_ENC_GUESS);
        if (!raw)
            continue;
        const QString name = QString::fromUtf8(raw);
        if (!isSafeName(name)) {
            zip_close(m_zip);
            m_zip = nullptr;
            throw Error(u"в архиве есть файл с недопустимым путём «%1»"_s.arg(name));
        }
        if (name.endsWith(u'/'))
            continue;
        m_names.append(name);
        m_indexes.append(i);
    }
}

ZipArchive::~ZipArchive()
{
    if (m_zip)
        zip_discard(m_zip);
}

QByteArray ZipArchive::read(const QString &name)
{
    const qsizetype at = m_names.indexOf(name);
    if (at < 0)
        throw Error(u"в архиве нет файла «%1»"_s.arg(name));
    const zip_uint64_t index = zip_uint64_t(m_indexes[at]);

    zip_stat_t stat;
    zip_stat_init(&stat);
    if (zip_stat_index(m_zip, index, 0, &stat) != 0)
        throw Error(u"архив повреждён"_s);
    if ((stat.valid & ZIP_STAT_ENCRYPTION_METHOD) && stat.encryption_method != ZIP_EM_NONE)
        throw Error(u"файл зашифрован"_s);
    // The size an archive states may lie; it only spares reading what would be refused anyway.
    if ((stat.valid & ZIP_STAT_SIZE) &&
        (stat.size > zip_uint64_t(MaxFileSize) || m_readSoFar + qint64(stat.size) > MaxTotalSize))
        throw Error(u"в архиве слишком большой файл «%1»"_s.arg(name));

    zip_file_t *file = zip_fopen_index(m_zip, index, 0);
    if (!file) {
        const int code = zip_error_code_zip(zip_get_error(m_zip));
        if (code == ZIP_ER_NOPASSWD || code == ZIP_ER_WRONGPASSWD || code == ZIP_ER_ENCRNOTSUPP)
            throw Error(u"файл зашифрован"_s);
        throw Error(u"архив повреждён"_s);
    }
    QByteArray data;
    if (stat.valid & ZIP_STAT_SIZE)
        data.reserve(qsizetype(stat.size));
    char chunk[64 * 1024];
    for (;;) {
        const zip_int64_t got = zip_fread(file, chunk, sizeof chunk);
        if (got < 0) {
            zip_fclose(file);
            throw Error(u"архив повреждён"_s);
        }
        if (got == 0)
            break;
        data.append(chunk, qsizetype(got));
        m_readSoFar += got;
        if (data.size() > MaxFileSize || m_readSoFar > MaxTotalSize) {
            zip_fclose(file);
            throw Error(u"в архиве слишком большой файл «%1»"_s.arg(name));
        }
    }
    // A damaged entry (a wrong checksum) is reported when it is closed.
    if (zip_fclose(file) != 0)
        throw Error(u"архив повреждён"_s);
    return data;
}

QString resolveArchivePath(const QString &base, const QString &reference)
{
    QString path = reference;
    const qsizetype hash = path.indexOf(u'#');
    if (hash >= 0)
        path.truncate(hash);
    path = QUrl::fromPercentEncoding(path.toUtf8());
    if (path.isEmpty() || path.contains(u"://"_s) || path.startsWith(u"data:"_s))
        return {};
    QStringList steps;
    if (!path.startsWith(u'/')) {
        steps = base.split(u'/');
        steps.removeLast();
    }
    for (const QString &step : path.split(u'/', Qt::SkipEmptyParts)) {
        if (step == u"."_s)
            continue;
        if (step == u".."_s) {
            if (steps.isEmpty())
                return {};
            steps.removeLast();
            continue;
        }
        steps.append(step);
    }
    return steps.join(u'/');
}

} // namespace velmira
