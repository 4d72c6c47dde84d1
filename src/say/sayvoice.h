// The voice, speed and pitch velmira-say speaks with.
#pragma once

#include <QString>
#include <QStringList>

namespace velmira {

class SpeechControl;
struct SayOptions;

// A voice as the speech control lists it: its name ("Русский (espeak-ng)") and its identity
// ("espeak-ng:zle/ru").
struct SayVoiceName
{
    QString name;
    QString identity;
};

// The voice among `voices` that `wanted` names: the name itself, the language before the parentheses,
// the identity, the voice's code after the synthesiser's name or the code's last part, or else a part
// of just one name or identity; letter case does not count, and Cyrillic names may be given in Latin
// letters. Returns the position in `voices` (from 0). Throws UsageError when no voice or more than one
// fits.
qsizetype findVoice(const QList<SayVoiceName> &voices, const QString &wanted);

// Whether `wanted` can name a voice of espeak-ng only, whatever other synthesisers are installed: it
// says "espeak-ng" or is a code with a family ("zle/ru"), which no other synthesiser's voice is named
// by. Such a voice is found among espeak-ng's voices alone as among all of them.
bool namesEspeakVoice(const QString &wanted);

// Before the speech control is made: spares the process RHVoice's start-up when `options` name a
// voice of espeak-ng (see namesEspeakVoice()).
void startOnlyTheSynthesisersNeeded(const SayOptions &options);

// Selects the voice and sets speed and pitch on `speech` as the program would at start-up (the
// settings file's "Engine", "ReadSpeed" and "ReadPitch", with the program's defaults and limits),
// then applies the options given. Throws UsageError for a voice not found or a speed or pitch
// outside the voice's limits.
void setUpSayVoice(SpeechControl &speech, const SayOptions &options);

} // namespace velmira
