#include "stringops.h"

#include <algorithm>

namespace velmira {

QString ReplaceAll(const QString &text, const QString &what, const QString &with)
{
    if (what.isEmpty())
        return text;
    if (with.contains(what)) {
        QString once = text;
        return once.replace(what, with);
    }
    // After a replacement at position i no occurrence can start before i - |what| + 1, because the
    // text before i did not hold one; so the search resumes there instead of at the start.
    QString result = text;
    qsizetype from = 0;
    for (;;) {
        const qsizetype at = result.indexOf(what, from);
        if (at < 0)
            break;
        result.replace(at, what.size(), with);
        from = std::max<qsizetype>(0, at - what.size() + 1);
    }
    return result;
}

QString ReverseText(const QString &text)
{
    QString reversed = text;
    std::reverse(reversed.begin(), reversed.end());
    return reversed;
}

} // namespace velmira
