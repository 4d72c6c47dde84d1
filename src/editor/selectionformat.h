// Reading and writing the character attributes of the editor's selection.
#pragma once

#include <QColor>
#include <QFont>
#include <QTextCharFormat>
#include <functional>

class QTextCursor;
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

// Format changes for changeSelectionFormat.
void setStyleFlag(QTextCharFormat &format, StyleFlag flag, bool on);
// Sets the size in points (1 at least), replacing a size given in pixels.
void setPointSize(QTextCharFormat &format, int points);
// Sets name, style, size and colour from a font and colour chosen in the font box.
void setFontAndColor(QTextCharFormat &format, const QFont &font, const QColor &color);

} // namespace velmira
