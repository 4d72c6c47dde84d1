#include "textpreparation.h"

#include "common/core/stringops.h"
#include "dictionary/correctiondictionary.h"

#include <QFileInfo>
#include <algorithm>
#include <optional>
#include <queue>
#include <vector>

using namespace Qt::StringLiterals;

namespace velmira {

namespace {

// The longest text that preparation lets a text grow to, and how many replacements a single line may
// make. Real dictionaries stay far below both; a line beyond them would never finish.
qsizetype lengthLimit(qsizetype original)
{
    return std::max<qsizetype>(16 * original, qsizetype(1) << 24);
}

qsizetype replacementLimit(qsizetype current)
{
    return std::max<qsizetype>(8 * current, qsizetype(1) << 22);
}

// Finds which of many words occur in a text in one pass (an Aho-Corasick automaton), so that preparing
// a text costs one reading of it plus the work of the lines whose words are really there, however
// long the dictionary.
class WordFinder
{
public:
    explicit WordFinder(const QList<QString> &words)
    {
        m_classOf.assign(0x10000, 0);
        m_nodes.emplace_back();
        for (qsizetype i = 0; i < words.size(); ++i) {
            qint32 node = 0;
            for (const QChar c : words[i]) {
                quint32 &cls = m_classOf[c.unicode()];
                if (cls == 0)
                    cls = quint32(++m_classes);
                node = childOrNew(node, cls);
            }
            m_nodes[node].lines.push_back(i);
            m_wordNode.push_back(node);
        }
        m_rootRow.assign(m_classes + 1, 0);
        for (const auto &[cls, child] : m_nodes[0].children)
            m_rootRow[cls] = child;
        // Failure links and, for every state, the longest word that ends there, breadth first.
        std::vector<qint32> queue;
        for (const auto &edge : m_nodes[0].children)
            queue.push_back(edge.second);
        for (size_t i = 0; i < queue.size(); ++i) {
            const qint32 node = queue[i];
            Node &n = m_nodes[node];
            n.longestWord = !n.lines.empty() ? n.depth : m_nodes[n.fail].longestWord;
            for (const auto &[cls, child] : n.children) {
                m_nodes[child].fail = step(m_nodes[node].fail, cls);
                queue.push_back(child);
            }
        }
        // With a dictionary of usual size, a full table of moves makes each step one look-up.
        const size_t width = size_t(m_classes) + 1;
        if (m_nodes.size() * width <= (size_t(1) << 22)) {
            std::vector<qint32> table(m_nodes.size() * width);
            std::copy(m_rootRow.begin(), m_rootRow.end(), table.begin());
            for (const qint32 node : queue) {
                const Node &n = m_nodes[node];
                std::copy_n(table.begin() + n.fail * width, width, table.begin() + node * width);
                for (const auto &[cls, child] : n.children)
                    table[node * width + cls] = child;
            }
            m_table = std::move(table);
            m_width = width;
        }
        m_seen.assign(m_nodes.size(), 0);
        m_present.assign(m_nodes.size(), 0);
    }

    // The lines whose word this is (entry numbers, in order).
    const std::vector<qsizetype> &linesOf(qint32 node) const { return m_nodes[node].lines; }
    qint32 nodeOf(qsizetype line) const { return m_wordNode[line]; }

    // Forgets what was found: a new text follows.
    void beginText()
    {
        ++m_text;
        ++m_epoch;
    }

    // Notes every word that occurs wholly within `text`; calls found(node) for each that was not
    // noted before.
    template <typename Found>
    void scan(QStringView text, Found &&found)
    {
        qint32 state = 0;
        for (const QChar c : text) {
            state = step(state, m_classOf[c.unicode()]);
            if (state != 0 && m_seen[state] != m_epoch)
                noteWords(state, found);
        }
    }

    // Calls occurrence(start, end) for the longest word that ends at each place of `text`.
    template <typename Occurrence>
    void scanOccurrences(QStringView text, Occurrence &&occurrence) const
    {
        qint32 state = 0;
        for (qsizetype i = 0; i < text.size(); ++i) {
            state = step(state, m_classOf[text[i].unicode()]);
            if (const qsizetype length = m_nodes[state].longestWord)
                occurrence(i + 1 - length, i + 1);
        }
    }

    bool isPresent(qint32 node) const { return m_present[node] == m_text; }

    // The word no longer occurs in the text.
    void forget(qint32 node)
    {
        m_present[node] = 0;
        // What was noted along the way may have included it.
        ++m_epoch;
    }

private:
    struct Node
    {
        std::vector<std::pair<quint32, qint32>> children;
        std::vector<qsizetype> lines;
        qint32 fail = 0;
        qint32 depth = 0;
        qint32 longestWord = 0;
    };

    qint32 childOrNew(qint32 node, quint32 cls)
    {
        for (const auto &[c, child] : m_nodes[node].children) {
            if (c == cls)
                return child;
        }
        const auto child = qint32(m_nodes.size());
        const qint32 depth = m_nodes[node].depth + 1;
        m_nodes[node].children.emplace_back(cls, child);
        m_nodes.emplace_back();
        m_nodes.back().depth = depth;
        return child;
    }

    qint32 step(qint32 state, quint32 cls) const
    {
        if (!m_table.empty())
            return m_table[size_t(state) * m_width + cls];
        if (cls == 0)
            return 0;
        for (;;) {
            if (state == 0)
                return m_rootRow[cls];
            for (const auto &[c, child] : m_nodes[state].children) {
                if (c == cls)
                    return child;
            }
            state = m_nodes[state].fail;
        }
    }

    // Every word that ends at this state is a suffix on its chain of failure links.
    template <typename Found>
    void noteWords(qint32 state, Found &found)
    {
        while (state != 0 && m_seen[state] != m_epoch) {
            m_seen[state] = m_epoch;
            if (!m_nodes[state].lines.empty() && m_present[state] != m_text) {
                m_present[state] = m_text;
                found(state);
            }
            state = m_nodes[state].fail;
        }
    }

    std::vector<Node> m_nodes;
    std::vector<quint32> m_classOf;
    int m_classes = 0;
    std::vector<qint32> m_rootRow;
    // The move from state s on class c is m_table[s * m_width + c], when the table is there.
    std::vector<qint32> m_table;
    size_t m_width = 0;
    std::vector<qint32> m_wordNode;
    // m_seen[s] == m_epoch: the words ending at s have been noted since the last forget().
    std::vector<quint32> m_seen;
    quint32 m_epoch = 1;
    // m_present[s] == m_text: the word of s occurs in the current text.
    std::vector<quint32> m_present;
    quint32 m_text = 1;
};

struct NumberedEntry
{
    DictionaryEntry entry;
    qsizetype lineNumber;
    QString line;
};

// A line went out of bounds while a piece of the text was prepared on its own.
struct LeftPiece
{
};

// Applies the entries to `text` in order. With margins, `text` is a piece of a longer text whose first
// and last `margin` characters must stay untouched (a change there could depend on characters beyond
// the piece): throws LeftPiece when one would be touched.
QString applyInOrder(QString text, const std::vector<NumberedEntry> &entries, WordFinder &finder,
                     qsizetype longest, qsizetype maxLength, qsizetype leftMargin, qsizetype rightMargin)
{
    // The lines still to apply whose words occur, smallest first.
    std::priority_queue<qsizetype, std::vector<qsizetype>, std::greater<>> due;
    qsizetype current = -1;
    auto found = [&](qint32 node) {
        for (const qsizetype line : finder.linesOf(node)) {
            if (line > current)
                due.push(line);
        }
    };
    finder.beginText();
    finder.scan(text, found);

    QList<std::pair<qsizetype, qsizetype>> changed;
    // Each line builds its result in the memory of the text before the last one.
    QString spare;
    while (!due.empty()) {
        const qsizetype i = due.top();
        due.pop();
        if (i <= current)
            continue;
        current = i;
        const qint32 node = finder.nodeOf(i);
        if (!finder.isPresent(node))
            continue;
        const DictionaryEntry &entry = entries[i].entry;
        qsizetype replacements = 0;
        ReplaceAllOptions options;
        options.maxLength = maxLength;
        options.maxReplacements = replacementLimit(text.size());
        options.changed = &changed;
        options.replacements = &replacements;
        options.spare = &spare;
        try {
            QString next = ReplaceAll(text, entry.word, entry.replacement, options);
            if (replacements > 0) {
                spare = std::move(text);
                text = std::move(next);
            }
        } catch (const ReplaceAllRunaway &) {
            throw DictionaryRunaway(entries[i].lineNumber, entries[i].line);
        }
        // After the full replacement the word is gone; a replacement that contains it leaves it.
        if (!entry.replacement.contains(entry.word))
            finder.forget(node);
        if (!changed.isEmpty()
            && (changed.first().first < leftMargin || changed.last().second > text.size() - rightMargin))
            throw LeftPiece();
        // A word that occurs now but did not before crosses a changed place: look around each one,
        // joining the places that lie close together.
        qsizetype from = 0;
        qsizetype to = -1;
        for (const auto &[start, end] : std::as_const(changed)) {
            const qsizetype nextFrom = std::max<qsizetype>(0, start - (longest - 1));
            const qsizetype nextTo = std::min(text.size(), end + (longest - 1));
            if (nextFrom > to) {
                if (from < to)
                    finder.scan(QStringView(text).sliced(from, to - from), found);
                from = nextFrom;
            }
            to = std::max(to, nextTo);
        }
        if (from < to)
            finder.scan(QStringView(text).sliced(from, to - from), found);
    }
    return text;
}

// The text split into pieces around the occurrences of the words, each with |longest| - 1 characters
// of margin on both sides, joined where margins meet; between pieces nothing can change.
std::vector<std::pair<qsizetype, qsizetype>> pieces(const QString &text, const WordFinder &finder, qsizetype longest)
{
    std::vector<std::pair<qsizetype, qsizetype>> result;
    const qsizetype margin = longest - 1;
    finder.scanOccurrences(text, [&](qsizetype start, qsizetype end) {
        const qsizetype from = std::max<qsizetype>(0, start - margin);
        const qsizetype to = std::min(text.size(), end + margin);
        if (!result.empty() && from <= result.back().second) {
            result.back().first = std::min(result.back().first, from);
            result.back().second = std::max(result.back().second, to);
        } else {
            result.emplace_back(from, to);
        }
    });
    return result;
}

// Prepares each piece on its own, which spares copying the whole text for every line whose word it
// holds. Gives nothing when a piece's changes reach its margins or a line runs away: the whole text
// must then be prepared at once.
std::optional<QString> applyByPieces(const QString &text, const std::vector<NumberedEntry> &entries,
                                     WordFinder &finder, qsizetype longest, qsizetype maxLength)
{
    const auto parts = pieces(text, finder, longest);
    QString result;
    result.reserve(text.size() + text.size() / 8);
    qsizetype done = 0;
    try {
        for (const auto &[from, to] : parts) {
            result.append(QStringView(text).sliced(done, from - done));
            const qsizetype leftMargin = from > 0 ? longest - 1 : 0;
            const qsizetype rightMargin = to < text.size() ? longest - 1 : 0;
            result.append(applyInOrder(text.sliced(from, to - from), entries, finder, longest, maxLength, leftMargin,
                                       rightMargin));
            done = to;
            if (result.size() + (text.size() - done) > maxLength)
                return std::nullopt;
        }
    } catch (const LeftPiece &) {
        return std::nullopt;
    } catch (const DictionaryRunaway &) {
        // Prepared at once, the text names the first line that runs away.
        return std::nullopt;
    }
    result.append(QStringView(text).sliced(done));
    return result;
}

} // namespace

DictionaryRunaway::DictionaryRunaway(qsizetype lineNumber, const QString &line)
    : Error(u"Строка %1 словаря поправок («%2») заставляет замену идти без конца. Исправьте "
                           "или удалите эту строку."_s
                .arg(lineNumber)
                .arg(line.size() > 80 ? line.left(80) + u"…"_s : line)),
      m_lineNumber(lineNumber)
{
}

QString applyCorrections(const QString &text, const QStringList &lines)
{
    std::vector<NumberedEntry> entries;
    QList<QString> words;
    qsizetype longest = 0;
    for (qsizetype i = 0; i < lines.size(); ++i) {
        DictionaryEntry entry = CorrectionDictionary::split(lines[i]);
        if (!entry.isEntry())
            continue;
        longest = std::max(longest, entry.word.size());
        words.append(entry.word);
        entries.push_back({std::move(entry), i + 1, lines[i]});
    }
    if (entries.empty() || text.isEmpty())
        return text;

    WordFinder finder(words);
    const qsizetype maxLength = lengthLimit(text.size());
    if (std::optional<QString> result = applyByPieces(text, entries, finder, longest, maxLength))
        return *result;
    return applyInOrder(text, entries, finder, longest, maxLength, 0, 0);
}

QString prepareText(const QString &text)
{
    if (!CorrectionDictionary::isInUse() || !QFileInfo::exists(CorrectionDictionary::filePath()))
        return text;
    return applyCorrections(text, correctionLinesInUse());
}

QStringList correctionLinesInUse()
{
    if (!CorrectionDictionary::isInUse())
        return {};
    const QString path = CorrectionDictionary::filePath();
    if (!QFileInfo::exists(path))
        return {};
    CorrectionDictionary dictionary;
    dictionary.load(path);
    return dictionary.lines();
}

} // namespace velmira
