// The voice, speed and pitch velmira-say speaks with.
#pragma once

#include <QString>
#include <QStringList>

namespace velmira {

class SpeechControl;
struct SayOptions;

// The voice among `names` (as the speech control lists them) that `wanted` names: the name itself,
// the language before the parentheses or the voice's code in them, or else a part of just one name;
// letter case does not count, and Cyrillic names may be given in Latin letters. Returns the position
// in `names` (from 0). Throws UsageError when no voice or more than one fits.
qsizetype findVoice(const QStringList &names, const QString &wanted);

// Selects the voice and sets speed and pitch on `speech` as the program would at start-up (the
// settings file's "Engine", "ReadSpeed" and "ReadPitch", with the program's defaults and limits),
// then applies the options given. Throws UsageError for a voice not found or a speed or pitch
// outside the voice's limits.
void setUpSayVoice(SpeechControl &speech, const SayOptions &options);

} // namespace velmira
