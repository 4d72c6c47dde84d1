// Desktop entry files (.desktop, .directory): reading, writing and the quoting of their command lines.
#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

namespace velmira {

// A desktop entry as groups of keys in the order they were set. Values are kept unescaped; toUtf8()
// escapes them by the Desktop Entry rules and parse() undoes that.
class DesktopEntry
{
public:
    // The main group of every entry.
    static QString mainGroup() { using namespace Qt::StringLiterals; return u"Desktop Entry"_s; }

    // Sets a key of a group; a new group goes after the others, a new key after the group's keys.
    void set(const QString &group, const QString &key, const QString &value);
    // The value of a key; empty when the group or key is missing.
    QString value(const QString &group, const QString &key) const;
    bool contains(const QString &group, const QString &key) const;

    // The file's text, UTF-8 as the format requires.
    QByteArray toUtf8() const;
    // Reads a file's text. Lines that are neither a group header nor a key are skipped.
    static DesktopEntry parse(const QByteArray &text);

    // Escapes a string value: backslash, line breaks and tabs, and a leading blank.
    static QString escapeValue(const QString &value);
    static QString unescapeValue(const QString &value);

    // One argument of an Exec key, quoted when it holds a character the format reserves, with every
    // "%" doubled so that it is not taken for a field code.
    static QString quoteArgument(const QString &argument);
    // An Exec command line: the program and its arguments, each quoted where needed. Field codes
    // ("%f") go into `fieldCodes` and are appended unquoted.
    static QString execLine(const QString &program, const QStringList &arguments = {},
                            const QString &fieldCodes = {});

private:
    struct Group
    {
        QString name;
        QList<std::pair<QString, QString>> keys;
    };
    QList<Group> m_groups;
};

} // namespace velmira
