#include "spokentextmap.h"

#include <algorithm>

namespace velmira {

namespace {

// How far apart, in either text, the two ends of a correction may lie; the first window compared,
// which grows up to that while the end of the change is not in it; and how many agreeing letters
// within a word show that the texts run together again.
constexpr qsizetype MaxReach = 256;
constexpr qsizetype FirstWindow = 32;
constexpr qsizetype Anchor = 6;

bool isWordCharacter(QChar c)
{
    return c.isLetterOrNumber() || c.isMark() || c.isSurrogate();
}

} // namespace

SpokenTextMap::SpokenTextMap(QString original, QString spoken, int repetitions)
    : m_original(std::move(original)), m_spoken(std::move(spoken)),
      m_period(repetitions > 1 ? m_original.size() + 2 : 0),
      m_originalSize(repetitions > 1 ? m_period * repetitions : m_original.size())
{
    // A search for one character is the fast one; the text of a book is read here at once.
    for (qsizetype i = m_original.indexOf(u'\r'); i >= 0; i = m_original.indexOf(u'\r', i + 1)) {
        if (i + 1 < m_original.size() && m_original[i + 1] == u'\n')
            m_crlf.push_back(i);
    }
}

QChar SpokenTextMap::originalAt(qsizetype i) const
{
    if (m_period == 0)
        return m_original[i];
    const qsizetype r = i % m_period;
    const qsizetype n = m_original.size();
    return r < n ? m_original[r] : (r == n ? QChar(u'.') : QChar(u' '));
}

SpokenTextMap::Change SpokenTextMap::findChange() const
{
    const qsizetype from = m_at;
    const qsizetype spokenFrom = m_spokenAt;
    const qsizetype leftOriginal = m_originalSize - from;
    const qsizetype leftSpoken = m_spoken.size() - spokenFrom;
    const auto same = [&](qsizetype i, qsizetype j) { return originalAt(from + i) == m_spoken[spokenFrom + j]; };
    for (qsizetype window = FirstWindow;; window *= 2) {
        const qsizetype n = std::min(window, leftOriginal);
        const qsizetype m = std::min(window, leftSpoken);
        const bool wholeRest = n == leftOriginal && m == leftSpoken;
        // The best way the two stretches share letters, from every pair of places on, counting a
        // shared letter once and once more when it follows another: stretches that run together
        // weigh more than letters that agree here and there by chance. `run` holds the scores of
        // going on right after a shared letter, `gap` those after a letter of one text only.
        const qsizetype stride = m + 1;
        std::vector<int> run(size_t((n + 1) * stride), 0);
        std::vector<int> gap(size_t((n + 1) * stride), 0);
        const auto cell = [stride](qsizetype i, qsizetype j) { return size_t(i * stride + j); };
        for (qsizetype i = n; i >= 0; --i) {
            for (qsizetype j = m; j >= 0; --j) {
                if (i == n || j == m)
                    continue;
                const int skip = std::max(gap[cell(i + 1, j)], gap[cell(i, j + 1)]);
                const int shared = same(i, j) ? 1 + run[cell(i + 1, j + 1)] : -1;
                gap[cell(i, j)] = std::max(skip, shared);
                run[cell(i, j)] = std::max(skip, shared < 0 ? -1 : shared + 1);
            }
        }
        // Follow the best way from the start; the change ends where a shared stretch begins that
        // is no part of a correction: one that holds a blank or punctuation (the texts are between
        // words again), that is long, or that runs to the end of both texts. Short stretches inside
        // a word ("е" of "т.е." and "то есть") belong to the change.
        qsizetype i = 0, j = 0;
        bool afterShared = false;
        qsizetype stretchI = 0, stretchJ = 0, stretch = 0;
        bool between = false;
        const auto endsChange = [&](bool atTheEnd) {
            return stretch > 0 && (between || stretch >= Anchor || (atTheEnd && wholeRest));
        };
        while (i < n && j < m) {
            const std::vector<int> &scores = afterShared ? run : gap;
            const int here = scores[cell(i, j)];
            if (same(i, j) && here == 1 + (afterShared ? 1 : 0) + run[cell(i + 1, j + 1)]) {
                if (stretch == 0) {
                    stretchI = i;
                    stretchJ = j;
                    between = false;
                }
                between = between || !isWordCharacter(originalAt(from + i));
                ++stretch;
                ++i;
                ++j;
                afterShared = true;
                continue;
            }
            if (endsChange(false))
                return {from, from + stretchI, spokenFrom, spokenFrom + stretchJ};
            stretch = 0;
            afterShared = false;
            if (gap[cell(i + 1, j)] >= gap[cell(i, j + 1)])
                ++i;
            else
                ++j;
        }
        if (endsChange(i == n && j == m))
            return {from, from + stretchI, spokenFrom, spokenFrom + stretchJ};
        // Nothing in reach agrees: take the stretch as one change and look again beyond it.
        if (wholeRest || window >= MaxReach)
            return {from, from + n, spokenFrom, spokenFrom + m};
    }
}

qsizetype SpokenTextMap::locate(qsizetype target, bool isEnd, bool &changed)
{
    if (target < m_spokenAt) {
        // Asked for a word already passed: walk again from the start.
        m_at = m_spokenAt = 0;
        m_change.reset();
    }
    for (;;) {
        if (m_change) {
            const Change c = *m_change;
            if (target == c.spokenFrom)
                return c.from;
            if (target < c.spokenTo) {
                changed = true;
                // Letters replaced by as many others ("ё" by "е") correspond one for one.
                if (c.to - c.from == c.spokenTo - c.spokenFrom)
                    return c.from + (target - c.spokenFrom);
                return isEnd ? c.to : c.from;
            }
            m_at = c.to;
            m_spokenAt = c.spokenTo;
            m_change.reset();
            continue;
        }
        while (m_spokenAt < target && m_at < m_originalSize && originalAt(m_at) == m_spoken[m_spokenAt]) {
            ++m_at;
            ++m_spokenAt;
        }
        if (m_spokenAt == target)
            return m_at;
        m_change = findChange();
    }
}

std::optional<qsizetype> SpokenTextMap::toEditor(qsizetype position, bool isEnd) const
{
    if (m_period != 0) {
        qsizetype r = position % m_period;
        // The end of a repetition belongs to it, not to the next one.
        if (isEnd && r == 0 && position > 0)
            r = m_period;
        if (r > m_original.size() || (!isEnd && r == m_original.size()))
            return isEnd ? std::optional<qsizetype>(m_original.size()) : std::nullopt;
        position = r;
    }
    const auto crlfBefore = std::lower_bound(m_crlf.begin(), m_crlf.end(), position) - m_crlf.begin();
    return position - crlfBefore;
}

std::optional<std::pair<int, int>> SpokenTextMap::editorRange(int position, int length)
{
    if (position < 0 || length <= 0 || position >= m_spoken.size())
        return std::nullopt;
    const qsizetype end = std::min<qsizetype>(qsizetype(position) + length, m_spoken.size());
    bool changed = false;
    qsizetype from = locate(position, false, changed);
    qsizetype to = std::max(from, locate(end, true, changed));
    if (changed) {
        // A corrected word marks the whole word it came from.
        while (from > 0 && isWordCharacter(originalAt(from - 1)))
            --from;
        while (to < m_originalSize && isWordCharacter(originalAt(to)))
            ++to;
    }
    // Never half of a character outside the Basic Multilingual Plane.
    if (from > 0 && from < m_originalSize && originalAt(from).isLowSurrogate())
        --from;
    if (to > 0 && to < m_originalSize && originalAt(to).isLowSurrogate())
        ++to;
    if (m_period != 0 && to > from) {
        // A range stays within one repetition.
        to = std::min(to, (from / m_period) * m_period + m_original.size());
    }
    const std::optional<qsizetype> start = toEditor(from, false);
    const std::optional<qsizetype> stop = toEditor(to, true);
    if (!start || !stop || *stop <= *start)
        return std::nullopt;
    return std::pair{int(*start), int(*stop)};
}

} // namespace velmira
