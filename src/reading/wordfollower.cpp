#include "wordfollower.h"

#include "speech/speechcontrol.h"

#include <QScrollBar>
#include <QTextEdit>

#include <algorithm>

namespace velmira {

namespace {

// After the user scrolls, the editor leaves the view where the user put it for this long.
constexpr qint64 UserScrollPauseMs = 4000;

} // namespace

WordFollower::WordFollower(QTextEdit &editor, QObject *parent) : QObject(parent), m_editor(editor)
{
    auto userScrolled = [this] {
        if (!m_scrolling)
            m_userScrolled.start();
    };
    connect(m_editor.verticalScrollBar(), &QScrollBar::valueChanged, this, userScrolled);
    connect(m_editor.horizontalScrollBar(), &QScrollBar::valueChanged, this, userScrolled);
}

QColor WordFollower::markColor()
{
    // Amber: stands out from the editor's light green and from the blue of a selection alike.
    return {255, 200, 40};
}

void WordFollower::setOn(bool on)
{
    m_on = on;
    if (!on)
        showMark(0, 0);
}

void WordFollower::follow(SpeechControl &speech, const QString &original, const QString &spoken,
                          bool fromSelection, int repetitions)
{
    listenTo(speech);
    QTextCursor start(m_editor.document());
    start.setPosition(fromSelection ? m_editor.textCursor().selectionStart() : 0);
    m_readings.push_back(
        {speech.lastSerial(), std::make_unique<SpokenTextMap>(original, spoken, repetitions), start, 0});
}

void WordFollower::followPiece(SpeechControl &speech, quint64 textId, bool fromSelection,
                               const QString &original, const QString &spoken, qsizetype offset)
{
    listenTo(speech);
    // The rest of a text begins where its start was read from, even when the start has been heard
    // to its end meanwhile and the user has moved the selection.
    if (m_pieceStart.first != textId) {
        QTextCursor start(m_editor.document());
        start.setPosition(fromSelection ? m_editor.textCursor().selectionStart() : 0);
        m_pieceStart = {textId, start};
    }
    m_readings.push_back({speech.lastSerial(), std::make_unique<SpokenTextMap>(original, spoken),
                          m_pieceStart.second, offset});
}

void WordFollower::listenTo(SpeechControl &speech)
{
    if (m_speech == &speech)
        return;
    if (m_speech)
        disconnect(m_speech, nullptr, this, nullptr);
    m_speech = &speech;
    connect(&speech, &SpeechControl::wordReached, this, &WordFollower::wordReached);
    // Everything queued has been spoken, speech broke off, or someone cut it off (Stop, a reminder,
    // the clipboard): no word of the editor is heard any more.
    connect(&speech, &SpeechControl::finished, this, &WordFollower::stop);
    connect(&speech, &SpeechControl::failed, this, &WordFollower::stop);
    connect(&speech, &SpeechControl::discarded, this, &WordFollower::stop);
}

void WordFollower::stop()
{
    m_readings.clear();
    showMark(0, 0);
}

std::optional<std::pair<int, int>> WordFollower::marked() const
{
    return m_marked;
}

void WordFollower::wordReached(quint64 serial, int position, int length)
{
    // Texts spoken before this one are done with.
    while (!m_readings.empty() && m_readings.front().serial < serial)
        m_readings.pop_front();
    if (m_readings.empty() || m_readings.front().serial != serial) {
        // Something else is being spoken (a reminder, the clipboard): not the editor's words.
        showMark(0, 0);
        return;
    }
    if (!m_on)
        return;
    Reading &reading = m_readings.front();
    if (const auto range = reading.map->editorRange(int(position + reading.offset), length)) {
        const int base = reading.start.position();
        showMark(base + range->first, base + range->second);
    }
}

void WordFollower::showMark(int from, int to)
{
    const int size = m_editor.document()->characterCount() - 1;
    from = std::clamp(from, 0, size);
    to = std::clamp(to, from, size);
    const std::optional<std::pair<int, int>> wanted =
        to > from ? std::optional(std::pair{from, to}) : std::nullopt;
    if (wanted == m_marked)
        return;
    m_marked = wanted;
    QList<QTextEdit::ExtraSelection> selections;
    if (m_marked) {
        QTextEdit::ExtraSelection mark;
        mark.cursor = QTextCursor(m_editor.document());
        mark.cursor.setPosition(from);
        mark.cursor.setPosition(to, QTextCursor::KeepAnchor);
        mark.format.setBackground(markColor());
        selections.append(mark);
        keepInView(mark.cursor);
    }
    m_editor.setExtraSelections(selections);
}

void WordFollower::keepInView(const QTextCursor &mark)
{
    if (m_userScrolled.isValid() && m_userScrolled.elapsed() < UserScrollPauseMs)
        return;
    QTextCursor at = mark;
    at.setPosition(mark.selectionStart());
    const QRect word = m_editor.cursorRect(at);
    const QRect view = m_editor.viewport()->rect();
    if (view.contains(word))
        return;
    m_scrolling = true;
    QScrollBar *bar = m_editor.verticalScrollBar();
    // The word comes to the upper third, so that the lines that follow are in view too.
    if (word.top() < view.top() || word.bottom() > view.bottom())
        bar->setValue(bar->value() + word.top() - view.height() / 3);
    QScrollBar *across = m_editor.horizontalScrollBar();
    if (word.left() < view.left() || word.right() > view.right())
        across->setValue(across->value() + word.left() - view.width() / 3);
    m_scrolling = false;
}

} // namespace velmira
