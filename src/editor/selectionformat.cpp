#include "selectionformat.h"

#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <algorithm>
#include <cmath>
#include <vector>

namespace velmira {

namespace {

// A stretch of the selection whose characters share one format. Paragraph ends between two stretches
// of the same format belong to the stretch.
struct Run
{
    int start;
    int end;
    int formatIndex;
    QTextCharFormat format;
};

// The selection's stretches of text, in order; pictures and other embedded objects are left out,
// since they have no font.
std::vector<Run> selectedRuns(const QTextCursor &cursor)
{
    std::vector<Run> runs;
    const int start = cursor.selectionStart();
    const int end = cursor.selectionEnd();
    if (start == end)
        return runs;
    const QTextDocument &document = *cursor.document();
    // A run never reaches over an object: writing a text format over a picture would lose it.
    bool joinable = false;
    for (QTextBlock block = document.findBlock(start); block.isValid() && block.position() < end;
         block = block.next()) {
        for (auto it = block.begin(); !it.atEnd(); ++it) {
            const QTextFragment fragment = it.fragment();
            const int from = std::max(fragment.position(), start);
            const int to = std::min(fragment.position() + fragment.length(), end);
            if (from >= to)
                continue;
            const int index = fragment.charFormatIndex();
            if (joinable && runs.back().formatIndex == index) {
                runs.back().end = to;
                continue;
            }
            QTextCharFormat format = fragment.charFormat();
            joinable = format.objectType() == QTextFormat::NoObject;
            if (joinable)
                runs.push_back({from, to, index, std::move(format)});
        }
    }
    return runs;
}

} // namespace

bool hasFlag(const QFont &font, StyleFlag flag)
{
    switch (flag) {
    case StyleFlag::Bold:
        return font.bold();
    case StyleFlag::Italic:
        return font.italic();
    case StyleFlag::Underline:
        return font.underline();
    case StyleFlag::StrikeOut:
        return font.strikeOut();
    }
    return false;
}

QFont effectiveFont(const QTextCharFormat &format, const QTextDocument &document)
{
    return format.font().resolve(document.defaultFont());
}

qreal pointSizeOf(const QFont &font)
{
    if (font.pointSizeF() > 0)
        return font.pointSizeF();
    return font.pixelSize() * 72.0 / 96.0;
}

QTextCharFormat selectionFormat(const QTextCursor &cursor)
{
    if (cursor.hasSelection()) {
        const std::vector<Run> runs = selectedRuns(cursor);
        if (!runs.empty())
            return runs.front().format;
    }
    return cursor.charFormat();
}

bool selectionHasStyle(const QTextCursor &cursor, StyleFlag flag)
{
    const QTextDocument &document = *cursor.document();
    if (cursor.hasSelection()) {
        const std::vector<Run> runs = selectedRuns(cursor);
        if (!runs.empty()) {
            return std::all_of(runs.begin(), runs.end(), [&](const Run &run) {
                return hasFlag(effectiveFont(run.format, document), flag);
            });
        }
    }
    return hasFlag(effectiveFont(cursor.charFormat(), document), flag);
}

int selectionPointSize(const QTextCursor &cursor)
{
    const QFont font = effectiveFont(selectionFormat(cursor), *cursor.document());
    return std::max(1, qRound(pointSizeOf(font)));
}

QColor selectionColor(const QTextCursor &cursor, const QColor &fallback)
{
    const QBrush brush = selectionFormat(cursor).foreground();
    return brush.style() == Qt::NoBrush ? fallback : brush.color();
}

void changeSelectionFormat(QTextCursor &cursor, const std::function<void(QTextCharFormat &)> &change)
{
    if (!cursor.hasSelection()) {
        QTextCharFormat format = cursor.charFormat();
        format.clearProperty(QTextFormat::ObjectType);
        change(format);
        // An empty paragraph shows the new font at once, so that the caret takes its height.
        if (cursor.block().length() == 1)
            cursor.setBlockCharFormat(format);
        cursor.setCharFormat(format);
        return;
    }
    const std::vector<Run> runs = selectedRuns(cursor);
    const int anchor = cursor.anchor();
    const int position = cursor.position();
    cursor.beginEditBlock();
    for (const Run &run : runs) {
        QTextCursor part(cursor.document());
        part.setPosition(run.start);
        part.setPosition(run.end, QTextCursor::KeepAnchor);
        QTextCharFormat format = run.format;
        change(format);
        part.setCharFormat(format);
    }
    cursor.endEditBlock();
    cursor.setPosition(anchor);
    cursor.setPosition(position, QTextCursor::KeepAnchor);
}

void setStyleFlag(QTextCharFormat &format, StyleFlag flag, bool on)
{
    switch (flag) {
    case StyleFlag::Bold:
        format.setFontWeight(on ? QFont::Bold : QFont::Normal);
        break;
    case StyleFlag::Italic:
        format.setFontItalic(on);
        break;
    case StyleFlag::Underline:
        format.clearProperty(QTextFormat::FontUnderline);
        format.setFontUnderline(on);
        break;
    case StyleFlag::StrikeOut:
        format.setFontStrikeOut(on);
        break;
    }
}

void setPointSize(QTextCharFormat &format, int points)
{
    // A size in pixels would compete with the size in points; only one may remain.
    format.clearProperty(QTextFormat::FontPixelSize);
    format.setFontPointSize(std::max(1, points));
}

void setFontAndColor(QTextCharFormat &format, const QFont &font, const QColor &color)
{
    format.clearProperty(QTextFormat::FontFamily);
    format.setFontFamilies(QStringList{font.family()});
    for (StyleFlag flag : {StyleFlag::Bold, StyleFlag::Italic, StyleFlag::Underline, StyleFlag::StrikeOut})
        setStyleFlag(format, flag, hasFlag(font, flag));
    setPointSize(format, qRound(pointSizeOf(font)));
    if (color.isValid())
        format.setForeground(color);
}

} // namespace velmira
