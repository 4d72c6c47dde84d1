// Text operations shared by text preparation and the reminder file.
#pragma once

#include <QString>

namespace velmira {

// Replaces every occurrence of `what` by `with` the way the program has always defined it: find the
// leftmost occurrence, replace it, search again from the start of the text, until none is left. So an
// occurrence that a replacement forms with its neighbours is replaced too ("ab" -> "b" turns "aab" into
// "b"). An empty `what` changes nothing. Case-sensitive.
//
// When `with` contains `what` that definition never ends; such a call replaces only the occurrences
// present before it (one pass from left to right).
QString ReplaceAll(const QString &text, const QString &what, const QString &with);

// The characters of a text in reverse order.
QString ReverseText(const QString &text);

} // namespace velmira
