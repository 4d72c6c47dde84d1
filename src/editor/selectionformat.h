// Reading and writing the character attributes of the editor's selection.
#pragma once

#include <QColor>
#include <QFont>
#include <QTextBlock>
#include <QTextCharFormat>
#include <QTextCursor>
#include <functional>
#include <vector>

class QTextDocument;

namespace velmira {

// The four style flags of a character.
enum class StyleFlag { Bold, Italic, Underline, StrikeOut };

// Whether `font` has the style flag.
bool hasFlag(const QFont &font, StyleFlag flag);

// The font a character of `format` is shown in: its own attributes over the document's default font.
QFont effectiveFont(const QTextCharFormat &format, const QTextDocument &document);

// A font's size in points; a size given in pixels is converted at 96 dots per inch, as RTF files
// count it.
qreal pointSizeOf(const QFont &font);

// The attributes read for the selection: those of its first character. With nothing selected, those
// at the caret, which is what is typed next there.
QTextCharFormat selectionFormat(const QTextCursor &cursor);

// Whether the selection has the style flag: a selection has it only when every one of its characters
// has it, so a partly bold selection reads as not bold. With nothing selected, the flag at the caret.
bool selectionHasStyle(const QTextCursor &cursor, StyleFlag flag);

// The size read for the selection, in whole points (that of its first character; see selectionFormat).
int selectionPointSize(const QTextCursor &cursor);

// The colour the selection's first character is drawn in; `fallback` when it has no colour of its own.
QColor selectionColor(const QTextCursor &cursor, const QColor &fallback);

// Changes the attributes of every character of the selection with `change`, which is given each
// distinct format found there and alters it in place; attributes that `change` leaves alone stay as
// each character had them. The change is one step of the undo history. With nothing selected, the
// attributes at the caret are changed, so that they apply to what is typed next there.
void changeSelectionFormat(QTextCursor &cursor, const std::function<void(QTextCharFormat &)> &change);

// A stretch of a document whose characters share one format. Paragraph ends between two stretches of
// the same format belong to the stretch.
struct FormatRun
{
    int start;
    int end;
    int formatIndex;
    QTextCharFormat format;
};

// The runs of stretches of one document, asked for in order, found in one walk over its paragraphs:
// a paragraph of many formats is walked once for all the stretches in it, not again for each. Only
// formats may change between two questions (text keeps its positions), and only before the end of the
// stretch last asked for.
class FormatRuns
{
public:
    explicit FormatRuns(const QTextDocument &document);

    // The runs of [from, to), in order; pictures and other embedded objects are left out, since they
    // have no font. `from` is not before the end of the previous stretch, or the walk starts afresh.
    std::vector<FormatRun> runs(int from, int to);

private:
    struct Fragment
    {
        int start;
        int end;
        int formatIndex;
        QTextCharFormat format;
    };

    void enter(const QTextBlock &block);

    const QTextDocument &m_document;
    QTextBlock m_block;
    // The fragments of m_block as they were when it was entered; m_next is the first that may still
    // reach into a stretch asked for.
    std::vector<Fragment> m_fragments;
    size_t m_next = 0;
    // The end of the stretch last asked for.
    int m_reached = 0;
};

// Changes the attributes of stretches of one document, given in order, as changeSelectionFormat does
// for a selection, in one walk (see FormatRuns). Not an undo step of its own: the caller opens an edit
// block around its changes.
class FormatSweep
{
public:
    FormatSweep(QTextDocument &document, std::function<void(QTextCharFormat &)> change);

    // Changes every character of [from, to); `from` is not before the end of the previous stretch.
    void change(int from, int to);

private:
    FormatRuns m_runs;
    QTextCursor m_cursor;
    std::function<void(QTextCharFormat &)> m_change;
};

// Format changes for changeSelectionFormat.
void setStyleFlag(QTextCharFormat &format, StyleFlag flag, bool on);
// Sets the size in points (1 at least), replacing a size given in pixels.
void setPointSize(QTextCharFormat &format, int points);
// Sets name, style, size and colour from a font and colour chosen in the font box.
void setFontAndColor(QTextCharFormat &format, const QFont &font, const QColor &color);

} // namespace velmira
