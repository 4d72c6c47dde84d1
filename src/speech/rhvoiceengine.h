// RHVoice, the natural Russian voices, as one of the synthesisers of the synthesis thread.
#pragma once

#include "synthesisengine.h"

#include <QHash>

#include <vector>

struct RHVoice_tts_engine_struct;
struct SRC_STATE_tag;

namespace velmira {

// RHVoice through its C library, in this process, looked for when the program starts. Its speech (24 kHz for the Russian voices) is
// brought to the program's sample rate on the way out; the program's speed and pitch are mapped onto
// RHVoice's scales (see rhvoiceRate() and rhvoicePitch()).
class RhvoiceEngine : public SynthesisEngine
{
public:
    // RHVoice's own data and configuration folders, or others (tests). Throws SpeechError when
    // RHVoice cannot start or has no voice.
    explicit RhvoiceEngine(const QString &dataPath = {}, const QString &configPath = {});
    ~RhvoiceEngine() override;

    RhvoiceEngine(const RhvoiceEngine &) = delete;
    RhvoiceEngine &operator=(const RhvoiceEngine &) = delete;

    QList<Voice> voices() const override;
    // A voice whose data is missing or damaged fails with a message naming it; the first piece of
    // each voice is tried out in another process first, as RHVoice would end the program on such data.
    QString synthesise(const PieceVoice &voice, QStringView piece, bool sentenceEnd, int sampleRate,
                       PieceSink &sink) override;
    // Tries the voice out and loads its data, so that the first piece of a reading starts at once.
    void prepare(const QByteArray &identifier, int sampleRate) override;

    // Called back by RHVoice while a piece is spoken.
    struct Piece;

    struct Library;

    // What a copy of the program started by speaksSafely() does before anything else: speaks a word
    // with the voice `request` names and gives the exit status (0: it speaks).
    static int tryVoice(const QByteArray &request);

private:
    // Whether the voice speaks without bringing the process down, tried out in another process.
    bool speaksSafely(const QByteArray &identifier, int sampleRate);
    QString speak(const QByteArray &identifier, int rate, int pitch, QStringView piece, int sampleRate, PieceSink &sink);

    QString m_dataPath;
    QString m_configPath;
    const Library *m_library = nullptr;
    RHVoice_tts_engine_struct *m_engine = nullptr;
    QList<Voice> m_voices;
    SRC_STATE_tag *m_resampler = nullptr;
    // Voices tried out so far: whether each can speak.
    QHash<QByteArray, bool> m_checked;
};

// RHVoice's rate (its absolute rate, -1 to 1: half to twice the voice's own pace) at which voice
// `identifier` speaks about as many words a minute as espeak-ng does at `rate` on the program's
// speed bar. Rates beyond RHVoice's range give its slowest or fastest.
double rhvoiceRate(const QByteArray &identifier, int rate);
// RHVoice's absolute pitch (-1 to 1) for `pitch` on the program's pitch bar (0 to 100, where 50 is
// espeak-ng's own): the voice is raised or lowered from its own pitch as much as espeak-ng's is.
double rhvoicePitch(int pitch);

} // namespace velmira
