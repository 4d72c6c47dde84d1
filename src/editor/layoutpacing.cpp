#include "layoutpacing.h"

#include <QAbstractTextDocumentLayout>
#include <QElapsedTimer>
#include <QTextBlock>
#include <QTextDocument>
#include <QTextLayout>

#include <algorithm>

namespace velmira {

namespace {

// How far past the place it goes on from a step lays out anew, in characters: far enough for Qt to
// reach the end of its step (a thousand characters and a screenful past where it stopped) on lines of
// any height. Blocks past this Qt would only move, not lay out.
constexpr int StepReach = 16 * 1024;

// Tells a document's layout that the text from `position` on was replaced by itself: Qt lays the
// document out again from the screenful before that position to one short step after it (its next
// step starts short again), and the blocks laid out before keep their lines. The layout's own notice
// of a change is protected; it is reached here through a class derived from the layout's base, as Qt's
// own layouts are.
struct LayoutNotice : QAbstractTextDocumentLayout
{
    static void unchangedFrom(QAbstractTextDocumentLayout &layout, const QTextDocument &document,
                              int position)
    {
        const int length = std::min(StepReach, document.characterCount() - 1 - position);
        (layout.*&LayoutNotice::documentChanged)(position, length, length);
    }
};

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
    // Once a turn, so that Qt's own steps stay short; the view is drawn again after it.
    LayoutNotice::unchangedFrom(layout, *m_document, next.position());
    while (clock.elapsed() < StepTime) {
        const int previous = next.blockNumber();
        next = firstNotLaidOut(*m_document);
        // A block that a step did not lay out (a hidden one) is left to Qt, which knows why.
        if (!next.isValid() || next.blockNumber() == previous) {
            m_timer.stop();
            return;
        }
        // Lays the document out through that block, in Qt's short steps, without drawing it again.
        layout.blockBoundingRect(next);
    }
}

} // namespace velmira
