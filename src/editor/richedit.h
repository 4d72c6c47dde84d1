// The main window's rich-text editor.
#pragma once

#include "layoutpacing.h"

#include <QTextEdit>
#include <functional>
#include <memory>
#include <vector>

namespace velmira {

// A QTextEdit that lets the program look at every key before the editor does (keyboard shortcuts, then
// typing tracking) and that asks for its context menu when the right mouse button is released. Its
// lines break anywhere while the text holds a very long word (see longwords.h), and its document is
// laid out in pages of a bounded height, so that a text of any length is laid out to its end, in short
// steps between the window's events (see layoutpacing.h).
class RichEdit : public QTextEdit
{
    Q_OBJECT

public:
    // A key handler returns true when it has consumed the key; the editor then never sees it.
    using KeyHandler = std::function<bool(QKeyEvent *)>;

    explicit RichEdit(QWidget *parent = nullptr);

    // Adds a handler; handlers run in the order they were added, until one consumes the key.
    void addKeyHandler(KeyHandler handler);

    // The editor's own font: Times New Roman of 15 pixels.
    static QFont defaultFont();

    // The editor's whole text as plain text, with CR LF between paragraphs (see withCrLf).
    QString plainTextCrLf() const;
    // How plainTextCrLf begins: its first `length` characters (a paragraph end counts as one); cheap
    // however long the whole text is.
    QString plainTextCrLfStart(int length) const;
    // The selected text as plain text, with CR LF between paragraphs.
    QString selectedTextCrLf() const;

    // Selection start and length counted as the program's files count them (a line break is two
    // characters), and setting them the same way.
    int selStart() const;
    int selLength() const;
    void setSelStart(int start);
    void setSelLength(int length);

    // Replaces the whole content with plain text in the editor's own font; the undo history starts
    // afresh.
    void setPlainContent(const QString &text);
    // Replaces the whole content with the RTF document `bytes` and returns true; returns false, with
    // the content left alone, when they are not RTF. The document is shown from its start, the caret
    // there, and is laid out as far as it is seen, the rest a piece at a time between events, so that
    // a long document neither holds the window nor opens scrolled to its end.
    bool setRtfContent(const QByteArray &bytes);
    // Shows `document` in place of the editor's own, which is deleted once the window's events have
    // come round: the view from its start, the caret there, laid out as far as it is seen and the rest a
    // piece at a time between events. A document built aside (on another thread, then moved to the
    // window's) takes no time of the window's to fill.
    void replaceDocument(std::unique_ptr<QTextDocument> document);
    // Shows `beginning`, the first part of a long document still being read, over the editor (a view of
    // its own, not to be typed into) until the whole document replaces the editor's (replaceDocument)
    // or is refused (hideBeginning). The editor's own document stays as it is meanwhile: nothing of the
    // user's changes, should the document be refused.
    void showBeginning(std::unique_ptr<QTextDocument> beginning);
    void hideBeginning();

signals:
    // The right mouse button was released over the editor at `globalPos`.
    void contextMenuWanted(const QPoint &globalPos);

protected:
    // A copy (and a drag) carries the selection as plain text, HTML and RTF (see DocumentMimeData).
    QMimeData *createMimeDataFromSelection() const override;
    void keyPressEvent(QKeyEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void contextMenuEvent(QContextMenuEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;

private:
    void boundPageHeight();
    void followDocument();

    std::vector<KeyHandler> m_keyHandlers;
    LayoutPacing m_layoutPacing;
    std::unique_ptr<QTextEdit> m_beginning;
};

// The document's raw text (QTextDocument::toRawText, QTextCursor::selectedText) as the program's plain
// text: a paragraph break becomes CR LF, a line break inside a paragraph LF; every other character,
// non-breaking spaces and tabs included, stays as it is. So positions in the result are the positions
// of textpositions.h.
QString withCrLf(const QString &rawText);

} // namespace velmira
