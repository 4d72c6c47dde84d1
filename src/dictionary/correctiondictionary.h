// The correction dictionary: the ordered lines of "Dictionary.txt", how a line reads as a word and its
// replacement, and the settings flag that switches the dictionary on.
#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

namespace velmira {

// A line of the dictionary read as a word and its replacement. A line without "=", or beginning with
// "=", has an empty word: it is kept and shown but replaces nothing.
struct DictionaryEntry
{
    QString word;
    QString replacement;

    bool isEntry() const { return !word.isEmpty(); }
};

// The dictionary as the user keeps it: lines in the order of the file, new lines at the end, never
// sorted. Duplicates, empty lines and lines that are not entries are kept as they are.
class CorrectionDictionary
{
public:
    CorrectionDictionary() = default;
    explicit CorrectionDictionary(QStringList lines) : m_lines(std::move(lines)) {}

    // "Dictionary.txt" in the program folder.
    static QString filePath();
    // The 18 lines the program comes with.
    static QStringList defaultLines();
    // The file the program writes when "Dictionary.txt" is missing (311 bytes in Windows-1251).
    static QByteArray defaultFileContents();

    // Splits a line at its first "=": the word before it, the replacement after it (which may hold
    // further "=" and may be empty). Nothing is trimmed.
    static DictionaryEntry split(const QString &line);
    // The lines of a dictionary file: CR LF, LF or CR end a line, a last line without an end is a
    // line, a zero byte ends the file.
    static QStringList parse(const QByteArray &bytes);
    // The file for these lines: every line followed by CR LF; no lines, no bytes. Windows-1251, or
    // UTF-8 when a character does not fit.
    static QByteArray serialize(const QStringList &lines);

    const QStringList &lines() const { return m_lines; }
    qsizetype size() const { return m_lines.size(); }
    bool isEmpty() const { return m_lines.isEmpty(); }
    // The lines that are entries, each split, in file order.
    QList<DictionaryEntry> entries() const;

    // Replaces the lines with those of the file; a missing file gives an empty dictionary. Throws
    // Error when the file exists but cannot be read.
    void load(const QString &path = filePath());
    // Writes the lines to the file. The old file stays whole until the new one is complete. Throws
    // Error when the file cannot be written.
    void save(const QString &path = filePath()) const;
    // Appends the lines of another file after the current ones (import); a missing file adds nothing.
    // Throws Error when the file exists but cannot be read.
    void appendFrom(const QString &path);

    // Appends the line word + "=" + replacement.
    void add(const QString &word, const QString &replacement);
    // Removes the lines at the given positions (any order, repeats allowed; positions outside the
    // list are ignored).
    void removeLines(QList<qsizetype> positions);
    void clear() { m_lines.clear(); }

    // The settings flag "Dictionary": whether the dictionary is applied before speaking (off when
    // absent). Writing throws Error when the settings file cannot be written.
    static bool isInUse();
    static void setInUse(bool inUse);

private:
    QStringList m_lines;
};

} // namespace velmira
