// The voice, speed and pitch velmira-say speaks with.
#include "sayvoice.h"

#include "common/core/settings.h"
#include "sayoptions.h"
#include "speech/speechcontrol.h"

#include <QHash>

using namespace Qt::StringLiterals;

namespace velmira {

namespace {

// Russian letters in the Latin letters people type them with when they have no Cyrillic keyboard.
QString latinized(const QString &text)
{
    static const QHash<QChar, QString> letters = {
        {u'а', u"a"_s},  {u'б', u"b"_s},  {u'в', u"v"_s},    {u'г', u"g"_s},  {u'д', u"d"_s},  {u'е', u"e"_s},
        {u'ё', u"e"_s},  {u'ж', u"zh"_s}, {u'з', u"z"_s},    {u'и', u"i"_s},  {u'й', u"y"_s},  {u'к', u"k"_s},
        {u'л', u"l"_s},  {u'м', u"m"_s},  {u'н', u"n"_s},    {u'о', u"o"_s},  {u'п', u"p"_s},  {u'р', u"r"_s},
        {u'с', u"s"_s},  {u'т', u"t"_s},  {u'у', u"u"_s},    {u'ф', u"f"_s},  {u'х', u"kh"_s}, {u'ц', u"ts"_s},
        {u'ч', u"ch"_s}, {u'ш', u"sh"_s}, {u'щ', u"shch"_s}, {u'ъ', QString()}, {u'ы', u"y"_s}, {u'ь', QString()},
        {u'э', u"e"_s},  {u'ю', u"yu"_s}, {u'я', u"ya"_s},
    };
    QString latin;
    for (const QChar c : text.toLower()) {
        const auto found = letters.constFind(c);
        latin += found == letters.cend() ? QString(c) : *found;
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

bool sameName(const QString &a, const QString &b)
{
    return a == b || latinized(a) == latinized(b);
}

} // namespace

qsizetype findVoice(const QList<SayVoiceName> &voices, const QString &wanted)
{
    const QString folded = wanted.trimmed().toCaseFolded();
    if (folded.isEmpty())
        throw UsageError(u"Голос не назван."_s);
    QList<qsizetype> exact;
    QList<qsizetype> partial;
    for (qsizetype i = 0; i < voices.size(); ++i) {
        const QStringList full = fullNames(voices[i]);
        const QString identity = voices[i].identity.toCaseFolded();
        if (std::any_of(full.begin(), full.end(), [&](const QString &n) { return sameName(n, folded); }))
            exact.append(i);
        else if (full.first().contains(folded) || latinized(full.first()).contains(latinized(folded))
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
