#include "spokentextmap.h"

#include <algorithm>

namespace velmira {

namespace {

// How far apart, in either text, the two ends of a correction may lie, and how many agreeing
// characters show that the texts run together again. Corrections are words and short phrases.
constexpr qsizetype MaxReach = 256;
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
    for (qsizetype i = 0; i + 1 < m_original.size(); ++i) {
        if (m_original[i] == u'\r' && m_original[i + 1] == u'\n')
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

bool SpokenTextMap::agree(qsizetype original, qsizetype spoken, qsizetype count) const
{
    for (qsizetype k = 0; k < count; ++k) {
        if (originalAt(original + k) != m_spoken[spoken + k])
            return false;
    }
    return true;
}

SpokenTextMap::Change SpokenTextMap::findChange() const
{
    const qsizetype from = m_at;
    const qsizetype spokenFrom = m_spokenAt;
    const qsizetype spokenSize = m_spoken.size();
    const auto agreesFrom = [&](qsizetype o, qsizetype s) {
        if (o > m_originalSize || s > spokenSize)
            return false;
        const qsizetype leftOriginal = m_originalSize - o;
        const qsizetype leftSpoken = spokenSize - s;
        const qsizetype k = std::min({Anchor, leftOriginal, leftSpoken});
        // Close to the end the texts must end together.
        if (k < Anchor && leftOriginal != leftSpoken)
            return false;
        return agree(o, s, k);
    };
    // The nearest place from which the texts agree again (or both end): the fewest characters
    // skipped in the longer side first, then the sides closest in length, since short words recur
    // and could agree by chance a little further on in one text only.
    for (qsizetype reach = 1; reach <= MaxReach; ++reach) {
        for (qsizetype other = reach; other >= 0; --other) {
            if (agreesFrom(from + reach, spokenFrom + other))
                return {from, from + reach, spokenFrom, spokenFrom + other};
            if (other != reach && agreesFrom(from + other, spokenFrom + reach))
                return {from, from + other, spokenFrom, spokenFrom + reach};
        }
    }
    // Nothing in reach agrees: take the stretch as one change and look again beyond it.
    return {from, std::min(from + MaxReach, m_originalSize), spokenFrom, std::min(spokenFrom + MaxReach, spokenSize)};
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
