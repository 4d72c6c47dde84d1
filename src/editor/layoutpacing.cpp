#include "layoutpacing.h"

#include <QAbstractTextDocumentLayout>
#include <QElapsedTimer>
#include <QTextBlock>
#include <QTextDocument>
#include <QTextLayout>

#include <algorithm>

namespace velmira {

namespace {

// Qt lays a document out between events in steps of its own, each from where the last one stopped; it
// ends a step only where the text laid out has grown 2,000 pixels below its last stop and a thousand
// characters past where the step began. A change laid out goes from the screenful before the change
// through the change (and on to such a place); blocks after it keep their lines, but a block not laid
// out yet has none, and no height either, so a change that ends before that place lets Qt run on to
// the end of the document without laying out anything more, and then believe it has laid out the
// whole document: from then on only changes lay out (just their own text), and its steps and whatever
// asks for a position (blockBoundingRect) lay out nothing. A key typed near the start while a long
// document is laid out does the same.
//
// So a step tells Qt of a change of this many characters, and while Qt still lays out in steps, of
// this many paragraphs at least: each has a line at least, so the change reaches past where Qt's step
// ends on lines of any height but next to none, and Qt goes on with its steps.
constexpr int StepReach = 16 * 1024;
constexpr int StepReachBlocks = 4096;

// Tells a document's layout that the text from `position` to `end` was replaced by itself: Qt lays the
// document out again from the screenful before that position (see above), and its next step starts
// short again. The blocks laid out before keep their lines. The layout's own notice of a change is
// protected; it is reached here through a class derived from the layout's base, as Qt's own layouts
// are.
struct LayoutNotice : QAbstractTextDocumentLayout
{
    static void unchangedFrom(QAbstractTextDocumentLayout &layout, int position, int end)
    {
        const int length = end - position;
        (layout.*&LayoutNotice::documentChanged)(position, length, length);
    }
};

// Where a notice from `block` ends (see StepReach): far enough for Qt's step to end inside it while Qt
// lays out in steps (`qtSteps`), otherwise just a stretch short to lay out.
int noticeEnd(const QTextDocument &document, const QTextBlock &block, bool qtSteps)
{
    const int documentEnd = document.characterCount() - 1;
    int end = block.position() + StepReach;
    if (qtSteps) {
        const QTextBlock far = document.findBlockByNumber(block.blockNumber() + StepReachBlocks);
        end = std::max(end, far.isValid() ? far.position() : documentEnd);
    }
    return std::min(documentEnd, end);
}

bool hasLines(const QTextBlock &block)
{
    return block.layout() && block.layout()->lineCount() > 0;
}

// The first block not laid out yet. Qt lays a document out from its start on, so the blocks laid out
// are the first ones; an invalid block when all are.
QTextBlock firstNotLaidOut(const QTextDocument &document)
{
    if (hasLines(document.lastBlock()))
        return {};
    int laidOut = -1;
    int notLaidOut = document.blockCount() - 1;
    while (notLaidOut - laidOut > 1) {
        const int middle = laidOut + (notLaidOut - laidOut) / 2;
        if (hasLines(document.findBlockByNumber(middle)))
            laidOut = middle;
        else
            notLaidOut = middle;
    }
    return document.findBlockByNumber(notLaidOut);
}

} // namespace

LayoutPacing::LayoutPacing(QTextDocument &document, QObject *parent) : QObject(parent)
{
    m_timer.setInterval(0);
    connect(&m_timer, &QTimer::timeout, this, &LayoutPacing::step);
    setDocument(document);
}

void LayoutPacing::setDocument(QTextDocument &document)
{
    if (m_document)
        m_document->documentLayout()->disconnect(this);
    m_document = &document;
    // The layout tells the view of every change and of the size it has reached so far.
    QAbstractTextDocumentLayout *layout = document.documentLayout();
    connect(layout, &QAbstractTextDocumentLayout::update, this, &LayoutPacing::follow);
    connect(layout, &QAbstractTextDocumentLayout::documentSizeChanged, this, &LayoutPacing::follow);
    follow();
}

bool LayoutPacing::isLaidOut() const
{
    return !m_document || hasLines(m_document->lastBlock());
}

void LayoutPacing::follow()
{
    if (!m_timer.isActive() && !isLaidOut())
        m_timer.start();
}

void LayoutPacing::step()
{
    // A page of no size is one whose layout is held back (see DeferredLayout): there is nothing to pace.
    if (!m_document || m_document->pageSize().isNull()) {
        m_timer.stop();
        return;
    }
    QTextBlock next = firstNotLaidOut(*m_document);
    if (!next.isValid()) {
        m_timer.stop();
        return;
    }
    // Until Qt has laid out its first step there is no place to go on from; its own timer does it.
    if (next.blockNumber() == 0)
        return;
    QElapsedTimer clock;
    clock.start();
    QAbstractTextDocumentLayout &layout = *m_document->documentLayout();
    // Qt's next step, short since the turn before made it so, unless Qt believes it is done (see
    // StepReach).
    layout.blockBoundingRect(next);
    bool qtSteps = hasLines(next);
    next = firstNotLaidOut(*m_document);
    while (next.isValid()) {
        // A notice, which makes Qt's own steps short again; the view is drawn again after it.
        LayoutNotice::unchangedFrom(layout, next.position(), noticeEnd(*m_document, next, qtSteps));
        // A block that a notice does not lay out (a hidden one) is left to Qt, which knows why.
        if (!hasLines(next))
            break;
        // Then Qt's short steps, without drawing the view again, for as long as Qt goes on with them;
        // once it believes it is done, notices of short stretches instead.
        do {
            if (clock.elapsed() >= StepTime)
                return;
            next = firstNotLaidOut(*m_document);
            if (next.isValid())
                layout.blockBoundingRect(next);
        } while (next.isValid() && hasLines(next));
        qtSteps = false;
    }
    m_timer.stop();
}

} // namespace velmira
