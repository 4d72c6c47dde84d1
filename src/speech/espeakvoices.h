// The voices of espeak-ng as the program lists them: Russian first, each with a readable name.
#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

namespace velmira {

// A voice as espeak-ng describes it.
struct EspeakVoice
{
    // The voice file within espeak-ng's voices folder, e.g. "zle/ru"; selects the voice.
    QByteArray identifier;
    // espeak-ng's own (English) name, e.g. "Russian".
    QString name;
    // The language codes the voice speaks, most fitting first, e.g. "ru", "en-gb".
    QList<QByteArray> languages;
    // The name shown to the user, see orderVoices().
    QString displayName;
};

// Puts voices in the order the program lists them and gives each its display name. Russian voices
// come first (the plain "ru" voice before regional ones), then the others by language code and
// identifier, so that the order stays the same from run to run. The display name is the native
// name of the voice's language, capitalised: "Русский"; a language unknown to the locale data keeps
// espeak-ng's name. The engine list adds the synthesiser's name (see listVoices()).
QList<EspeakVoice> orderVoices(QList<EspeakVoice> voices);

} // namespace velmira
