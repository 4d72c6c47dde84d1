#include "selectionformat.h"

#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <algorithm>
#include <cmath>
#include <vector>

namespace velmira {

namespace {

std::vector<FormatRun> selectedRuns(const QTextCursor &cursor)
{
    if (!cursor.hasSelection())
        return {};
    return FormatRuns(*cursor.document()).runs(cursor.selectionStart(), cursor.selectionEnd());
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
        const std::vector<FormatRun> runs = selectedRuns(cursor);
        if (!runs.empty())
            return runs.front().format;
    }
    return cursor.charFormat();
}

bool selectionHasStyle(const QTextCursor &cursor, StyleFlag flag)
{
    const QTextDocument &document = *cursor.document();
    if (cursor.hasSelection()) {
        const std::vector<FormatRun> runs = selectedRuns(cursor);
        if (!runs.empty()) {
            return std::all_of(runs.begin(), runs.end(), [&](const FormatRun &run) {
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
    const int anchor = cursor.anchor();
    const int position = cursor.position();
    cursor.beginEditBlock();
    FormatSweep(*cursor.document(), change).change(cursor.selectionStart(), cursor.selectionEnd());
    cursor.endEditBlock();
    cursor.setPosition(anchor);
    cursor.setPosition(position, QTextCursor::KeepAnchor);
}

FormatRuns::FormatRuns(const QTextDocument &document) : m_document(document) {}

void FormatRuns::enter(const QTextBlock &block)
{
    m_block = block;
    m_fragments.clear();
    m_next = 0;
    if (!block.isValid())
        return;
    for (auto it = block.begin(); !it.atEnd(); ++it) {
        const QTextFragment fragment = it.fragment();
        m_fragments.push_back({fragment.position(), fragment.position() + fragment.length(),
                               fragment.charFormatIndex(), fragment.charFormat()});
    }
}

std::vector<FormatRun> FormatRuns::runs(int from, int to)
{
    std::vector<FormatRun> runs;
    if (from >= to)
        return runs;
    if (!m_block.isValid() || from < m_reached || from >= m_block.position() + m_block.length())
        enter(m_document.findBlock(from));
    m_reached = to;
    // A run never reaches over an object: writing a text format over a picture would lose it.
    bool joinable = false;
    while (m_block.isValid()) {
        // Fragments wholly before this stretch are behind every later one too.
        while (m_next < m_fragments.size() && m_fragments[m_next].end <= from)
            ++m_next;
        for (size_t i = m_next; i < m_fragments.size() && m_fragments[i].start < to; ++i) {
            const Fragment &fragment = m_fragments[i];
            const int start = std::max(fragment.start, from);
            const int end = std::min(fragment.end, to);
            if (joinable && runs.back().formatIndex == fragment.formatIndex) {
                runs.back().end = end;
                continue;
            }
            joinable = fragment.format.objectType() == QTextFormat::NoObject;
            if (joinable)
                runs.push_back({start, end, fragment.formatIndex, fragment.format});
        }
        if (m_block.position() + m_block.length() >= to)
            break;
        enter(m_block.next());
    }
    return runs;
}

FormatSweep::FormatSweep(QTextDocument &document, std::function<void(QTextCharFormat &)> change)
    : m_runs(document), m_cursor(&document), m_change(std::move(change))
{}

void FormatSweep::change(int from, int to)
{
    for (const FormatRun &run : m_runs.runs(from, to)) {
        m_cursor.setPosition(run.start);
        m_cursor.setPosition(run.end, QTextCursor::KeepAnchor);
        QTextCharFormat format = run.format;
        m_change(format);
        m_cursor.setCharFormat(format);
    }
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
