#include "textpreparation.h"

#include "common/stringops.h"
#include "dictionary/correctiondictionary.h"

#include <QFileInfo>
#include <algorithm>
#include <vector>

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
        for (const QString &word : words) {
            qint32 node = 0;
            for (const QChar c : word) {
                quint32 &cls = m_classOf[c.unicode()];
                if (cls == 0)
                    cls = quint32(++m_classes);
                node = childOrNew(node, cls);
            }
            m_nodes[node].isWord = true;
            m_wordNode.push_back(node);
        }
        m_rootRow.assign(m_classes + 1, 0);
        for (const auto &[cls, child] : m_nodes[0].children)
            m_rootRow[cls] = child;
        // Failure links, breadth first.
        std::vector<qint32> queue;
        for (const auto &edge : m_nodes[0].children)
            queue.push_back(edge.second);
        for (size_t i = 0; i < queue.size(); ++i) {
            const qint32 node = queue[i];
            for (const auto &[cls, child] : m_nodes[node].children) {
                m_nodes[child].fail = step(m_nodes[node].fail, cls);
                queue.push_back(child);
            }
        }
        m_seen.assign(m_nodes.size(), 0);
        m_present.assign(m_nodes.size(), false);
    }

    // Notes every word that occurs wholly within `text`.
    void scan(QStringView text)
    {
        qint32 state = 0;
        for (const QChar c : text) {
            state = step(state, m_classOf[c.unicode()]);
            if (state != 0 && m_seen[state] != m_epoch)
                noteWords(state);
        }
    }

    bool isPresent(qsizetype word) const { return m_present[m_wordNode[word]]; }

    // The word no longer occurs in the text.
    void forget(qsizetype word)
    {
        m_present[m_wordNode[word]] = false;
        // What was noted along the way may have included it.
        ++m_epoch;
    }

private:
    struct Node
    {
        std::vector<std::pair<quint32, qint32>> children;
        qint32 fail = 0;
        bool isWord = false;
    };

    qint32 childOrNew(qint32 node, quint32 cls)
    {
        for (const auto &[c, child] : m_nodes[node].children) {
            if (c == cls)
                return child;
        }
        const auto child = qint32(m_nodes.size());
        m_nodes[node].children.emplace_back(cls, child);
        m_nodes.emplace_back();
        return child;
    }

    qint32 step(qint32 state, quint32 cls) const
    {
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
    void noteWords(qint32 state)
    {
        while (state != 0 && m_seen[state] != m_epoch) {
            m_seen[state] = m_epoch;
            if (m_nodes[state].isWord)
                m_present[state] = true;
            state = m_nodes[state].fail;
        }
    }

    std::vector<Node> m_nodes;
    std::vector<quint32> m_classOf;
    int m_classes = 0;
    std::vector<qint32> m_rootRow;
    std::vector<qint32> m_wordNode;
    // m_seen[s] == m_epoch: the words ending at s have been noted since the last forget().
    std::vector<quint32> m_seen;
    quint32 m_epoch = 1;
    std::vector<bool> m_present;
};

struct NumberedEntry
{
    DictionaryEntry entry;
    qsizetype lineNumber;
    QString line;
};

} // namespace

DictionaryRunaway::DictionaryRunaway(qsizetype lineNumber, const QString &line)
    : Error(QStringLiteral("Строка %1 словаря поправок («%2») заставляет замену идти без конца. Исправьте "
                           "или удалите эту строку.")
                .arg(lineNumber)
                .arg(line.size() > 80 ? line.left(80) + QStringLiteral("…") : line)),
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
    finder.scan(text);
    QString result = text;
    const qsizetype maxLength = lengthLimit(text.size());
    QList<std::pair<qsizetype, qsizetype>> changed;
    for (size_t i = 0; i < entries.size(); ++i) {
        if (!finder.isPresent(qsizetype(i)))
            continue;
        const DictionaryEntry &entry = entries[i].entry;
        qsizetype replacements = 0;
        ReplaceAllOptions options;
        options.maxLength = maxLength;
        options.maxReplacements = replacementLimit(result.size());
        options.changed = &changed;
        options.replacements = &replacements;
        try {
            result = ReplaceAll(result, entry.word, entry.replacement, options);
        } catch (const ReplaceAllRunaway &) {
            throw DictionaryRunaway(entries[i].lineNumber, entries[i].line);
        }
        // After the full replacement the word is gone; a replacement that contains it leaves it.
        if (!entry.replacement.contains(entry.word))
            finder.forget(qsizetype(i));
        // A word that occurs now but did not before crosses a changed place: look around each one,
        // joining the places that lie close together.
        qsizetype from = 0;
        qsizetype to = -1;
        for (const auto &[start, end] : std::as_const(changed)) {
            const qsizetype nextFrom = std::max<qsizetype>(0, start - (longest - 1));
            const qsizetype nextTo = std::min(result.size(), end + (longest - 1));
            if (nextFrom > to) {
                if (from < to)
                    finder.scan(QStringView(result).sliced(from, to - from));
                from = nextFrom;
            }
            to = std::max(to, nextTo);
        }
        if (from < to)
            finder.scan(QStringView(result).sliced(from, to - from));
    }
    return result;
}

QString prepareText(const QString &text)
{
    if (!CorrectionDictionary::isInUse())
        return text;
    const QString path = CorrectionDictionary::filePath();
    if (!QFileInfo::exists(path))
        return text;
    CorrectionDictionary dictionary;
    dictionary.load(path);
    return applyCorrections(text, dictionary.lines());
}

} // namespace velmira
