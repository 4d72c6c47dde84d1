#include "correctiondictionary.h"

#include "common/core/programfolder.h"
#include "common/core/settings.h"
#include "common/core/textcodec.h"
#include "common/core/textfile.h"

#include <QFileInfo>
#include <algorithm>

using namespace Qt::StringLiterals;

namespace velmira {

namespace {

// Reads a dictionary file; nothing when it does not exist.
QStringList readLines(const QString &path)
{
    if (!QFileInfo::exists(path))
        return {};
    return CorrectionDictionary::parse(readFileBytes(path));
}

} // namespace

QString CorrectionDictionary::filePath()
{
    return programFile(u"Dictionary.txt"_s);
}

QStringList CorrectionDictionary::defaultLines()
{
    return {
        u"интернет=интер нэт"_s,
        u"internet=интер нэт"_s,
        u"stylus=стайлус"_s,
        u"lite=лайт"_s,
        u"www=вэ вэ вэ"_s,
        u"explorer=эксплорер"_s,
        u"ms=эм эс"_s,
        u"winhelp=вин хэлп"_s,
        u"ctrl=контрол"_s,
        u"alt=альт"_s,
        u"shift=шифт"_s,
        u"щелкните=щёлкните"_s,
        u"течет=течёт"_s,
        u"Интернет-страничке=Интернет страничке"_s,
        u"0.5 литра=пол литра"_s,
        u"hi=хай"_s,
        u"какой-нибудь=какой нибудь"_s,
        u"netscape=нетскеип"_s,
    };
}

QByteArray CorrectionDictionary::defaultFileContents()
{
    return serialize(defaultLines());
}

DictionaryEntry CorrectionDictionary::split(const QString &line)
{
    const qsizetype equals = line.indexOf(u'=');
    if (equals < 0)
        return {};
    return {line.left(equals), line.mid(equals + 1)};
}

QStringList CorrectionDictionary::parse(const QByteArray &bytes)
{
    // The zero byte ends the file before it is decoded, so that what follows it cannot change how the
    // rest is read.
    const qsizetype zero = bytes.indexOf('\0');
    return splitLines(decodeText(zero < 0 ? bytes : bytes.left(zero)));
}

QByteArray CorrectionDictionary::serialize(const QStringList &lines)
{
    return encodeText(joinLinesCrLf(lines));
}

QList<DictionaryEntry> CorrectionDictionary::entries() const
{
    QList<DictionaryEntry> result;
    result.reserve(m_lines.size());
    for (const QString &line : m_lines) {
        DictionaryEntry entry = split(line);
        if (entry.isEntry())
            result.append(std::move(entry));
    }
    return result;
}

void CorrectionDictionary::load(const QString &path)
{
    m_lines = readLines(path);
}

void CorrectionDictionary::save(const QString &path) const
{
    writeFileAtomically(path, serialize(m_lines));
}

void CorrectionDictionary::appendFrom(const QString &path)
{
    m_lines.append(readLines(path));
}

void CorrectionDictionary::add(const QString &word, const QString &replacement)
{
    m_lines.append(word + u'=' + replacement);
}

void CorrectionDictionary::removeLines(QList<qsizetype> positions)
{
    std::sort(positions.begin(), positions.end(), std::greater<>());
    positions.erase(std::unique(positions.begin(), positions.end()), positions.end());
    for (const qsizetype position : std::as_const(positions)) {
        if (position >= 0 && position < m_lines.size())
            m_lines.removeAt(position);
    }
}

bool CorrectionDictionary::isInUse()
{
    return readSetting(settings::Dictionary);
}

void CorrectionDictionary::setInUse(bool inUse)
{
    writeSetting(settings::Dictionary, inUse);
}

} // namespace velmira
