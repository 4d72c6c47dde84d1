// The program's engine list: the voices of all synthesisers in one order, each with its name.
#include "voicelist.h"

#include <QSet>

#include <algorithm>

using namespace Qt::StringLiterals;

namespace velmira {

namespace {

int engineRank(const Voice &voice)
{
    return voice.engine == u"RHVoice" ? 0 : 1;
}

} // namespace

QList<Voice> listVoices(QList<Voice> voices)
{
    std::stable_sort(voices.begin(), voices.end(), [](const Voice &a, const Voice &b) {
        if (a.isRussian() != b.isRussian())
            return a.isRussian();
        const QByteArray la = a.isRussian() ? QByteArray() : a.language;
        const QByteArray lb = b.isRussian() ? QByteArray() : b.language;
        if (la != lb)
            return la < lb;
        return engineRank(a) < engineRank(b);
    });
    QSet<QString> named;
    for (Voice &voice : voices) {
        const bool first = !named.contains(voice.engine + u'\n' + voice.displayName);
        named.insert(voice.engine + u'\n' + voice.displayName);
        voice.displayName = first ? u"%1 (%2)"_s.arg(voice.displayName, voice.engine)
                                  : u"%1 (%2, %3)"_s.arg(voice.displayName, voice.engine, QString::fromUtf8(voice.identifier));
    }
    return voices;
}

} // namespace velmira
