#include "inifile.h"

#include "error.h"
#include "programfolder.h"
#include "textcodec.h"
#include "textfile.h"

#include <QFile>
#include <QLockFile>
#include <QStringDecoder>
#include <QStringEncoder>
#include <QStringList>
#include <limits>
#include <vector>

using namespace Qt::StringLiterals;

namespace velmira {

namespace {

constexpr qsizetype MaxValueLength = 2047;
// How long a write waits for another copy of the program to finish its own.
constexpr int LockTimeoutMs = 5000;

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

// How the file's characters are stored. A file with a UTF-16 byte-order mark (as Windows editors
// save "Unicode" text) stays UTF-16 in its byte order; any other file follows the rule of all the
// program's text files.
enum class Encoding { Windows1251, Utf8, Utf16LE, Utf16BE };

// One line of the file as bytes: its characters [start, end), then its line end [end, next).
struct RawLine
{
    qsizetype start = 0;
    qsizetype end = 0;
    qsizetype next = 0;
};

// The settings file as it is on disk. Every change splices only the bytes of the lines it writes, so
// that whatever the program does not understand (zero bytes, bytes without a letter in the code page,
// lone CR or LF line ends, sections of other programs) stays byte for byte.
class IniBytes
{
public:
    explicit IniBytes(QByteArray bytes) : m_bytes(std::move(bytes))
    {
        if (m_bytes.startsWith("\xFF\xFE")) {
            m_encoding = Encoding::Utf16LE;
            m_bom = 2;
        } else if (m_bytes.startsWith("\xFE\xFF")) {
            m_encoding = Encoding::Utf16BE;
            m_bom = 2;
        } else if (isUtf8Text(m_bytes)) {
            m_encoding = Encoding::Utf8;
            m_bom = m_bytes.startsWith("\xEF\xBB\xBF") ? 3 : 0;
        }
        split();
    }

    const QByteArray &bytes() const { return m_bytes; }
    const QStringList &lines() const { return m_lines; }

    // Gives line `i` the value `value` after its first "=", keeping the bytes before it.
    void setValue(qsizetype i, const QString &value)
    {
        if (needsUtf8(value))
            return setValue(i, value);
        const RawLine &line = m_raw[size_t(i)];
        const qsizetype eq = indexOfUnit(line, u'=');
        Q_ASSERT(eq >= 0);
        const qsizetype from = eq + unitSize();
        m_bytes.replace(from, line.end - from, encode(value));
        split();
    }

    // Inserts new lines after line `i` (before the first line when `i` is -1, at the end when it is
    // the last line).
    void insertAfter(qsizetype i, const QStringList &lines)
    {
        if (needsUtf8(lines.join(QString())))
            return insertAfter(i, lines);
        qsizetype at = m_bom;
        QByteArray inserted;
        if (i >= 0) {
            const RawLine &line = m_raw[size_t(i)];
            at = line.next;
            // The last line of the file may have no line end of its own yet.
            if (line.end == line.next)
                inserted += encode(u"\r\n"_s);
        }
        for (const QString &text : lines)
            inserted += encode(text + u"\r\n"_s);
        m_bytes.insert(at, inserted);
        split();
    }

    qsizetype lineCount() const { return m_lines.size(); }

private:
    qsizetype unitSize() const
    {
        return m_encoding == Encoding::Utf16LE || m_encoding == Encoding::Utf16BE ? 2 : 1;
    }

    char16_t unitAt(qsizetype at) const
    {
        const auto byte = [this](qsizetype k) { return char16_t(static_cast<unsigned char>(m_bytes[k])); };
        switch (m_encoding) {
        case Encoding::Utf16LE:
            return char16_t(byte(at) | byte(at + 1) << 8);
        case Encoding::Utf16BE:
            return char16_t(byte(at) << 8 | byte(at + 1));
        default:
            return byte(at);
        }
    }

    qsizetype indexOfUnit(const RawLine &line, char16_t unit) const
    {
        for (qsizetype at = line.start; at + unitSize() <= line.end; at += unitSize()) {
            if (unitAt(at) == unit)
                return at;
        }
        return -1;
    }

    void split()
    {
        m_raw.clear();
        m_lines.clear();
        const qsizetype step = unitSize();
        // A stray last byte of a UTF-16 file belongs to the last line.
        const qsizetype size = m_bytes.size();
        qsizetype start = m_bom;
        for (qsizetype at = m_bom; at + step <= size; at += step) {
            const char16_t unit = unitAt(at);
            if (unit != u'\r' && unit != u'\n')
                continue;
            qsizetype next = at + step;
            if (unit == u'\r' && next + step <= size && unitAt(next) == u'\n')
                next += step;
            m_raw.push_back({start, at, next});
            start = next;
            at = next - step;
        }
        if (start < size)
            m_raw.push_back({start, size, size});
        for (const RawLine &line : m_raw)
            m_lines.append(decode(m_bytes.sliced(line.start, line.end - line.start)));
    }

    QString decode(const QByteArray &bytes) const
    {
        switch (m_encoding) {
        case Encoding::Windows1251:
            return fromWindows1251(bytes);
        case Encoding::Utf8:
            return QString::fromUtf8(bytes);
        case Encoding::Utf16LE:
            return QStringDecoder(QStringDecoder::Utf16LE).decode(bytes);
        case Encoding::Utf16BE:
            return QStringDecoder(QStringDecoder::Utf16BE).decode(bytes);
        }
        return {};
    }

    QByteArray encode(const QString &text) const
    {
        switch (m_encoding) {
        case Encoding::Windows1251:
            return toWindows1251(text);
        case Encoding::Utf8:
            return text.toUtf8();
        case Encoding::Utf16LE:
            return QStringEncoder(QStringEncoder::Utf16LE).encode(text);
        case Encoding::Utf16BE:
            return QStringEncoder(QStringEncoder::Utf16BE).encode(text);
        }
        return {};
    }

    // A Windows-1251 file that is to hold a character without a place in the code page becomes UTF-8
    // with a byte-order mark, as every file of the program does; its lines keep their line ends.
    // Returns whether the file was converted.
    bool needsUtf8(const QString &text)
    {
        if (m_encoding != Encoding::Windows1251 || fitsWindows1251(text))
            return false;
        QByteArray converted("\xEF\xBB\xBF");
        for (qsizetype i = 0; i < m_lines.size(); ++i) {
            const RawLine &line = m_raw[size_t(i)];
            converted += m_lines[i].toUtf8();
            converted += m_bytes.sliced(line.end, line.next - line.end);
        }
        m_bytes = std::move(converted);
        m_encoding = Encoding::Utf8;
        m_bom = 3;
        split();
        return true;
    }

    QByteArray m_bytes;
    Encoding m_encoding = Encoding::Windows1251;
    qsizetype m_bom = 0;
    std::vector<RawLine> m_raw;
    QStringList m_lines;
};

QByteArray readBytes(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return file.readAll();
}

QStringList readLines(const QString &path)
{
    return IniBytes(readBytes(path)).lines();
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
    // Another copy of the program may be writing at the same moment (two closing at once): the file is
    // read and written under a lock, so that neither writes back what it read before the other's key
    // arrived. A lock that cannot be had (a folder without rights, a copy that hangs) does not stop
    // the write; the last one then wins, as without the lock.
    QLockFile lock(m_path + u".lock"_s);
    lock.tryLock(LockTimeoutMs);

    IniBytes file(readBytes(m_path));
    const QStringList &lines = file.lines();
    const SectionRange range = findSection(lines, section);
    const QString entry = key + u'=' + value;
    if (range.header >= 0) {
        qsizetype lastEntry = range.header;
        qsizetype found = -1;
        for (qsizetype i = range.header + 1; i < range.end && found < 0; ++i) {
            const QString lineKey = keyOf(lines[i]);
            if (!lines[i].trimmed().isEmpty())
                lastEntry = i;
            if (!lineKey.isEmpty() && lineKey.compare(key, Qt::CaseInsensitive) == 0)
                found = i;
        }
        // Keep the key as it is spelt in the file; only the value changes.
        if (found >= 0)
            file.setValue(found, value);
        else
            file.insertAfter(lastEntry, {entry});
    } else {
        file.insertAfter(file.lineCount() - 1, {u'[' + section + u']', entry});
    }
    try {
        writeFileAtomically(m_path, file.bytes());
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
