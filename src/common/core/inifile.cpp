#include "inifile.h"

#include "error.h"
#include "programfolder.h"
#include "textcodec.h"
#include "textfile.h"

#include <QFile>
#include <QStringList>
#include <limits>

using namespace Qt::StringLiterals;

namespace velmira {

namespace {

constexpr qsizetype MaxValueLength = 2047;

QString sectionName(const QString &line)
{
    const QString trimmed = line.trimmed();
    if (!trimmed.startsWith(u'['))
        return {};
    const qsizetype close = trimmed.indexOf(u']');
    if (close < 0)
        return {};
    return trimmed.mid(1, close - 1).trimmed();
}

bool isSectionLine(const QString &line)
{
    return line.trimmed().startsWith(u'[');
}

// The key of a "key=value" line, or an empty text when the line holds none.
QString keyOf(const QString &line)
{
    const qsizetype eq = line.indexOf(u'=');
    if (eq < 0)
        return {};
    return line.left(eq).trimmed();
}

QStringList readLines(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return splitLines(decodeText(file.readAll()));
}

// The range [begin, end) of the lines of a section's body, or begin = -1 when it is missing.
struct SectionRange
{
    qsizetype header = -1;
    qsizetype end = -1;
};

SectionRange findSection(const QStringList &lines, const QString &section)
{
    SectionRange range;
    for (qsizetype i = 0; i < lines.size(); ++i) {
        if (!isSectionLine(lines[i]))
            continue;
        if (range.header >= 0) {
            range.end = i;
            return range;
        }
        if (sectionName(lines[i]).compare(section, Qt::CaseInsensitive) == 0)
            range.header = i;
    }
    if (range.header >= 0)
        range.end = lines.size();
    return range;
}

} // namespace

IniFile::IniFile(QString path) : m_path(std::move(path)) {}

IniFile IniFile::settings()
{
    return IniFile(programFile(u"Settings.ini"_s));
}

QString IniFile::readString(const QString &section, const QString &key, const QString &defaultValue) const
{
    const QStringList lines = readLines(m_path);
    const SectionRange range = findSection(lines, section);
    if (range.header < 0)
        return defaultValue;
    for (qsizetype i = range.header + 1; i < range.end; ++i) {
        if (keyOf(lines[i]).compare(key, Qt::CaseInsensitive) != 0 || keyOf(lines[i]).isEmpty())
            continue;
        QString value = lines[i].mid(lines[i].indexOf(u'=') + 1).trimmed();
        if (value.size() >= 2 && (value.front() == u'"' || value.front() == u'\'') &&
            value.back() == value.front())
            value = value.mid(1, value.size() - 2);
        return value.left(MaxValueLength);
    }
    return defaultValue;
}

std::optional<int> IniFile::parseInteger(const QString &text)
{
    QStringView s(text);
    bool negative = false;
    if (s.startsWith(u'-') || s.startsWith(u'+')) {
        negative = s.front() == u'-';
        s = s.mid(1);
    }
    int base = 10;
    if (s.startsWith(u'$')) {
        base = 16;
        s = s.mid(1);
    } else if (s.startsWith(u"0x") || s.startsWith(u"0X")) {
        base = 16;
        s = s.mid(2);
    }
    if (s.isEmpty())
        return std::nullopt;
    qint64 value = 0;
    for (QChar c : s) {
        const int digit = c.isDigit() ? c.digitValue()
                          : (base == 16 && c.toLower() >= u'a' && c.toLower() <= u'f')
                              ? c.toLower().unicode() - u'a' + 10
                              : -1;
        if (digit < 0 || digit >= base || c.unicode() > 0x7F)
            return std::nullopt;
        value = value * base + digit;
        // Hexadecimal values take all 32 bits, as a negative number when the top bit is set.
        const qint64 limit = base == 16 ? qint64(std::numeric_limits<quint32>::max())
                                        : qint64(std::numeric_limits<int>::max()) + (negative ? 1 : 0);
        if (value > limit)
            return std::nullopt;
    }
    if (base == 16 && value > std::numeric_limits<int>::max())
        value -= qint64(1) << 32;
    return int(negative ? -value : value);
}

int IniFile::readInteger(const QString &section, const QString &key, int defaultValue) const
{
    return parseInteger(readString(section, key, QString())).value_or(defaultValue);
}

bool IniFile::readBool(const QString &section, const QString &key, bool defaultValue) const
{
    return readInteger(section, key, defaultValue ? 1 : 0) != 0;
}

void IniFile::writeString(const QString &section, const QString &key, const QString &value)
{
    QStringList lines = readLines(m_path);
    const SectionRange range = findSection(lines, section);
    const QString entry = key + u'=' + value;
    bool done = false;
    if (range.header >= 0) {
        qsizetype lastEntry = range.header;
        for (qsizetype i = range.header + 1; i < range.end; ++i) {
            const QString lineKey = keyOf(lines[i]);
            if (!lines[i].trimmed().isEmpty())
                lastEntry = i;
            if (!lineKey.isEmpty() && lineKey.compare(key, Qt::CaseInsensitive) == 0) {
                // Keep the key as it is spelt in the file; only the value changes.
                lines[i] = lines[i].left(lines[i].indexOf(u'=') + 1) + value;
                done = true;
                break;
            }
        }
        if (!done) {
            lines.insert(lastEntry + 1, entry);
            done = true;
        }
    }
    if (!done) {
        lines.append(u'[' + section + u']');
        lines.append(entry);
    }
    try {
        writeFileAtomically(m_path, encodeText(joinLinesCrLf(lines)));
    } catch (const FileWriteError &error) {
        // The system's reason goes along, for a caller that tells the user.
        throw FileWriteError(u"Unable to write to %1"_s.arg(m_path), error.reason());
    }
}

void IniFile::writeInteger(const QString &section, const QString &key, int value)
{
    writeString(section, key, QString::number(value));
}

void IniFile::writeBool(const QString &section, const QString &key, bool value)
{
    writeString(section, key, value ? u"1"_s : u"0"_s);
}

} // namespace velmira
