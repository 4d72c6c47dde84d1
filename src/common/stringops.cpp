#include "stringops.h"

#include <algorithm>
#include <vector>

namespace velmira {

namespace {

using Ranges = QList<std::pair<qsizetype, qsizetype>>;

// Keeps the changed ranges of a result that is built from left to right and may be cut back.
class ChangeLog
{
public:
    explicit ChangeLog(Ranges *ranges) : m_ranges(ranges)
    {
        if (m_ranges)
            m_ranges->clear();
    }

    void mark(qsizetype start, qsizetype end)
    {
        if (!m_ranges)
            return;
        if (!m_ranges->isEmpty() && m_ranges->last().second >= start)
            m_ranges->last().second = std::max(m_ranges->last().second, end);
        else
            m_ranges->append({start, end});
    }

    // The result was cut back to `length` characters.
    void truncate(qsizetype length)
    {
        if (!m_ranges)
            return;
        while (!m_ranges->isEmpty() && m_ranges->last().first > length)
            m_ranges->removeLast();
        if (!m_ranges->isEmpty() && m_ranges->last().second > length)
            m_ranges->last().second = length;
    }

private:
    Ranges *m_ranges;
};

// The text still to be searched. Replacements go in at its front, where room is kept, so that putting
// one in costs its own length and not the length of the text behind it.
class FrontBuffer
{
public:
    explicit FrontBuffer(const QString &text) : m_data(text) {}

    QStringView view() const { return QStringView(m_data).sliced(m_head); }
    qsizetype size() const { return m_data.size() - m_head; }
    void drop(qsizetype count) { m_head += count; }

    void prepend(QStringView text)
    {
        if (text.size() > m_head) {
            // Room for at least as much again as there is text, so that growing stays rare.
            const qsizetype room = std::max(text.size(), size()) + text.size();
            QString grown(room + size(), Qt::Uninitialized);
            std::copy(view().begin(), view().end(), grown.data() + room);
            m_data = std::move(grown);
            m_head = room;
        }
        m_head -= text.size();
        std::copy(text.begin(), text.end(), m_data.data() + m_head);
    }

private:
    QString m_data;
    qsizetype m_head = 0;
};

// border[i]: the length of the longest proper prefix of pattern[0..i] that is also its suffix.
std::vector<qsizetype> borders(QStringView pattern)
{
    std::vector<qsizetype> border(pattern.size(), 0);
    qsizetype k = 0;
    for (qsizetype i = 1; i < pattern.size(); ++i) {
        while (k > 0 && pattern[i] != pattern[k])
            k = border[k - 1];
        if (pattern[i] == pattern[k])
            ++k;
        border[i] = k;
    }
    return border;
}

// The start, counted in `tail`, of the first occurrence of `pattern` in tail + head, or -1. Both parts
// are shorter than the pattern, so every occurrence found starts in `tail` and ends in `head`.
qsizetype straddlingOccurrence(QStringView tail, QStringView head, QStringView pattern,
                               const std::vector<qsizetype> &border)
{
    const qsizetype m = pattern.size();
    qsizetype state = 0;
    const qsizetype total = tail.size() + head.size();
    for (qsizetype i = 0; i < total; ++i) {
        const QChar c = i < tail.size() ? tail[i] : head[i - tail.size()];
        while (state > 0 && pattern[state] != c)
            state = border[state - 1];
        if (pattern[state] == c)
            ++state;
        if (state == m)
            return i - m + 1;
    }
    return -1;
}

[[noreturn]] void tooLong(const QString &what, const QString &with)
{
    throw ReplaceAllRunaway(
        QStringLiteral("Замена «%1» на «%2» разрастает текст без конца.").arg(what, with));
}

[[noreturn]] void tooMany(const QString &what, const QString &with)
{
    throw ReplaceAllRunaway(QStringLiteral("Замена «%1» на «%2» не кончается.").arg(what, with));
}

// One pass from left to right over the occurrences present at the start.
QString replaceOnce(const QString &text, const QString &what, const QString &with,
                    const ReplaceAllOptions &options, ChangeLog &log, qsizetype &count)
{
    QString out;
    qsizetype pos = 0;
    for (;;) {
        const qsizetype found = text.indexOf(what, pos);
        if (found < 0)
            break;
        if (count == 0)
            out.reserve(text.size() + with.size() - what.size());
        out.append(QStringView(text).sliced(pos, found - pos));
        if (options.maxReplacements >= 0 && count >= options.maxReplacements)
            tooMany(what, with);
        ++count;
        log.mark(out.size(), out.size() + with.size());
        out.append(with);
        pos = found + what.size();
        if (options.maxLength >= 0 && out.size() + (text.size() - pos) > options.maxLength)
            tooLong(what, with);
    }
    if (count == 0)
        return text;
    out.append(QStringView(text).sliced(pos));
    return out;
}

// The full definition. The result is built in `out`, which never holds an occurrence; the rest of
// the text, with each replacement put in at its front, waits in `in`. After a replacement at the end
// of `out` the next leftmost occurrence either starts in the last |what| - 1 characters of `out` and
// reaches into `in`, or lies wholly in `in`; so the search never goes back further than that and never
// moves the text behind the replacement.
QString replaceRepeatedly(const QString &text, const QString &what, const QString &with,
                          const ReplaceAllOptions &options, ChangeLog &log, qsizetype &count)
{
    const qsizetype m = what.size();
    const std::vector<qsizetype> border = borders(what);
    QString out;
    FrontBuffer in(text);
    // How many characters at the front of `in` came from replacements.
    qsizetype replaced = 0;

    auto moveOut = [&](qsizetype n) {
        const qsizetype at = out.size();
        out.append(in.view().first(n));
        const qsizetype fromReplacement = std::min(n, replaced);
        if (fromReplacement > 0)
            log.mark(at, at + fromReplacement);
        replaced -= fromReplacement;
        in.drop(n);
    };
    auto consume = [&](qsizetype n) {
        in.drop(n);
        replaced = std::max<qsizetype>(0, replaced - n);
    };
    // The occurrence has been removed; `out` ends where it stood.
    auto putReplacement = [&] {
        if (options.maxReplacements >= 0 && count >= options.maxReplacements)
            tooMany(what, with);
        ++count;
        log.mark(out.size(), out.size());
        in.prepend(with);
        replaced += with.size();
        if (options.maxLength >= 0 && out.size() + in.size() > options.maxLength)
            tooLong(what, with);
    };

    for (;;) {
        // After a replacement an occurrence may start at the end of `out` and reach into `in`.
        if (!out.isEmpty() && m > 1) {
            const qsizetype tail = std::min(out.size(), m - 1);
            const qsizetype start = straddlingOccurrence(QStringView(out).last(tail),
                                                         in.view().first(std::min(in.size(), m - 1)), what, border);
            if (start >= 0) {
                const qsizetype cut = out.size() - tail + start;
                out.truncate(cut);
                log.truncate(cut);
                consume(m - (tail - start));
                putReplacement();
                continue;
            }
        }
        const qsizetype found = in.view().indexOf(what);
        if (found < 0) {
            if (count == 0)
                return text;
            moveOut(in.size());
            return out;
        }
        if (count == 0)
            out.reserve(text.size() + std::max<qsizetype>(0, with.size() - m));
        moveOut(found);
        consume(m);
        putReplacement();
    }
}

} // namespace

QString ReplaceAll(const QString &text, const QString &what, const QString &with, const ReplaceAllOptions &options)
{
    ChangeLog log(options.changed);
    qsizetype count = 0;
    QString result;
    if (what.isEmpty())
        result = text;
    else if (with.contains(what))
        result = replaceOnce(text, what, with, options, log, count);
    else
        result = replaceRepeatedly(text, what, with, options, log, count);
    if (options.replacements)
        *options.replacements = count;
    return result;
}

QString ReplaceAll(const QString &text, const QString &what, const QString &with)
{
    return ReplaceAll(text, what, with, ReplaceAllOptions{});
}

QString ReverseText(const QString &text)
{
    QString reversed = text;
    std::reverse(reversed.begin(), reversed.end());
    return reversed;
}

} // namespace velmira
