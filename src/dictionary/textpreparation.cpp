#include "textpreparation.h"

#include "common/core/stringops.h"
#include "common/core/textcodec.h"
#include "common/core/textfile.h"
#include "dictionary/correctiondictionary.h"

#include <QFile>
#include <QHash>
#include <QThreadPool>
#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <exception>
#include <mutex>
#include <optional>
#include <queue>
#include <span>
#include <thread>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include <malloc.h>
#include <sys/stat.h>

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

// A text no longer than this many characters times the entries of the dictionary (plus a little for
// every entry) is prepared line by line while the finder is being built: for a typed word and a
// dictionary of millions of words that takes a few hundredths of a second.
constexpr qsizetype LineByLineWork = qsizetype(1) << 27;

// A dictionary file of more characters than this has its finder built on a thread of its own.
constexpr qsizetype LargeDictionary = qsizetype(1) << 18;

// The finder was given up before it was built: its dictionary is no longer wanted.
struct FinderGivenUp
{
};

// Throws FinderGivenUp when `givenUp` is set; looks only every so many calls, as it is called in the
// finder's innermost loops.
class GiveUpCheck
{
public:
    explicit GiveUpCheck(const std::atomic<bool> *givenUp) : m_givenUp(givenUp) {}
    void operator()()
    {
        if (m_givenUp && (++m_calls & 0xffff) == 0 && m_givenUp->load(std::memory_order_relaxed))
            throw FinderGivenUp();
    }

private:
    const std::atomic<bool> *m_givenUp;
    quint32 m_calls = 0;
};

// A dictionary's entries: each a line of its text, "word=replacement".
struct Entry
{
    qsizetype start = 0;
    qint32 wordLength = 0;
    qint32 lineLength = 0;
    qint32 lineNumber = 0;
    // The finder's state for the word.
    qint32 node = 0;
};

// Finds which of many words occur in a text in one pass (an Aho-Corasick automaton), so that preparing
// a text costs one reading of it plus the work of the lines whose words are really there, however
// long the dictionary. Its states are numbered breadth first, so that the children of each lie side by
// side, ordered by character: a state takes a few plain numbers, which keeps a dictionary of millions
// of words in memory once and small. It never changes once built; what a scan notes lives in a
// WordScan.
class WordFinder
{
public:
    WordFinder() = default;

    // Builds the states of the words of `entries` (views into `text`) and tells each entry its state.
    // Throws FinderGivenUp as soon as `givenUp` (when given) is set.
    WordFinder(QStringView text, std::vector<Entry> &entries, const std::atomic<bool> *givenUp)
    {
        GiveUpCheck checkGivenUp(givenUp);
        const auto entryWord = [&](size_t i) {
            return std::u16string_view(text.utf16() + entries[i].start, size_t(entries[i].wordLength));
        };
        // Each word once, with the lines that have it in file order (a dictionary may repeat a word
        // many times): those of word w are m_entriesOfWords[m_wordFrom[w] .. m_wordFrom[w + 1]).
        std::vector<size_t> firstEntry;
        {
            QHash<QStringView, qint32> ids;
            ids.reserve(qsizetype(entries.size()));
            std::vector<qint32> wordOfEntry(entries.size());
            for (size_t i = 0; i < entries.size(); ++i) {
                checkGivenUp();
                const QStringView key = text.sliced(entries[i].start, entries[i].wordLength);
                auto it = ids.constFind(key);
                if (it == ids.constEnd()) {
                    it = ids.insert(key, qint32(firstEntry.size()));
                    firstEntry.push_back(i);
                }
                wordOfEntry[i] = *it;
            }
            m_wordFrom.assign(firstEntry.size() + 1, 0);
            for (const qint32 w : wordOfEntry)
                ++m_wordFrom[size_t(w) + 1];
            for (size_t w = 1; w < m_wordFrom.size(); ++w)
                m_wordFrom[w] += m_wordFrom[w - 1];
            m_entriesOfWords.resize(entries.size());
            std::vector<qint32> filled(m_wordFrom.begin(), m_wordFrom.end() - 1);
            for (size_t i = 0; i < entries.size(); ++i)
                m_entriesOfWords[size_t(filled[size_t(wordOfEntry[i])]++)] = qint32(i);
        }
        const auto word = [&](qint32 w) { return entryWord(firstEntry[size_t(w)]); };
        std::vector<qint32> order(firstEntry.size());
        for (size_t i = 0; i < order.size(); ++i)
            order[i] = qint32(i);
        // The words sorted: the words below a state form one run.
        std::sort(order.begin(), order.end(), [&](qint32 a, qint32 b) {
            checkGivenUp();
            return word(a) < word(b);
        });

        // As many states as the words have characters, less those each shares with the word before
        // it: room for exactly so many is taken at once, as growing would take up to twice as much.
        size_t states = 1;
        for (size_t k = 0; k < order.size(); ++k) {
            checkGivenUp();
            const std::u16string_view w = word(order[k]);
            size_t common = 0;
            if (k > 0) {
                const std::u16string_view before = word(order[k - 1]);
                while (common < before.size() && common < w.size() && before[common] == w[common])
                    ++common;
            }
            states += w.size() - common;
        }
        m_label.reserve(states);
        m_firstChild.reserve(states + 1);
        m_fail.reserve(states);
        m_longest.reserve(states);
        m_wordOf.reserve(states);

        m_rootRow.assign(0x10000, 0);
        m_label.push_back(0);
        m_fail.push_back(0);
        m_longest.push_back(0);
        m_wordOf.push_back(-1);
        // The run of `order` below each state, while it is being built.
        std::vector<qint32> runFrom{0};
        std::vector<qint32> runTo{qint32(order.size())};
        runFrom.reserve(states);
        runTo.reserve(states);
        qint32 depth = 0;
        size_t levelEnd = 1;
        for (size_t state = 0; state < m_label.size(); ++state) {
            checkGivenUp();
            if (state == levelEnd) {
                ++depth;
                levelEnd = m_label.size();
            }
            m_firstChild.push_back(qint32(m_label.size()));
            qint32 k = runFrom[state];
            const qint32 end = runTo[state];
            // The word that ends here comes first in the run.
            if (k < end && qsizetype(word(order[size_t(k)]).size()) == depth) {
                const qint32 w = order[size_t(k)];
                m_wordOf[state] = w;
                for (const qint32 entry : linesOf(qint32(state)))
                    entries[size_t(entry)].node = qint32(state);
                ++k;
            }
            while (k < end) {
                const char16_t c = word(order[size_t(k)])[size_t(depth)];
                qint32 next = k + 1;
                while (next < end && word(order[size_t(next)])[size_t(depth)] == c)
                    ++next;
                const auto child = qint32(m_label.size());
                const qint32 fail = state == 0 ? 0 : step(m_fail[state], c);
                m_label.push_back(c);
                m_fail.push_back(fail);
                m_longest.push_back(qsizetype(word(order[size_t(k)]).size()) == depth + 1 ? depth + 1
                                                                                         : m_longest[size_t(fail)]);
                m_wordOf.push_back(-1);
                runFrom.push_back(k);
                runTo.push_back(next);
                if (state == 0)
                    m_rootRow[c] = child;
                k = next;
            }
        }
        m_firstChild.push_back(qint32(m_label.size()));
    }

    // The entries whose word ends at this state, in file order.
    std::span<const qint32> linesOf(qint32 state) const
    {
        const qint32 word = m_wordOf[size_t(state)];
        if (word < 0)
            return {};
        return std::span(m_entriesOfWords).subspan(size_t(m_wordFrom[size_t(word)]),
                                                   size_t(m_wordFrom[size_t(word) + 1] - m_wordFrom[size_t(word)]));
    }
    bool isWord(qint32 state) const { return m_wordOf[size_t(state)] >= 0; }
    qint32 fail(qint32 state) const { return m_fail[size_t(state)]; }

    qint32 step(qint32 state, char16_t c) const
    {
        for (;;) {
            if (state == 0)
                return m_rootRow[c];
            const auto first = m_label.begin() + m_firstChild[size_t(state)];
            const auto last = m_label.begin() + m_firstChild[size_t(state) + 1];
            const auto found = std::lower_bound(first, last, c);
            if (found != last && *found == c)
                return qint32(found - m_label.begin());
            state = m_fail[size_t(state)];
        }
    }

    // Calls occurrence(start, end) for the longest word that ends at each place of `text`.
    template <typename Occurrence>
    void scanOccurrences(QStringView text, Occurrence &&occurrence) const
    {
        if (m_label.empty())
            return;
        qint32 state = 0;
        for (qsizetype i = 0; i < text.size(); ++i) {
            state = step(state, text[i].unicode());
            if (const qsizetype length = m_longest[size_t(state)])
                occurrence(i + 1 - length, i + 1);
        }
    }

private:
    // Per state: the character that leads to it, where its children begin (they end where those of
    // the next state begin), its failure link, the longest word that ends there, and its word.
    std::vector<char16_t> m_label;
    std::vector<qint32> m_firstChild;
    std::vector<qint32> m_fail;
    std::vector<qint32> m_longest;
    std::vector<qint32> m_wordOf;
    // The root's children by character, since nearly every step passes there.
    std::vector<qint32> m_rootRow;
    // The entries of each word, in file order.
    std::vector<qint32> m_entriesOfWords;
    std::vector<qint32> m_wordFrom;
};

// What one preparation notes while it scans: the words that occur in the text, and the states whose
// words have been noted since the last change.
class WordScan
{
public:
    explicit WordScan(const WordFinder &finder) : m_finder(finder) {}

    // Forgets what was found: a new text follows.
    void beginText()
    {
        m_present.clear();
        ++m_epoch;
    }

    // Notes every word that occurs wholly within `text`; calls found(state) for each that was not
    // noted before.
    template <typename Found>
    void scan(QStringView text, Found &&found)
    {
        qint32 state = 0;
        for (const QChar c : text) {
            state = m_finder.step(state, c.unicode());
            if (state != 0 && !isSeen(state))
                noteWords(state, found);
        }
    }

    bool isPresent(qint32 state) const { return m_present.contains(state); }

    // The word no longer occurs in the text.
    void forget(qint32 state)
    {
        m_present.erase(state);
        // What was noted along the way may have included it.
        ++m_epoch;
    }

private:
    bool isSeen(qint32 state) const
    {
        const auto it = m_seen.find(state);
        return it != m_seen.end() && it->second == m_epoch;
    }

    // Every word that ends at this state is a suffix on its chain of failure links.
    template <typename Found>
    void noteWords(qint32 state, Found &found)
    {
        while (state != 0 && !isSeen(state)) {
            m_seen[state] = m_epoch;
            if (m_finder.isWord(state) && m_present.insert(state).second)
                found(state);
            state = m_finder.fail(state);
        }
    }

    const WordFinder &m_finder;
    // m_seen[s] == m_epoch: the words ending at s have been noted since the last forget().
    std::unordered_map<qint32, quint32> m_seen;
    quint32 m_epoch = 1;
    std::unordered_set<qint32> m_present;
};

} // namespace

struct Corrections::Data
{
    // The dictionary's lines, and the entries among them.
    QString text;
    std::vector<Entry> entries;
    qsizetype longest = 0;
    WordFinder finder;

    // The thread that builds the finder, if any. `ready` is set, under `mutex`, once the finder is
    // built or building it failed with `failure`; until then only the entries' own places may be read.
    std::thread builder;
    std::atomic<bool> givenUp{false};
    std::atomic<bool> ready{false};
    std::mutex mutex;
    std::condition_variable built;
    std::exception_ptr failure;

    QStringView word(qsizetype i) const
    {
        const Entry &e = entries[size_t(i)];
        return QStringView(text).sliced(e.start, e.wordLength);
    }
    QStringView replacement(qsizetype i) const
    {
        const Entry &e = entries[size_t(i)];
        return QStringView(text).sliced(e.start + e.wordLength + 1, e.lineLength - e.wordLength - 1);
    }
    QString line(qsizetype i) const
    {
        const Entry &e = entries[size_t(i)];
        return text.sliced(e.start, e.lineLength);
    }
};

namespace {

using Data = Corrections::Data;

// How one dictionary line replaces in a text of `textSize` characters, counting into `replacements` and
// building its result in the memory of `spare`.
ReplaceAllOptions lineOptions(qsizetype textSize, qsizetype maxLength, qsizetype &replacements, QString &spare)
{
    ReplaceAllOptions options;
    options.maxLength = maxLength;
    options.maxReplacements = replacementLimit(textSize);
    options.replacements = &replacements;
    options.spare = &spare;
    return options;
}

// Applies the entries to `text` one after the other, each to the text as the lines before it left it:
// what applyInOrder gives, without the finder, for a text short enough to try every word on it.
QString applyLineByLine(QString text, const Data &dictionary, qsizetype maxLength)
{
    // The characters the text holds: most words fail on their first or last character alone.
    std::vector<bool> holds;
    const auto noteCharacters = [&] {
        holds.assign(0x10000, false);
        for (const QChar c : std::as_const(text))
            holds[c.unicode()] = true;
    };
    noteCharacters();
    QString spare;
    for (qsizetype i = 0; i < qsizetype(dictionary.entries.size()); ++i) {
        const QStringView word = dictionary.word(i);
        if (word.size() > text.size() || !holds[word.front().unicode()] || !holds[word.back().unicode()]
            || !QStringView(text).contains(word))
            continue;
        qsizetype replacements = 0;
        const ReplaceAllOptions options = lineOptions(text.size(), maxLength, replacements, spare);
        try {
            QString next = ReplaceAll(text, word.toString(), dictionary.replacement(i).toString(), options);
            if (replacements > 0) {
                spare = std::move(text);
                text = std::move(next);
                noteCharacters();
            }
        } catch (const ReplaceAllRunaway &) {
            throw DictionaryRunaway(dictionary.entries[size_t(i)].lineNumber, dictionary.line(i));
        }
    }
    return text;
}

// A line went out of bounds while a piece of the text was prepared on its own.
struct LeftPiece
{
};

// Applies the entries to `text` in order. With margins, `text` is a piece of a longer text whose first
// and last `margin` characters must stay untouched (a change there could depend on characters beyond
// the piece): throws LeftPiece when one would be touched.
QString applyInOrder(QString text, const Data &dictionary, WordScan &finder, qsizetype maxLength,
                     qsizetype leftMargin, qsizetype rightMargin)
{
    // The lines still to apply whose words occur, smallest first.
    std::priority_queue<qsizetype, std::vector<qsizetype>, std::greater<>> due;
    qsizetype current = -1;
    auto found = [&](qint32 node) {
        for (const qsizetype line : dictionary.finder.linesOf(node)) {
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
        const qint32 node = dictionary.entries[size_t(i)].node;
        if (!finder.isPresent(node))
            continue;
        const QStringView word = dictionary.word(i);
        const QStringView replacement = dictionary.replacement(i);
        qsizetype replacements = 0;
        ReplaceAllOptions options = lineOptions(text.size(), maxLength, replacements, spare);
        options.changed = &changed;
        try {
            QString next = ReplaceAll(text, word.toString(), replacement.toString(), options);
            if (replacements > 0) {
                spare = std::move(text);
                text = std::move(next);
            }
        } catch (const ReplaceAllRunaway &) {
            throw DictionaryRunaway(dictionary.entries[size_t(i)].lineNumber, dictionary.line(i));
        }
        // After the full replacement the word is gone; a replacement that contains it leaves it.
        if (!replacement.contains(word))
            finder.forget(node);
        if (!changed.isEmpty()
            && (changed.first().first < leftMargin || changed.last().second > text.size() - rightMargin))
            throw LeftPiece();
        // A word that occurs now but did not before crosses a changed place: look around each one,
        // joining the places that lie close together.
        qsizetype from = 0;
        qsizetype to = -1;
        for (const auto &[start, end] : std::as_const(changed)) {
            const qsizetype nextFrom = std::max<qsizetype>(0, start - (dictionary.longest - 1));
            const qsizetype nextTo = std::min(text.size(), end + (dictionary.longest - 1));
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
std::optional<QString> applyByPieces(const QString &text, const Data &dictionary, WordScan &finder,
                                     qsizetype maxLength)
{
    const qsizetype longest = dictionary.longest;
    const auto parts = pieces(text, dictionary.finder, longest);
    QString result;
    result.reserve(text.size() + text.size() / 8);
    qsizetype done = 0;
    try {
        for (const auto &[from, to] : parts) {
            result.append(QStringView(text).sliced(done, from - done));
            const qsizetype leftMargin = from > 0 ? longest - 1 : 0;
            const qsizetype rightMargin = to < text.size() ? longest - 1 : 0;
            result.append(applyInOrder(text.sliced(from, to - from), dictionary, finder, maxLength, leftMargin,
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

Corrections::Corrections(QString text, Finder finder) : d(std::make_unique<Data>())
{
    d->text = std::move(text);
    qint32 lineNumber = 0;
    forEachLine(d->text, [this, &lineNumber](qsizetype start, qsizetype end) {
        ++lineNumber;
        // A line without "=", or beginning with it, has no word and replaces nothing.
        const qsizetype equals = QStringView(d->text).sliced(start, end - start).indexOf(u'=');
        if (equals <= 0)
            return;
        d->entries.push_back({start, qint32(equals), qint32(end - start), lineNumber, 0});
        d->longest = std::max(d->longest, equals);
    });
    d->entries.shrink_to_fit();
    if (finder == Finder::AtOnce) {
        d->finder = WordFinder(d->text, d->entries, nullptr);
        d->ready = true;
        return;
    }
    d->builder = std::thread([data = d.get()] {
        try {
            data->finder = WordFinder(data->text, data->entries, &data->givenUp);
        } catch (const FinderGivenUp &) {
        } catch (...) {
            data->failure = std::current_exception();
        }
        // What building took besides the finder stays with this thread's heap unless given back.
        malloc_trim(0);
        {
            const std::lock_guard lock(data->mutex);
            data->ready = true;
        }
        data->built.notify_all();
    });
}

Corrections::Corrections(const QStringList &lines, Finder finder) : Corrections(lines.join(u'\n'), finder) {}

Corrections::~Corrections()
{
    if (d->builder.joinable()) {
        d->givenUp = true;
        d->builder.join();
    }
}

bool Corrections::isReady() const
{
    return d->ready.load();
}

bool Corrections::appliesAtOnce(qsizetype length) const
{
    return isReady() || qsizetype(d->entries.size()) * (length + 16) <= LineByLineWork;
}

void Corrections::waitUntilReady() const
{
    std::unique_lock lock(d->mutex);
    d->built.wait(lock, [this] { return d->ready.load(); });
    if (d->failure)
        std::rethrow_exception(d->failure);
}

qsizetype Corrections::size() const
{
    return qsizetype(d->entries.size());
}

QString Corrections::apply(const QString &text) const
{
    if (d->entries.empty() || text.isEmpty())
        return text;
    const qsizetype maxLength = lengthLimit(text.size());
    if (!isReady() && appliesAtOnce(text.size()))
        return applyLineByLine(text, *d, maxLength);
    waitUntilReady();
    WordScan scan(d->finder);
    if (std::optional<QString> result = applyByPieces(text, *d, scan, maxLength))
        return *result;
    return applyInOrder(text, *d, scan, maxLength, 0, 0);
}

QString applyCorrections(const QString &text, const QStringList &lines)
{
    return Corrections(lines).apply(text);
}

QString prepareText(const QString &text)
{
    const std::shared_ptr<const Corrections> corrections = correctionsInUse();
    return corrections ? corrections->apply(text) : text;
}

std::shared_ptr<const Corrections> correctionsInUse()
{
    // The dictionary read last, and what told its file apart: a file saved anew (always to a new file
    // that replaces the old) has another identity, and one changed in place another size or time.
    struct Cached
    {
        QString path;
        struct stat status = {};
        std::shared_ptr<const Corrections> corrections;
    };
    static std::mutex mutex;
    static Cached cached;
    const auto sameFile = [](const struct stat &a, const struct stat &b) {
        return a.st_dev == b.st_dev && a.st_ino == b.st_ino && a.st_size == b.st_size &&
               a.st_mtim.tv_sec == b.st_mtim.tv_sec && a.st_mtim.tv_nsec == b.st_mtim.tv_nsec &&
               a.st_ctim.tv_sec == b.st_ctim.tv_sec && a.st_ctim.tv_nsec == b.st_ctim.tv_nsec;
    };

    const std::lock_guard lock(mutex);
    if (!CorrectionDictionary::isInUse()) {
        // Switched off: the memory it took is given back.
        cached = {};
        return {};
    }
    const QString path = CorrectionDictionary::filePath();
    struct stat status = {};
    if (::stat(QFile::encodeName(path).constData(), &status) != 0) {
        cached = {};
        return {};
    }
    if (cached.corrections && cached.path == path && sameFile(cached.status, status))
        return cached.corrections;
    // Whatever is read now is what the file was at that moment or later: if it is being replaced
    // meanwhile, the next text reads it again.
    cached = {};
    // The file as the dictionary reads it: a zero byte ends it.
    QByteArray bytes = readFileBytes(path);
    const qsizetype zero = bytes.indexOf('\0');
    if (zero >= 0)
        bytes.truncate(zero);
    QString text = decodeText(bytes);
    bytes = QByteArray();
    // The finder of the few hundred lines a dictionary usually has is built in a moment.
    const auto finder = text.size() > LargeDictionary ? Corrections::Finder::OnAThread : Corrections::Finder::AtOnce;
    cached = {path, status, std::make_shared<const Corrections>(std::move(text), finder)};
    return cached.corrections;
}

void prepareCorrectionsAhead()
{
    QThreadPool::globalInstance()->start([] {
        try {
            correctionsInUse();
        } catch (const std::exception &) {
            // The text that needs the dictionary reads it again and reports.
        }
    });
}

} // namespace velmira
