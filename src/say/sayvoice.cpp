// The voice, speed and pitch velmira-say speaks with.
#include "sayvoice.h"

#include "common/core/settings.h"
#include "sayoptions.h"
#include "speech/speechcontrol.h"
#include "speech/synthesisworker.h"

#include <algorithm>
#include <array>

using namespace Qt::StringLiterals;

namespace velmira {

namespace {

// Russian letters in the Latin letters people type them with when they have no Cyrillic keyboard.
QString latinized(const QString &text)
{
    // From а (U+0430) to я (U+044F); ё comes after them.
    static constexpr std::array<const char16_t *, 32> letters = {
        u"a", u"b", u"v",  u"g",  u"d",  u"e",  u"zh", u"z", u"i",    u"y", u"k", u"l", u"m", u"n",  u"o",  u"p",
        u"r", u"s", u"t",  u"u",  u"f",  u"kh", u"ts", u"ch", u"sh", u"shch", u"", u"y", u"", u"e", u"yu", u"ya"};
    const QString lower = text.toLower();
    // Most names are in Latin letters already: the voices' codes and the names typed for them.
    if (std::none_of(lower.cbegin(), lower.cend(), [](QChar c) { return c.unicode() >= 0x430 && c.unicode() <= 0x451; }))
        return lower;
    QString latin;
    latin.reserve(lower.size() * 2);
    for (const QChar c : lower) {
        const char16_t u = c.unicode();
        if (u == u'ё')
            latin += u'e';
        else if (u >= u'а' && u <= u'я')
            latin += QStringView(letters[u - u'а']);
        else
            latin += c;
    }
    return latin;
}

// The ways a voice may be named in full: its whole name, the language before the parentheses, its
// identity, the code after the synthesiser's name and the code's last part ("Русский (espeak-ng)",
// "espeak-ng:zle/ru": "русский", "zle/ru", "ru").
QStringList fullNames(const SayVoiceName &voice)
{
    QStringList names = {voice.name};
    const qsizetype open = voice.name.lastIndexOf(u" ("_s);
    if (open > 0 && voice.name.endsWith(u')'))
        names << voice.name.left(open);
    if (!voice.identity.isEmpty()) {
        const QString code = voice.identity.section(u':', 1);
        names << voice.identity << code << code.section(u'/', -1);
    }
    for (QString &n : names)
        n = n.toCaseFolded();
    return names;
}

} // namespace

qsizetype findVoice(const QList<SayVoiceName> &voices, const QString &wanted)
{
    const QString folded = wanted.trimmed().toCaseFolded();
    if (folded.isEmpty())
        throw UsageError(u"Голос не назван."_s);
    const QString latinWanted = latinized(folded);
    QList<qsizetype> exact;
    QList<qsizetype> partial;
    for (qsizetype i = 0; i < voices.size(); ++i) {
        const QStringList full = fullNames(voices[i]);
        const QString identity = voices[i].identity.toCaseFolded();
        if (std::any_of(full.begin(), full.end(), [&](const QString &n) { return n == folded || latinized(n) == latinWanted; }))
            exact.append(i);
        else if (full.first().contains(folded) || latinized(full.first()).contains(latinWanted)
                 || identity.contains(folded))
            partial.append(i);
    }
    if (exact.size() == 1)
        return exact.first();
    const QList<qsizetype> &fits = exact.isEmpty() ? partial : exact;
    if (fits.isEmpty())
        throw UsageError(u"Нет голоса «%1». Голоса перечисляет velmira-say --list-voices."_s.arg(wanted));
    if (fits.size() > 1) {
        QStringList which;
        for (qsizetype i : fits)
            which << voices[i].name;
        throw UsageError(u"Голосу «%1» подходят несколько голосов: %2. Уточните имя."_s.arg(wanted, which.join(u"; ")));
    }
    return fits.first();
}

bool namesEspeakVoice(const QString &wanted)
{
    const QString folded = wanted.trimmed().toCaseFolded();
    return folded.contains(u"espeak-ng"_s) || folded.contains(u'/');
}

void startOnlyTheSynthesisersNeeded(const SayOptions &options)
{
    SynthesisWorker::setRhvoiceWanted(options.voice.isEmpty() || !namesEspeakVoice(options.voice));
}

void setUpSayVoice(SpeechControl &speech, const SayOptions &options)
{
    const int count = speech.CountEngines();
    int engine = 1;
    if (!options.voice.isEmpty()) {
        QList<SayVoiceName> voices;
        for (int i = 1; i <= count; ++i)
            voices.append({speech.ModeName(i), speech.VoiceIdentity(i)});
        engine = int(findVoice(voices, options.voice)) + 1;
    } else {
        // A stored position that is not in the list leaves the first voice, which the program lists first.
        const int stored = readSetting(settings::Engine);
        if (stored >= 0 && stored < count)
            engine = stored + 1;
    }
    speech.Select(engine);

    // The defaults and the rule for stored values are those of the program's settings panel: a quarter
    // into the speed range, a third into the pitch range; a stored value counts only within the limits.
    const int minSpeed = speech.MinSpeed();
    const int maxSpeed = speech.MaxSpeed();
    const int minPitch = speech.MinPitch();
    const int maxPitch = speech.MaxPitch();
    int speed = int(minSpeed + (double(maxSpeed) - minSpeed) / 4);
    int pitch = int(minPitch + (double(maxPitch) - minPitch) / 3);
    const int storedSpeed = readSetting(settings::ReadSpeed).value_or(speed);
    const int storedPitch = readSetting(settings::ReadPitch).value_or(pitch);
    if (storedSpeed >= minSpeed && storedSpeed <= maxSpeed)
        speed = storedSpeed;
    if (storedPitch >= minPitch && storedPitch <= maxPitch)
        pitch = storedPitch;

    if (options.speed) {
        if (*options.speed < minSpeed || *options.speed > maxSpeed)
            throw UsageError(u"Скорость %1 вне пределов голоса: от %2 до %3."_s.arg(*options.speed).arg(minSpeed).arg(maxSpeed));
        speed = *options.speed;
    }
    if (options.pitch) {
        if (*options.pitch < minPitch || *options.pitch > maxPitch)
            throw UsageError(u"Тембр %1 вне пределов голоса: от %2 до %3."_s.arg(*options.pitch).arg(minPitch).arg(maxPitch));
        pitch = *options.pitch;
    }
    speech.setSpeed(speed);
    speech.setPitch(pitch);
}

} // namespace velmira
