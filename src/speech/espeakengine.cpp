// espeak-ng as one of the synthesisers of the synthesis thread.
#include "espeakengine.h"

#include "speechcontrol.h"
#include "textpieces.h"

#include <espeak-ng/espeak_ng.h>
#include <espeak-ng/speak_lib.h>

#include <cstring>
#include <mutex>
#include <vector>

using namespace Qt::StringLiterals;

namespace velmira {

namespace {

// Milliseconds of sound that espeak-ng hands over at a time.
constexpr int CallbackMs = 100;

struct Started
{
    int sampleRate = 0;
    QList<EspeakVoice> voices;
};

// espeak-ng is started once for the life of the process (it cannot be started twice); its voice
// list is read then too, as reading it again would disturb a synthesis under way.
const Started &startEspeak()
{
    static std::mutex mutex;
    static Started engine;
    const std::lock_guard lock(mutex);
    if (engine.sampleRate > 0)
        return engine;

    espeak_ng_InitializePath(nullptr);
    espeak_ng_ERROR_CONTEXT context = nullptr;
    espeak_ng_STATUS status = espeak_ng_Initialize(&context);
    if (status == ENS_OK)
        status = espeak_ng_InitializeOutput(ENOUTPUT_MODE_SYNCHRONOUS, CallbackMs, nullptr);
    if (status != ENS_OK) {
        char reason[512] = {};
        espeak_ng_GetStatusCodeMessage(status, reason, sizeof reason);
        espeak_ng_ClearErrorContext(&context);
        throw SpeechError(u"Не удалось запустить синтезатор речи espeak-ng: %1."_s.arg(QString::fromLocal8Bit(reason)));
    }

    QList<EspeakVoice> voices;
    for (const espeak_VOICE **v = espeak_ListVoices(nullptr); v && *v; ++v) {
        EspeakVoice voice;
        voice.identifier = QByteArray((*v)->identifier);
        voice.name = QString::fromUtf8((*v)->name);
        // A list of (priority byte, language code, zero byte), ended by an empty code.
        for (const char *l = (*v)->languages; l && l[0] != 0 && l[1] != 0; l += std::strlen(l + 1) + 2)
            voice.languages.append(QByteArray(l + 1));
        // Voices that need the separate MBROLA synthesiser cannot speak without it.
        if (!voice.identifier.startsWith("mb/"))
            voices.append(voice);
    }
    if (voices.isEmpty())
        throw SpeechError(u"Синтезатор речи espeak-ng не нашёл ни одного голоса."_s);

    engine.voices = orderVoices(voices);
    engine.sampleRate = espeak_ng_GetSampleRate();
    return engine;
}

// The piece being spoken, known to espeak-ng's callback, which comes on the thread that called it.
struct EspeakPiece
{
    const EnginePiece *piece = nullptr;
    PieceSink *sink = nullptr;
    int sampleRate = 0;
    bool stopped = false;
    std::vector<EngineWord> words;
};

thread_local EspeakPiece *currentPiece = nullptr;

int synthCallback(short *wav, int count, espeak_EVENT *events)
{
    EspeakPiece *p = currentPiece;
    if (!p || p->stopped)
        return 1;
    p->words.clear();
    for (const espeak_EVENT *e = events; e && e->type != espeakEVENT_LIST_TERMINATED; ++e) {
        // Now and then the engine reports a word of no length at position 0 between clauses.
        if (e->type != espeakEVENT_WORD || e->text_position < 1 || e->length <= 0)
            continue;
        // The engine counts characters from 1.
        p->words.push_back({p->piece->utf16Offset(e->text_position - 1), qint64(e->audio_position) * p->sampleRate / 1000});
    }
    if (!p->sink->deliver(wav, wav ? count : 0, p->words))
        p->stopped = true;
    return p->stopped ? 1 : 0;
}

} // namespace

EspeakEngine::EspeakEngine()
{
    startEspeak();
}

int EspeakEngine::sampleRate() const
{
    return startEspeak().sampleRate;
}

QList<Voice> EspeakEngine::voices() const
{
    QList<Voice> voices;
    for (const EspeakVoice &v : startEspeak().voices)
        voices.append({u"espeak-ng"_s, v.identifier, v.languages.value(0).toLower(), v.displayName});
    return voices;
}

QString EspeakEngine::synthesise(const PieceVoice &voice, QStringView piece, bool sentenceEnd, int sampleRate,
                                 PieceSink &sink)
{
    Q_ASSERT(sampleRate == this->sampleRate());
    if (voice.identifier != m_voice) {
        if (espeak_SetVoiceByName(voice.identifier.constData()) != EE_OK)
            return u"Не удалось загрузить голос «%1» синтезатора речи espeak-ng."_s.arg(QString::fromUtf8(voice.identifier));
        m_voice = voice.identifier;
        // A new voice brings its own speed and pitch.
        m_rate = -1;
        m_pitch = -1;
    }
    if (voice.rate != m_rate) {
        espeak_SetParameter(espeakRATE, voice.rate, 0);
        m_rate = voice.rate;
    }
    if (voice.pitch != m_pitch) {
        espeak_SetParameter(espeakPITCH, voice.pitch, 0);
        m_pitch = voice.pitch;
    }

    const EnginePiece text(piece);
    EspeakPiece current;
    current.piece = &text;
    current.sink = &sink;
    current.sampleRate = sampleRate;
    espeak_SetSynthCallback(synthCallback);
    currentPiece = &current;
    const unsigned flags = espeakCHARS_WCHAR | (sentenceEnd ? espeakENDPAUSE : 0);
    const espeak_ERROR result = espeak_Synth(text.data(), text.byteSize(), 0, POS_CHARACTER, 0, flags, nullptr, nullptr);
    currentPiece = nullptr;
    if (result != EE_OK && !current.stopped)
        return u"Синтезатор речи espeak-ng не смог произнести текст."_s;
    return {};
}

} // namespace velmira
