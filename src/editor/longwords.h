// Keeping the layout of paragraphs with very long words linear in their length.
#pragma once

#include <QTextOption>

class QTextDocument;

namespace velmira {

// Qt wraps a paragraph at its word boundaries and breaks a word only where it cannot fit on a line; to
// find that out it measures the word to its end again for every line the word fills, so a word of n
// characters takes time in n² to lay out (a 400,000-character line, a long link or a base64 block with
// no space in it, holds the window for many seconds). Lines are then better broken anywhere, which lays
// them out in time linear in their length; the text itself is never changed.

// Longer words than this are laid out slowly enough to break lines anywhere in the document holding one.
inline constexpr int LongestWrappedWord = 10000;

// True when the document has a word (a run of characters without white space) longer than
// LongestWrappedWord that touches the positions from `from` to `to`.
bool hasLongWordAround(const QTextDocument &document, int from, int to);

// The wrap mode fit for the document's whole text: broken anywhere when it holds a word longer than
// LongestWrappedWord, at word boundaries otherwise.
QTextOption::WrapMode wrapModeFor(const QTextDocument &document);

// Keeps the document's wrap mode fit for what it holds after its text from `from` on was replaced by
// `added` characters (QTextDocument::contentsChange): a document that gains a word longer than
// LongestWrappedWord has its lines broken anywhere, and one whose whole text was replaced is wrapped at
// word boundaries again unless the new text holds such a word. Editing the long word away later keeps
// lines broken anywhere until the next whole text.
void fitWrapModeToChange(QTextDocument &document, int from, int added);

// Qt throws a paragraph's shaping and character attributes away each time it has drawn it, and works
// them out again for the whole paragraph whenever the caret is drawn or moved in it: on a paragraph of a
// million characters each blink of the caret and each word marked while it is read takes tens of
// milliseconds. Paragraphs longer than this keep them.
inline constexpr int LongestUncachedParagraph = 20000;

// Has the paragraphs touching the positions from `from` to `to` that are longer than
// LongestUncachedParagraph keep their layout between drawings.
void keepLongParagraphsLaidOut(QTextDocument &document, int from, int to);

} // namespace velmira
