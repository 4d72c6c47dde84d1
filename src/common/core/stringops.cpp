#include "stringops.h"

#include <algorithm>
#include <vector>

using namespace Qt::StringLiterals;

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

// Replacement text waiting in front of the rest of the text. Replacements go in at its front, where
// room is kept, so that putting one in costs its own length. A few characters of the text behind it
// can be lent to its end for one search, so that an occurrence reaching into that text is found too.
class PendingText
{
public:
    QStringView view() const { return QStringView(m_data).sliced(m_head); }
    qsizetype size() const { return m_data.size() - m_head - m_lent; }
    bool isEmpty() const { return size() == 0; }
    QStringView first(qsizetype n) const { return view().first(n); }
    void drop(qsizetype count) { m_head += count; }

    void prepend(QStringView text)
    {
        Q_ASSERT(m_lent == 0);
        if (text.size() > m_head) {
            const qsizetype room = std::max(text.size(), size()) + text.size() + 16;
            QString grown(room + size(), Qt::Uninitialized);
            std::copy(view().begin(), view().end(), grown.data() + room);
            m_data = std::move(grown);
            m_head = room;
        }
        m_head -= text.size();
        std::copy(text.begin(), text.end(), m_data.data() + m_head);
    }

    void lend(QStringView text)
    {
        m_data.append(text);
        m_lent = text.size();
    }
    void giveBack()
    {
        m_data.truncate(m_data.size() - m_lent);
        m_lent = 0;
    }

private:
    QString m_data;
    qsizetype m_head = 0;
    qsizetype m_lent = 0;
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

// The start, counted in `tail`, of the first occurrence of `pattern` in tail + head, where head is the
// first |pattern| - 1 characters of headA + headB; or -1. As tail is shorter than the pattern too,
// every occurrence found starts in `tail` and reaches into head.
qsizetype straddlingOccurrence(QStringView tail, QStringView headA, QStringView headB, QStringView pattern,
                               const std::vector<qsizetype> &border)
{
    const qsizetype m = pattern.size();
    const qsizetype headSize = std::min(headA.size() + headB.size(), m - 1);
    qsizetype state = 0;
    const qsizetype total = tail.size() + headSize;
    for (qsizetype i = 0; i < total; ++i) {
        const qsizetype j = i - tail.size();
        const QChar c = j < 0 ? tail[i] : j < headA.size() ? headA[j] : headB[j - headA.size()];
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
        u"Замена «%1» на «%2» разрастает текст без конца."_s.arg(what, with));
}

[[noreturn]] void tooMany(const QString &what, const QString &with)
{
    throw ReplaceAllRunaway(u"Замена «%1» на «%2» не кончается."_s.arg(what, with));
}

// One pass from left to right over the occurrences present at the start.
bool replaceOnce(const QString &text, const QString &what, const QString &with, const ReplaceAllOptions &options,
                 ChangeLog &log, qsizetype &count, QString &out)
{
    qsizetype pos = 0;
    for (;;) {
        const qsizetype found = text.indexOf(what, pos);
        if (found < 0)
            break;
        if (count == 0)
            out.reserve(text.size() + text.size() / 8);
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
        return false;
    out.append(QStringView(text).sliced(pos));
    return true;
}

// The full definition. The result is built in `out`, which never holds an occurrence. What is still to
// be searched is `pending` (replacement text) followed by `rest` (the untouched end of the text). After
// a replacement at the end of `out`, the next leftmost occurrence either starts in the last |what| - 1
// characters of `out`, or starts in `pending`, or lies wholly in `rest`; so the search never goes back
// further than that and the text behind a replacement is never moved.
bool replaceRepeatedly(const QString &text, const QString &what, const QString &with,
                       const ReplaceAllOptions &options, ChangeLog &log, qsizetype &count, QString &out)
{
    const qsizetype m = what.size();
    const std::vector<qsizetype> border = borders(what);
    QStringView rest(text);
    PendingText pending;

    auto moveOutPending = [&](qsizetype n) {
        const qsizetype at = out.size();
        out.append(pending.first(n));
        log.mark(at, at + n);
        pending.drop(n);
    };
    auto consume = [&](qsizetype n) {
        const qsizetype fromPending = std::min(n, pending.size());
        pending.drop(fromPending);
        rest = rest.sliced(n - fromPending);
    };
    // The occurrence has been removed; `out` ends where it stood.
    auto putReplacement = [&] {
        if (options.maxReplacements >= 0 && count >= options.maxReplacements)
            tooMany(what, with);
        ++count;
        log.mark(out.size(), out.size());
        pending.prepend(with);
        if (options.maxLength >= 0 && out.size() + pending.size() + rest.size() > options.maxLength)
            tooLong(what, with);
    };

    bool replaced = false;
    for (;;) {
        if (replaced && m > 1 && !out.isEmpty()) {
            const qsizetype tail = std::min(out.size(), m - 1);
            const qsizetype start =
                straddlingOccurrence(QStringView(out).last(tail), pending.view(), rest, what, border);
            if (start >= 0) {
                const qsizetype cut = out.size() - tail + start;
                out.truncate(cut);
                log.truncate(cut);
                consume(m - (tail - start));
                putReplacement();
                continue;
            }
        }
        replaced = false;
        if (!pending.isEmpty()) {
            pending.lend(rest.first(std::min(rest.size(), m - 1)));
            const qsizetype found = pending.view().indexOf(what);
            pending.giveBack();
            if (found >= 0) {
                moveOutPending(found);
                consume(m);
                putReplacement();
                replaced = true;
                continue;
            }
            moveOutPending(pending.size());
        }
        const qsizetype found = rest.indexOf(what);
        if (found < 0) {
            if (count == 0)
                return false;
            out.append(rest);
            return true;
        }
        if (count == 0)
            out.reserve(text.size() + (with.size() > m ? text.size() / 8 : 0));
        out.append(rest.first(found));
        rest = rest.sliced(found + m);
        putReplacement();
        replaced = true;
    }
}

} // namespace

QString ReplaceAll(const QString &text, const QString &what, const QString &with, const ReplaceAllOptions &options)
{
    ChangeLog log(options.changed);
    qsizetype count = 0;
    QString out;
    Q_ASSERT(options.spare != &text);
    if (options.spare) {
        out = std::move(*options.spare);
        out.resize(0);
    }
    bool changed = false;
    if (what.isEmpty())
        changed = false;
    else if (with.contains(what))
        changed = replaceOnce(text, what, with, options, log, count, out);
    else
        changed = replaceRepeatedly(text, what, with, options, log, count, out);
    if (options.replacements)
        *options.replacements = count;
    if (changed)
        return out;
    if (options.spare)
        *options.spare = std::move(out);
    return text;
}

QString ReplaceAll(const QString &text, const QString &what, const QString &with)
{
    return ReplaceAll(text, what, with, ReplaceAllOptions{});
}

bool shareIfEqual(QString &text, const QString &other)
{
    if (text.constData() == other.constData() && text.size() == other.size())
        return true;
    if (text != other)
        return false;
    text = other;
    return true;
}

QString ReverseText(const QString &text)
{
    QString reversed = text;
    std::reverse(reversed.begin(), reversed.end());
    return reversed;
}

} // namespace velmira
