// A silent sound output that takes samples at the pace a sound card would play them.
#pragma once

#include "audiooutput.h"

#include <QElapsedTimer>

namespace velmira {

// Plays into silence at real time (or `pace` times faster), so that speech takes as long as it
// would when heard: the output used when VELMIRA_AUDIO=null, and the base of the tests' output.
class PacedAudioOutput : public AudioOutput
{
public:
    explicit PacedAudioOutput(double pace = 1.0, int bufferMs = 250);

    void open(int sampleRate) override;
    bool isOpen() const override { return m_sampleRate > 0; }
    qint64 room() override;
    qint64 write(const qint16 *samples, qint64 count) override;
    qint64 played() override;
    void suspend() override;
    void resume() override;
    void reset() override;

private:
    void advance();

    double m_pace;
    int m_bufferMs;
    int m_sampleRate = 0;
    qint64 m_written = 0;
    double m_played = 0;
    bool m_suspended = false;
    QElapsedTimer m_clock;
};

} // namespace velmira
