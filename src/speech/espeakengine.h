// espeak-ng as one of the synthesisers of the synthesis thread.
#pragma once

#include "espeakvoices.h"
#include "synthesisengine.h"

namespace velmira {

// espeak-ng, started once for the life of the process. Its speed and pitch are the program's own
// scale, taken as they are.
class EspeakEngine : public SynthesisEngine
{
public:
    // Throws SpeechError when espeak-ng cannot start or has no voice.
    EspeakEngine();

    // espeak-ng's own sample rate, which the program's speech has.
    int sampleRate() const;
    QList<Voice> voices() const override;
    QString synthesise(const PieceVoice &voice, QStringView piece, bool sentenceEnd, int sampleRate,
                       PieceSink &sink) override;

private:
    // The engine's settings as last set.
    QByteArray m_voice;
    int m_rate = -1;
    int m_pitch = -1;
};

} // namespace velmira
