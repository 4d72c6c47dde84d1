// Text operations shared by text preparation and the reminder file.
#pragma once

#include "error.h"

#include <QList>
#include <QString>
#include <utility>

namespace velmira {

// A ReplaceAll that would go on without end: the text outgrew its limit, or the replacements did not
// stop within theirs.
class ReplaceAllRunaway : public Error
{
public:
    using Error::Error;
};

// Limits and reporting for ReplaceAll. A limit below 0 is no limit.
struct ReplaceAllOptions
{
    // The result may not be longer than this many characters.
    qsizetype maxLength = -1;
    // No more than this many replacements may be made.
    qsizetype maxReplacements = -1;
    // When set, receives the changed places of the result, in order and disjoint, as [start, end)
    // ranges: every character that came from a replacement lies in one of them, and so does every
    // place where characters were removed (as an empty range there). Whatever lies outside them stood
    // in the original text in the same order, so an occurrence of some other text that crosses no
    // such range was there before.
    QList<std::pair<qsizetype, qsizetype>> *changed = nullptr;
    // When set, receives the number of replacements made.
    qsizetype *replacements = nullptr;
    // When set, a string whose memory the result may take (its text is lost). A caller that replaces
    // many times in a long text passes the text it no longer needs, and so saves allocating anew.
    // Never the text itself.
    QString *spare = nullptr;
};

// Replaces every occurrence of `what` by `with` the way the program has always defined it: find the
// leftmost occurrence, replace it, search again from the start of the text, until none is left. So an
// occurrence that a replacement forms with its neighbours is replaced too ("ab" -> "b" turns "aab" into
// "b"). An empty `what` changes nothing. Case-sensitive.
//
// When `with` contains `what` that definition never ends; such a call replaces only the occurrences
// present before it (one pass from left to right).
//
// The work is linear in the length of the text plus, for each replacement, the lengths of `what` and
// `with`; a replacement never costs time in proportion to the text. Most calls therefore take time
// linear in the text. Some keys, though, need more replacements than the text has characters ("ab" ->
// "ba" on "aaabbb" moves every a past every b), and some make the text grow without end ("ab" -> "bba"
// doubles it for every leading a): the options put limits on both.
//
// Throws ReplaceAllRunaway when a limit of `options` is passed; without limits it never throws.
QString ReplaceAll(const QString &text, const QString &what, const QString &with,
                   const ReplaceAllOptions &options);
QString ReplaceAll(const QString &text, const QString &what, const QString &with);

// Makes `text` share the memory of `other` when both hold the same characters, so that a text kept
// many times over (queued by every Read of the same long text) is kept once. Returns whether they are
// equal.
bool shareIfEqual(QString &text, const QString &other);

// The characters of a text in reverse order.
QString ReverseText(const QString &text);

} // namespace velmira
