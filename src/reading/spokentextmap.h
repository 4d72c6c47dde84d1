// Finds the editor's words in the text the speech control was given: that text went through the
// correction dictionary (and, for repeated reading, was repeated), and has CR LF line breaks where the
// editor counts one character.
#pragma once

#include <QString>
#include <optional>
#include <utility>
#include <vector>

namespace velmira {

class SpokenTextMap
{
public:
    // `original` is the editor's text as it was read (CR LF line breaks); `spoken` what was given to
    // Speak for it. With `repetitions` above 1 the spoken text holds that many readings of the
    // original, each followed by ". ", as repeated reading speaks it.
    SpokenTextMap(QString original, QString spoken, int repetitions = 1);

    // The editor's characters, as [start, end) counted from the start of the original text, from
    // which the spoken characters [position, position + length) came. A word that a correction
    // produced gives the whole word it replaced. Nothing for characters that are not the editor's
    // (the ". " between repetitions) or lie outside the spoken text.
    //
    // Words are best asked for in the order they are spoken: then the whole reading costs one pass
    // over both texts.
    std::optional<std::pair<int, int>> editorRange(int position, int length);

private:
    // A place where the spoken text differs from the original: original [from, to) became spoken
    // [spokenFrom, spokenTo).
    struct Change
    {
        qsizetype from, to, spokenFrom, spokenTo;
    };

    QChar originalAt(qsizetype i) const;
    // The change that starts where the walk stands, where the texts differ.
    Change findChange() const;
    // The original position of spoken position `target`; `isEnd` says whether it ends a range.
    // Sets `changed` when the position fell inside a change.
    qsizetype locate(qsizetype target, bool isEnd, bool &changed);
    // The editor's position of an original (repeated) position, or nothing between repetitions.
    std::optional<qsizetype> toEditor(qsizetype position, bool isEnd) const;

    // Const, so that reading them never copies the long texts shared with the caller.
    const QString m_original;
    const QString m_spoken;
    qsizetype m_period;
    qsizetype m_originalSize;
    // Every CR that is followed by LF in the original: the editor counts the pair as one.
    std::vector<qsizetype> m_crlf;
    // Where the walk over both texts stands: original and spoken positions that correspond.
    qsizetype m_at = 0;
    qsizetype m_spokenAt = 0;
    // The change that starts where the walk stands, once found.
    std::optional<Change> m_change;
};

} // namespace velmira
