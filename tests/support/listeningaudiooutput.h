// A sound output for tests that keeps exactly the sound a listener would have heard.
#pragma once

#include "speech/pacedaudiooutput.h"
#include "speech/speechcontrol.h"

#include <QElapsedTimer>

#include <vector>

namespace velmira {

// Plays silently at `pace` times real time. Samples count as heard when the paced clock has
// played them; samples dropped by a reset were never heard. Can be told to fail like a device that
// went away, or one that cannot be opened.
class ListeningAudioOutput : public PacedAudioOutput
{
public:
    explicit ListeningAudioOutput(double pace = 1.0) : PacedAudioOutput(pace) { m_clock.start(); }

    void open(int sampleRate) override
    {
        if (!failOpen.isEmpty())
            throw SpeechError(failOpen);
        PacedAudioOutput::open(sampleRate);
    }

    qint64 write(const qint16 *samples, qint64 count) override
    {
        const qint64 taken = PacedAudioOutput::write(samples, count);
        if (taken > 0 && firstWriteNs < 0)
            firstWriteNs = m_clock.nsecsElapsed();
        m_unheard.insert(m_unheard.end(), samples, samples + taken);
        return taken;
    }

    qint64 played() override
    {
        const qint64 now = PacedAudioOutput::played();
        const qint64 fresh = now - m_heardSinceReset;
        heard.insert(heard.end(), m_unheard.begin(), m_unheard.begin() + fresh);
        m_unheard.erase(m_unheard.begin(), m_unheard.begin() + fresh);
        m_heardSinceReset = now;
        return now;
    }

    void reset() override
    {
        played();
        m_unheard.clear();
        m_heardSinceReset = 0;
        ++resets;
        PacedAudioOutput::reset();
    }

    QString error() const override { return failWith; }

    // Brings `heard` up to date and returns its size.
    qint64 heardCount()
    {
        played();
        return qint64(heard.size());
    }

    std::vector<qint16> heard;
    int resets = 0;
    // Nanoseconds from construction to the first sample handed over, or -1.
    qint64 firstWriteNs = -1;
    QString failWith;
    // While set, open() fails with this message, as with a device another program holds.
    QString failOpen;

private:
    std::vector<qint16> m_unheard;
    qint64 m_heardSinceReset = 0;
    QElapsedTimer m_clock;
};

} // namespace velmira
