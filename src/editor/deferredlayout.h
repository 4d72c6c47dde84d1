// Putting off the layout of a document while a long change goes in.
#pragma once

#include <QPointer>
#include <QSizeF>
#include <QTextDocument>

namespace velmira {

// While it lives, the document is not laid out, however much of it changes. When it ends, the document
// is laid out afresh as when it is first shown: from its start, as far as the view needs at once, the
// rest a piece at a time between the window's events. A change of the whole text otherwise lays out the
// whole document before the window is drawn again, which takes seconds for a long text.
//
// Whatever asks for a position on screen (the caret shown, a scroll) lays out up to that position, so
// put the caret where the view should be before this ends.
class DeferredLayout
{
public:
    explicit DeferredLayout(QTextDocument &document);
    ~DeferredLayout();

    DeferredLayout(const DeferredLayout &) = delete;
    DeferredLayout &operator=(const DeferredLayout &) = delete;

private:
    QPointer<QTextDocument> m_document;
    QSizeF m_pageSize;
};

} // namespace velmira
