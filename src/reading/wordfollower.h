// Word following: while the editor's text is read aloud, the word being heard is marked in the editor.
#pragma once

#include "reading/spokentextmap.h"

#include <QColor>
#include <QElapsedTimer>
#include <QObject>
#include <QPointer>
#include <QTextCursor>
#include <deque>
#include <memory>
#include <optional>
#include <utility>

class QTextEdit;

namespace velmira {

class SpeechControl;

// Marks the word being heard with a coloured background drawn over the editor's text: the document,
// its undo steps, its modified flag and the user's selection are never touched. The editor scrolls
// to keep the mark in view, unless the user scrolled away in the last few seconds.
class WordFollower : public QObject
{
    Q_OBJECT

public:
    explicit WordFollower(QTextEdit &editor, QObject *parent = nullptr);

    // Whether words are marked; switching it off removes the mark. On at first.
    bool isOn() const { return m_on; }
    void setOn(bool on);

    // The editor's text `original` (CR LF line breaks, as the reading commands take it) has just been
    // queued on `speech` as `spoken`; it is the selection when `fromSelection` is set, otherwise the
    // whole text. With `repetitions`, repeated reading spoke it that many times.
    void follow(SpeechControl &speech, const QString &original, const QString &spoken, bool fromSelection,
                int repetitions = 1);
    // A piece of the editor's text read through the reading queue: `spoken` from `offset` on has just
    // been queued on `speech`, prepared from `original`. The pieces of one text share `textId` and the
    // place in the editor where the first of them began.
    void followPiece(SpeechControl &speech, quint64 textId, bool fromSelection, const QString &original,
                     const QString &spoken, qsizetype offset);
    // The editor's text is no longer spoken: the mark goes and everything followed is forgotten.
    void stop();

    // The editor's characters marked now, [start, end).
    std::optional<std::pair<int, int>> marked() const;

    // The colour of the mark.
    static QColor markColor();

private:
    struct Reading
    {
        quint64 serial;
        std::unique_ptr<SpokenTextMap> map;
        // Where the text read began; it moves with what the user types before it.
        QTextCursor start;
        // Where the piece given to Speak begins in `map`'s spoken text.
        qsizetype offset = 0;
    };

    void listenTo(SpeechControl &speech);

    void wordReached(quint64 serial, int position, int length);
    void showMark(int from, int to);
    void keepInView(const QTextCursor &mark);

    QTextEdit &m_editor;
    bool m_on = true;
    QPointer<SpeechControl> m_speech;
    std::deque<Reading> m_readings;
    // The reading queue's number of the text last read through it, and where that text began.
    std::pair<quint64, QTextCursor> m_pieceStart;
    std::optional<std::pair<int, int>> m_marked;
    // Since the user last scrolled the editor.
    QElapsedTimer m_userScrolled;
    bool m_scrolling = false;
};

} // namespace velmira
