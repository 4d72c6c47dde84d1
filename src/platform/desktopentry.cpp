#include "desktopentry.h"

using namespace Qt::StringLiterals;

namespace velmira {

void DesktopEntry::set(const QString &group, const QString &key, const QString &value)
{
    auto groupIt = std::find_if(m_groups.begin(), m_groups.end(), [&](const Group &g) { return g.name == group; });
    if (groupIt == m_groups.end()) {
        m_groups.append({group, {}});
        groupIt = m_groups.end() - 1;
    }
    for (auto &pair : groupIt->keys) {
        if (pair.first == key) {
            pair.second = value;
            return;
        }
    }
    groupIt->keys.append({key, value});
}

QString DesktopEntry::value(const QString &group, const QString &key) const
{
    for (const Group &g : m_groups) {
        if (g.name != group)
            continue;
        for (const auto &pair : g.keys) {
            if (pair.first == key)
                return pair.second;
        }
    }
    return {};
}

bool DesktopEntry::contains(const QString &group, const QString &key) const
{
    for (const Group &g : m_groups) {
        if (g.name == group)
            return std::any_of(g.keys.begin(), g.keys.end(), [&](const auto &pair) { return pair.first == key; });
    }
    return false;
}

QByteArray DesktopEntry::toUtf8() const
{
    QString text;
    for (const Group &g : m_groups) {
        if (!text.isEmpty())
            text += u'\n';
        text += u'[' + g.name + u"]\n"_s;
        for (const auto &[key, value] : g.keys)
            text += key + u'=' + escapeValue(value) + u'\n';
    }
    return text.toUtf8();
}

DesktopEntry DesktopEntry::parse(const QByteArray &text)
{
    DesktopEntry entry;
    QString group;
    for (const QByteArray &rawLine : text.split('\n')) {
        const QString line = QString::fromUtf8(rawLine).trimmed();
        if (line.isEmpty() || line.startsWith(u'#'))
            continue;
        if (line.startsWith(u'[') && line.endsWith(u']')) {
            group = line.mid(1, line.size() - 2);
            continue;
        }
        const qsizetype equals = line.indexOf(u'=');
        if (equals <= 0 || group.isEmpty())
            continue;
        entry.set(group, line.left(equals).trimmed(), unescapeValue(line.mid(equals + 1).trimmed()));
    }
    return entry;
}

QString DesktopEntry::escapeValue(const QString &value)
{
    QString out;
    out.reserve(value.size());
    for (qsizetype i = 0; i < value.size(); ++i) {
        const QChar c = value[i];
        if (c == u'\\')
            out += u"\\\\"_s;
        else if (c == u'\n')
            out += u"\\n"_s;
        else if (c == u'\r')
            out += u"\\r"_s;
        else if (c == u'\t')
            out += u"\\t"_s;
        else if (c == u' ' && i == 0)
            out += u"\\s"_s; // a leading blank would be trimmed away by readers
        else
            out += c;
    }
    return out;
}

QString DesktopEntry::unescapeValue(const QString &value)
{
    QString out;
    out.reserve(value.size());
    for (qsizetype i = 0; i < value.size(); ++i) {
        const QChar c = value[i];
        if (c != u'\\' || i + 1 == value.size()) {
            out += c;
            continue;
        }
        const QChar next = value[++i];
        if (next == u's')
            out += u' ';
        else if (next == u'n')
            out += u'\n';
        else if (next == u'r')
            out += u'\r';
        else if (next == u't')
            out += u'\t';
        else if (next == u'\\')
            out += u'\\';
        else
            out += QString(u'\\') + next; // not an escape of the format: kept as written
    }
    return out;
}

QString DesktopEntry::quoteArgument(const QString &argument)
{
    static const QString reserved = u" \t\n\"'\\><~|&;$*?#()`"_s;
    QString text = argument;
    text.replace(u'%', u"%%"_s);
    const bool needsQuotes =
        text.isEmpty() || std::any_of(text.begin(), text.end(), [](QChar c) { return reserved.contains(c); });
    if (!needsQuotes)
        return text;
    QString quoted = u"\""_s;
    for (const QChar c : text) {
        if (c == u'"' || c == u'`' || c == u'$' || c == u'\\')
            quoted += u'\\';
        quoted += c;
    }
    return quoted + u'"';
}

QString DesktopEntry::execLine(const QString &program, const QStringList &arguments, const QString &fieldCodes)
{
    QString line = quoteArgument(program);
    for (const QString &argument : arguments)
        line += u' ' + quoteArgument(argument);
    if (!fieldCodes.isEmpty())
        line += u' ' + fieldCodes;
    return line;
}

} // namespace velmira
