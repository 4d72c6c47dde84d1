// The voices of espeak-ng as the program lists them.
#include "espeakvoices.h"

#include <QLocale>

#include <algorithm>

using namespace Qt::StringLiterals;

namespace velmira {

namespace {

QByteArray primaryLanguage(const EspeakVoice &voice)
{
    return voice.languages.isEmpty() ? QByteArray() : voice.languages.first().toLower();
}

bool isRussian(const QByteArray &language)
{
    return language == "ru" || language.startsWith("ru-");
}

QString displayName(const EspeakVoice &voice)
{
    const QList<QByteArray> subtags = primaryLanguage(voice).split('-');
    QString name;
    const QLocale::Language language = QLocale::codeToLanguage(QString::fromLatin1(subtags.value(0)));
    if (language != QLocale::AnyLanguage && language != QLocale::C) {
        QLocale::Territory territory = QLocale::AnyTerritory;
        const QByteArray region = subtags.value(1);
        if (region.size() == 2 || (region.size() == 3 && std::all_of(region.begin(), region.end(), [](char c) { return c >= '0' && c <= '9'; })))
            territory = QLocale::codeToTerritory(QString::fromLatin1(region));
        const QLocale locale(language, territory);
        if (locale.language() == language)
            name = locale.nativeLanguageName();
    }
    if (name.isEmpty())
        name = QString(voice.name).replace(u'_', u' ').trimmed();
    // Title case, not upper case: scripts such as Georgian have capitals that do not start words.
    if (!name.isEmpty())
        name[0] = name[0].toTitleCase();
    return name;
}

} // namespace

QList<EspeakVoice> orderVoices(QList<EspeakVoice> voices)
{
    std::stable_sort(voices.begin(), voices.end(), [](const EspeakVoice &a, const EspeakVoice &b) {
        const QByteArray la = primaryLanguage(a);
        const QByteArray lb = primaryLanguage(b);
        const bool ra = isRussian(la);
        const bool rb = isRussian(lb);
        if (ra != rb)
            return ra;
        if (la != lb)
            return la < lb;
        return a.identifier.toLower() < b.identifier.toLower();
    });
    for (EspeakVoice &voice : voices)
        voice.displayName = displayName(voice);
    return voices;
}

} // namespace velmira
