#include "richedit.h"

#include "deferredlayout.h"
#include "longwords.h"
#include "rtf/rtfreader.h"
#include "selectiondocument.h"
#include "textpositions.h"

#include <QKeyEvent>
#include <QScrollBar>
#include <QTextBlock>

#include <algorithm>

using namespace Qt::StringLiterals;

namespace velmira {

namespace {

// Qt lays out a document without a page height as one page of at most 8,388,607 pixels; the lines
// below that are never placed, and laying them out between events goes on for ever (500,000 lines of
// 18 pixels). Pages of this height hold any text; where one page ends and the next begins the text has
// a gap of the document's margins, a few pixels every many thousand lines.
constexpr qreal PageHeight = 1000 * 1000;

} // namespace

RichEdit::RichEdit(QWidget *parent) : QTextEdit(parent), m_layoutPacing(*document())
{
    setObjectName(u"RichEdit1"_s);
    setAccessibleName(u"Текст"_s);
    setAcceptRichText(true);
    setLineWrapMode(QTextEdit::WidgetWidth);
    boundPageHeight();
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setTabChangesFocus(false);
    QPalette pal = palette();
    pal.setColor(QPalette::Base, QColor(128, 255, 128));
    pal.setColor(QPalette::Text, Qt::black);
    setPalette(pal);
    document()->setDefaultFont(defaultFont());
    setFont(defaultFont());
    followDocument();
}

void RichEdit::followDocument()
{
    // Seen before the document lays the change out, so that a very long word is never laid out slowly.
    connect(document(), &QTextDocument::contentsChange, this, [this](int from, int, int added) {
        fitWrapModeToChange(*document(), from, added);
        keepLongParagraphsLaidOut(*document(), from, from + added);
    });
    keepLongParagraphsLaidOut(*document(), 0, document()->characterCount());
    // A document opened in place of the shown one is laid out in short steps, as the first one is.
    m_layoutPacing.setDocument(*document());
}

QFont RichEdit::defaultFont()
{
    QFont font(u"Times New Roman"_s);
    font.setPixelSize(15);
    return font;
}

void RichEdit::addKeyHandler(KeyHandler handler)
{
    m_keyHandlers.push_back(std::move(handler));
}

QString RichEdit::plainTextCrLf() const
{
    return withCrLf(document()->toRawText());
}

QString RichEdit::plainTextCrLfStart(int length) const
{
    // Block by block, each with the character that ends it (a paragraph's end, a table's frame), as
    // toRawText copies the whole document. Not with a cursor's selection: a cursor that moves works
    // out where the caret would be drawn, which lays out a paragraph of millions of characters anew.
    const QTextDocument &text = *document();
    const int wanted = std::clamp(length, 0, text.characterCount() - 1);
    QString raw;
    for (QTextBlock block = text.begin(); block.isValid() && raw.size() < wanted; block = block.next()) {
        for (auto it = block.begin(); !it.atEnd() && raw.size() < wanted; ++it) {
            const QTextFragment fragment = it.fragment();
            const int needed = wanted - int(raw.size());
            if (fragment.length() <= needed) {
                raw += fragment.text();
                continue;
            }
            // Of a run of millions of characters in one format, only what is wanted.
            for (int at = fragment.position(); at < fragment.position() + needed; ++at)
                raw += text.characterAt(at);
        }
        raw += text.characterAt(block.position() + block.length() - 1);
    }
    raw.truncate(wanted);
    return withCrLf(raw);
}

QString RichEdit::selectedTextCrLf() const
{
    return withCrLf(textCursor().selectedText());
}

int RichEdit::selStart() const
{
    return toCrLfPosition(*document(), textCursor().selectionStart());
}

int RichEdit::selLength() const
{
    const QTextCursor cursor = textCursor();
    return toCrLfPosition(*document(), cursor.selectionEnd()) -
           toCrLfPosition(*document(), cursor.selectionStart());
}

void RichEdit::setSelStart(int start)
{
    QTextCursor cursor = textCursor();
    cursor.setPosition(fromCrLfPosition(*document(), std::max(0, start)));
    setTextCursor(cursor);
}

void RichEdit::setSelLength(int length)
{
    QTextCursor cursor = textCursor();
    const int start = cursor.selectionStart();
    const int end = fromCrLfPosition(*document(), toCrLfPosition(*document(), start) + std::max(0, length));
    cursor.setPosition(start);
    cursor.setPosition(end, QTextCursor::KeepAnchor);
    setTextCursor(cursor);
}

void RichEdit::setPlainContent(const QString &text)
{
    clear();
    document()->setDefaultFont(defaultFont());
    QTextCharFormat format;
    format.setFont(defaultFont());
    setCurrentCharFormat(format);
    // QTextEdit fills the document in one edit, outside the undo history and with the view's cursor
    // set aside, which keeps a text of many megabytes quick to show; the text takes the format set
    // just above.
    setPlainText(text);
    moveCursor(QTextCursor::Start);
}

bool RichEdit::setRtfContent(const QByteArray &bytes)
{
    const DeferredLayout layout(*document());
    if (!readRtf(bytes, *document()))
        return false;
    // The reader writes through a cursor of its own, which carries the view's caret along to the end.
    moveCursor(QTextCursor::Start);
    return true;
}

void RichEdit::replaceDocument(std::unique_ptr<QTextDocument> document)
{
    QTextDocument *const old = this->document();
    old->disconnect(this);
    // The first document belongs to QTextEdit's own control, which would delete it at once; a long one
    // takes a while to delete, so every old document goes when the window's events come round.
    old->setParent(this);
    verticalScrollBar()->setValue(0);
    // Marks (the word being read) belong to the old text.
    setExtraSelections({});
    document->setParent(this);
    // QTextEdit gives the document the editor's wrap mode as it takes it, and lays out its first lines
    // then: a very long word must be wrapped anywhere from the start (wrapped at words, a line of
    // 250,000 letters took a minute). The old document, not shown again, is not laid out anew for it.
    old->setPageSize(QSizeF(0, 0));
    setWordWrapMode(wrapModeFor(*document));
    {
        // The layout that QTextEdit makes for the document would lay it out whole at once; the view
        // gives the page its size, and lays it out from there as when it is first shown.
        const DeferredLayout layout(*document);
        setDocument(document.release());
    }
    old->deleteLater();
    hideBeginning();
    followDocument();
    // QTextEdit gives a document a page without a height.
    boundPageHeight();
    // A fresh caret at the start, as after moving there: it types in the format of the text it is at.
    setTextCursor(QTextCursor(this->document()));
}

void RichEdit::showBeginning(std::unique_ptr<QTextDocument> beginning)
{
    hideBeginning();
    auto view = std::make_unique<QTextEdit>(this);
    view->setObjectName(u"RichEditBeginning"_s);
    // Not the editor's name: a screen reader would find two texts of one name while a document is read.
    view->setAccessibleName(accessibleName() + u" (загружается)"_s);
    view->setReadOnly(true);
    view->setFocusPolicy(Qt::NoFocus);
    view->setFrameStyle(frameStyle());
    view->setVerticalScrollBarPolicy(verticalScrollBarPolicy());
    view->setHorizontalScrollBarPolicy(horizontalScrollBarPolicy());
    view->setPalette(palette());
    view->setLineWrapMode(lineWrapMode());
    // A few screenfuls, laid out at once; a long word in them breaks anywhere, as in the editor.
    view->setWordWrapMode(wrapModeFor(*beginning));
    beginning->setParent(view.get());
    view->setDocument(beginning.release());
    view->setGeometry(rect());
    view->show();
    m_beginning = std::move(view);
}

void RichEdit::hideBeginning()
{
    m_beginning.reset();
}

void RichEdit::resizeEvent(QResizeEvent *event)
{
    // QTextEdit gives the page the viewport's width and no height whenever the width changes.
    QTextEdit::resizeEvent(event);
    boundPageHeight();
    if (m_beginning)
        m_beginning->setGeometry(rect());
}

void RichEdit::boundPageHeight()
{
    // A page of no size is one that DeferredLayout holds back; it gives the page back with its height.
    const QSizeF page = document()->pageSize();
    if (page.height() < 0)
        document()->setPageSize(QSizeF(page.width(), PageHeight));
}

QMimeData *RichEdit::createMimeDataFromSelection() const
{
    return new DocumentMimeData(selectionDocument(textCursor()));
}

void RichEdit::keyPressEvent(QKeyEvent *event)
{
    for (const KeyHandler &handler : m_keyHandlers) {
        if (handler(event)) {
            event->accept();
            return;
        }
    }
    QTextEdit::keyPressEvent(event);
}

void RichEdit::mouseReleaseEvent(QMouseEvent *event)
{
    if (event->button() == Qt::RightButton) {
        emit contextMenuWanted(event->globalPosition().toPoint());
        event->accept();
        return;
    }
    QTextEdit::mouseReleaseEvent(event);
}

void RichEdit::contextMenuEvent(QContextMenuEvent *event)
{
    // The program's own context menu opens when the right button is released; the keyboard's menu key
    // opens it at the caret.
    if (event->reason() == QContextMenuEvent::Keyboard)
        emit contextMenuWanted(viewport()->mapToGlobal(cursorRect().bottomLeft()));
    event->accept();
}

QString withCrLf(const QString &rawText)
{
    QString text;
    text.reserve(rawText.size() + rawText.size() / 32);
    // Copied a run between breaks at a time: Read copies the whole text while the window waits.
    const QStringView raw(rawText);
    qsizetype from = 0;
    for (qsizetype i = 0; i < raw.size(); ++i) {
        const char16_t c = raw[i].unicode();
        // 0xFDD0 and 0xFDD1 mark the frames of tables.
        if (c != QChar::ParagraphSeparator && c != QChar::LineSeparator && c != 0xFDD0 && c != 0xFDD1)
            continue;
        text += raw.sliced(from, i - from);
        text += c == QChar::ParagraphSeparator ? QStringView(u"\r\n") : QStringView(u"\n");
        from = i + 1;
    }
    text += raw.sliced(from);
    return text;
}

} // namespace velmira
