#include "reminderfile.h"

#include "common/core/error.h"
#include "common/core/programfolder.h"
#include "common/core/stringops.h"
#include "common/core/textcodec.h"
#include "common/core/textfile.h"

#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>

using namespace Qt::StringLiterals;

namespace velmira {

namespace {

// The format works on bytes. The shared string operations work on QString, so bytes travel as the
// characters U+0000..U+00FF (Latin-1), one character per byte, and come back the same way.
QString asChars(const QByteArray &bytes)
{
    return QString::fromLatin1(bytes);
}

QByteArray asBytes(const QString &chars)
{
    return chars.toLatin1();
}

int code(char c)
{
    return static_cast<unsigned char>(c);
}

// The codes that stand for their own decimal numbers in a stored line, in the order scrambling replaces
// them: 255..192, 126..100, 99..58, 47..33. Digits (48..57) would be mistaken for the numbers themselves,
// and 127..191 are left out of the format.
bool isSubstituted(int n)
{
    return n >= 33 && !(n >= 48 && n <= 57) && !(n >= 127 && n <= 191) && n <= 255;
}

// The repeated reversed key: the key reversed, repeated until it is longer than `length`.
QByteArray repeatedReversedKey(const QByteArray &key, qsizetype length)
{
    const QByteArray reversed = asBytes(ReverseText(asChars(key)));
    QByteArray repeated = reversed;
    while (repeated.size() <= length)
        repeated += reversed;
    return repeated;
}

// What scrambling adds to the byte at position p (from 1): code(R[|R| - p + 1]) + code(R[p]).
int keyAmount(const QByteArray &repeated, qsizetype p)
{
    return code(repeated.at(repeated.size() - p)) + code(repeated.at(p - 1));
}

bool isDigit(char c)
{
    return c >= '0' && c <= '9';
}

// Parses a whole non-negative decimal number; false for anything else, or a number beyond `limit`.
bool parseCount(const QString &text, qint64 limit, qint64 &value)
{
    if (text.isEmpty())
        return false;
    value = 0;
    for (QChar c : text) {
        if (c < u'0' || c > u'9')
            return false;
        value = value * 10 + (c.unicode() - u'0');
        if (value > limit)
            return false;
    }
    return true;
}

} // namespace

QByteArray reminderKey()
{
    return toWindows1251(u"Ласточкин"_s);
}

QString reminderFilePath()
{
    return programFile(u"Organayzer.txt"_s);
}

QByteArray substituteDigits(const QByteArray &digits)
{
    QString text = asChars(digits);
    for (int n = 255; n >= 33; --n) {
        if (isSubstituted(n))
            text = ReplaceAll(text, QString::number(n), QString(QChar(n)));
    }
    return asBytes(text);
}

QByteArray restoreDigits(const QByteArray &stored)
{
    QString text = asChars(stored);
    for (int n = 33; n <= 255; ++n) {
        if (isSubstituted(n))
            text = ReplaceAll(text, QString(QChar(n)), QString::number(n));
    }
    return asBytes(text);
}

QByteArray ScrambleText(const QByteArray &plain, const QByteArray &key, QRandomGenerator *random)
{
    const qsizetype keyLength = key.size();
    if (keyLength < 4)
        return {};
    if (!random)
        random = QRandomGenerator::global();

    const QByteArray repeated = repeatedReversedKey(key, plain.size());
    QByteArray digits;
    digits.reserve(plain.size() * 3 + plain.size() * 3 / keyLength + 1);
    for (qsizetype p = 1; p <= plain.size(); ++p) {
        const int v = keyAmount(repeated, p) + code(plain.at(p - 1));
        digits += asBytes(ReverseText(QString::number(v)));
    }

    // A random digit goes in at positions 1, 1 + L, 1 + 2L, ... of the growing string for as long as
    // that position lies inside it. The k-th (from 0) goes in while 1 + kL < |D| + k, that is while
    // k(L - 1) < |D| - 1, and is followed by the next L - 1 digits of D (the last one by all that remain).
    // Built in one pass: inserting into the middle of a long string one digit at a time would be slow.
    const qsizetype chunk = keyLength - 1;
    QByteArray mixed;
    mixed.reserve(digits.size() + digits.size() / chunk + 1);
    qsizetype k = 0;
    for (; k * chunk < digits.size() - 1; ++k) {
        mixed += char('0' + random->bounded(10));
        mixed += digits.mid(k * chunk, chunk);
    }
    mixed += digits.mid(k * chunk);

    return substituteDigits(mixed);
}

QByteArray UnscrambleText(const QByteArray &stored, const QByteArray &key)
{
    const QByteArray line = asBytes(ReplaceAll(asChars(stored), u"\r\n"_s, QString()));
    const qsizetype keyLength = key.size();
    if (keyLength < 4)
        return {};
    const QByteArray repeated = repeatedReversedKey(key, line.size());
    const QByteArray mixed = restoreDigits(line);

    // Drop the random digits. Deleting at positions 1, L, 2L - 1, ... of the shrinking string while the
    // position lies before its end removes the characters at 0, L, 2L, ... (from 0) of the whole string
    // that come before its last character; done in one pass for the same reason as in scrambling.
    QByteArray digits;
    digits.reserve(mixed.size());
    for (qsizetype i = 0; i < mixed.size(); ++i) {
        if (i % keyLength != 0 || i >= mixed.size() - 1)
            digits += mixed.at(i);
    }

    QByteArray plain;
    plain.reserve(digits.size() / 3 + 1);
    qsizetype group = 1;
    for (qsizetype at = 0; at < digits.size(); at += 3, ++group) {
        const QByteArray three = digits.mid(at, 3);
        int v = 0;
        for (qsizetype i = three.size() - 1; i >= 0; --i) {
            if (!isDigit(three.at(i)))
                return {};
            v = v * 10 + (three.at(i) - '0');
        }
        v -= keyAmount(repeated, group);
        if (v < 0 || v > 255)
            return {};
        plain += char(v);
    }
    return plain;
}

QByteArray checkLine(const QByteArray &stored)
{
    qint64 sum = 0;
    for (char c : stored)
        sum += code(c);
    return QByteArray::number(sum) + ':' + QByteArray::number(stored.size());
}

QByteArray plainTableText(const ReminderTable &table)
{
    QByteArray plain = QByteArray::number(table.rowCount()) + "\r\n";
    for (int r = 1; r < table.rowCount(); ++r) {
        for (int c = 0; c < ReminderTable::ColumnCount; ++c)
            plain += toWindows1251(table.cell(r, c)) + "\r\n";
    }
    return plain;
}

bool ShowOTable(ReminderTable &table, const QString &path)
{
    if (!QFileInfo::exists(path))
        return false;
    QByteArray bytes;
    try {
        bytes = readFileBytes(path);
    } catch (const Error &) {
        return false;
    }
    const QStringList lines = splitLines(asChars(bytes));
    if (lines.size() < 2)
        return false;
    const QByteArray stored = asBytes(lines.at(0));
    if (asBytes(lines.at(1)) != checkLine(stored))
        return false;

    const QByteArray plain = UnscrambleText(stored, reminderKey());
    if (plain.isEmpty())
        return false;
    const QStringList cells = splitLines(asChars(plain));
    qint64 rowCount = 0;
    const qint64 cellCount = cells.size() - 1;
    if (cells.isEmpty() || !parseCount(cells.at(0), cellCount / ReminderTable::ColumnCount + 1, rowCount)
        || rowCount < 1 || cellCount < ReminderTable::ColumnCount * (rowCount - 1))
        return false;

    QList<ReminderTable::Row> reminders;
    reminders.reserve(rowCount - 1);
    qsizetype next = 1;
    for (qint64 r = 1; r < rowCount; ++r) {
        ReminderTable::Row row;
        for (QString &cell : row)
            cell = fromWindows1251(asBytes(cells.at(next++)));
        reminders.append(row);
    }
    table.setReminders(reminders);
    return true;
}

void SaveOTable(const ReminderTable &table, const QString &path)
{
    if (!table.hasReminders()) {
        QFile file(path);
        if (file.exists() && !file.remove())
            throw Error(u"Не удалось удалить файл «%1»: %2"_s.arg(path, file.errorString()));
        return;
    }
    const QByteArray stored = ScrambleText(plainTableText(table), reminderKey());
    writeFileAtomically(path, stored + "\r\n" + checkLine(stored) + "\r\n");
}

} // namespace velmira
