#include "deferredlayout.h"

namespace velmira {

namespace {

// A document whose page has no size is never laid out; giving it its size back lays it out anew.
const QSizeF NoPage(0, 0);

} // namespace

DeferredLayout::DeferredLayout(QTextDocument &document) : m_document(&document), m_pageSize(document.pageSize())
{
    document.setPageSize(NoPage);
}

DeferredLayout::~DeferredLayout()
{
    // The view may have given the page a new size meanwhile (a resize); that one stands.
    if (m_document && m_document->pageSize() == NoPage)
        m_document->setPageSize(m_pageSize);
}

} // namespace velmira
