// Keeping the window answering while a long document is laid out.
#pragma once

#include <QObject>
#include <QPointer>
#include <QTimer>

class QTextDocument;

namespace velmira {

// Qt lays out the part of a document below what is seen between the window's events, in steps that
// double in length up to 200,000 characters: a step of that many short lines or empty paragraphs
// takes a second and more, and keys wait for it (Read would start a second late). While a document
// is laid out, this lays it out instead in short steps of its own, each turn of the event loop taking
// at most StepTime, so that keys and repaints come between them. Nothing in the document changes:
// no contents change is signalled, nothing is marked modified, and nothing goes into the undo history.
class LayoutPacing : public QObject
{
public:
    // How long one turn of the event loop spends laying out, at most (plus one step of Qt's own,
    // about a thousand characters or a screenful of lines, and a paragraph always whole).
    static constexpr int StepTime = 12;

    // Paces the layout of `document` from now on, whenever it is laid out anew.
    explicit LayoutPacing(QTextDocument &document, QObject *parent = nullptr);

    // Paces `document` instead of the one before (a view shows another document).
    void setDocument(QTextDocument &document);

    // True when the document is laid out to its end.
    bool isLaidOut() const;

private:
    void follow();
    void step();

    QPointer<QTextDocument> m_document;
    QTimer m_timer;
};

} // namespace velmira
