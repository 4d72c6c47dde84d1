#include "intuitivehighlighting.h"

#include "deferredlayout.h"
#include "selectionformat.h"
#include "textpositions.h"

#include <QElapsedTimer>
#include <QScopeGuard>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>

namespace velmira {

namespace {

// Bold is removed this many characters at a time, so that the caller gets its turns also in a long
// text.
constexpr int RemovalPiece = 16 * 1024;

// The scan over a text that comes in pieces (the paragraphs of a document). Positions are counted
// twice: in the program's characters, where a line break is CR LF and which decide the length of a
// token, and in the document's, where a paragraph end is one character, which say where to mark.
class TokenScan
{
public:
    // Scans `piece`, whose first character is at `position` and at `documentPosition`, and calls
    // `mark(span, documentFrom, documentTo)` for every token to be marked that a space in it ends.
    // Returns false as soon as `mark` does, with the rest of the piece unscanned.
    template <typename Mark> bool scan(QStringView piece, int position, int documentPosition, Mark &&mark)
    {
        for (qsizetype i = 0; i < piece.size(); ++i) {
            if (piece[i] != u' ')
                continue;
            const int end = position + int(i);
            const int documentEnd = documentPosition + int(i);
            const bool candidate = m_counter == 3;
            const TextSpan token{m_tokenStart, end - m_tokenStart};
            const int documentStart = m_documentTokenStart;
            m_counter = candidate ? 0 : m_counter + 1;
            m_tokenStart = end + 1;
            m_documentTokenStart = documentEnd + 1;
            if (candidate && token.length > 3 && !mark(token, documentStart, documentEnd))
                return false;
        }
        return true;
    }

private:
    // The counter starts at 3, so that the first space already closes a candidate.
    int m_counter = 3;
    int m_tokenStart = 0;
    int m_documentTokenStart = 0;
};

// Calls the turn whenever the interval has passed.
class Turns
{
public:
    Turns(const HighlightTurn &turn, std::chrono::milliseconds interval, int length)
        : m_turn(turn), m_interval(interval.count()), m_length(length)
    {
        m_clock.start();
    }

    // False when the turn asks the run to stop.
    bool take(int position)
    {
        if (!m_turn || m_clock.elapsed() < m_interval)
            return true;
        const bool goOn = m_turn(position, m_length);
        m_clock.restart();
        return goOn;
    }

private:
    const HighlightTurn &m_turn;
    qint64 m_interval;
    int m_length;
    QElapsedTimer m_clock;
};

void setBold(QTextCharFormat &format, bool on)
{
    setStyleFlag(format, StyleFlag::Bold, on);
}

} // namespace

std::vector<TextSpan> intuitiveMarks(QStringView text)
{
    std::vector<TextSpan> marks;
    TokenScan().scan(text, 0, 0, [&marks](const TextSpan &span, int, int) {
        marks.push_back(span);
        return true;
    });
    return marks;
}

HighlightOutcome intuitiveHighlight(QTextDocument &document, bool mark, const HighlightTurn &turn,
                                    std::chrono::milliseconds interval)
{
    Turns turns(turn, interval, crLfLength(document));

    // One edit block: one step of undo, and one layout of the document when it ends, which goes from the
    // start of the document a piece at a time, so that the window is not held while a long text is
    // laid out.
    const DeferredLayout layout(document);
    QTextCursor edit(&document);
    edit.beginEditBlock();
    const auto endEdit = qScopeGuard([&edit] { edit.endEditBlock(); });

    // Every run starts from a text without bold. Once stopped, the removal is finished without turns.
    bool stopped = false;
    const int last = std::max(0, document.characterCount() - 1);
    FormatSweep removal(document, [](QTextCharFormat &format) { setBold(format, false); });
    for (int from = 0; from < last; from += RemovalPiece) {
        removal.change(from, std::min(from + RemovalPiece, last));
        if (!stopped && !turns.take(0))
            stopped = true;
    }
    if (stopped)
        return HighlightOutcome::Cancelled;
    if (!mark)
        return HighlightOutcome::Completed;

    // Paragraph by paragraph; a paragraph end is CR LF, so it counts as two characters of its token.
    TokenScan scan;
    FormatSweep marking(document, [](QTextCharFormat &format) { setBold(format, true); });
    int position = 0;
    for (QTextBlock block = document.begin(); block.isValid(); block = block.next()) {
        const QString text = block.text();
        const bool goOn =
            scan.scan(text, position, block.position(), [&](const TextSpan &span, int from, int to) {
                if (!turns.take(span.start))
                    return false;
                marking.change(from, to);
                return true;
            });
        if (!goOn || !turns.take(position))
            return HighlightOutcome::Cancelled;
        position += int(text.size()) + 2;
    }
    return HighlightOutcome::Completed;
}

} // namespace velmira
