// A silent sound output that takes samples at the pace a sound card would play them.
#include "pacedaudiooutput.h"

#include <algorithm>

namespace velmira {

PacedAudioOutput::PacedAudioOutput(double pace, int bufferMs) : m_pace(pace), m_bufferMs(bufferMs)
{
    Q_ASSERT(pace > 0 && bufferMs > 0);
}

void PacedAudioOutput::open(int sampleRate)
{
    if (m_sampleRate > 0)
        return;
    m_sampleRate = sampleRate;
    m_clock.start();
}

void PacedAudioOutput::advance()
{
    if (m_sampleRate <= 0)
        return;
    const qint64 elapsedNs = m_clock.nsecsElapsed();
    m_clock.start();
    if (m_suspended)
        return;
    // A sound card that runs dry plays nothing, and later sound does not catch up on lost time.
    m_played = std::min(double(m_written), m_played + double(elapsedNs) * 1e-9 * m_sampleRate * m_pace);
}

qint64 PacedAudioOutput::room()
{
    if (m_sampleRate <= 0 || m_suspended)
        return 0;
    advance();
    const qint64 capacity = qint64(m_sampleRate) * m_bufferMs / 1000;
    return std::max<qint64>(0, capacity - (m_written - qint64(m_played)));
}

qint64 PacedAudioOutput::write(const qint16 *, qint64 count)
{
    const qint64 taken = std::min(count, room());
    m_written += taken;
    return taken;
}

qint64 PacedAudioOutput::played()
{
    advance();
    return qint64(m_played);
}

void PacedAudioOutput::suspend()
{
    advance();
    m_suspended = true;
}

void PacedAudioOutput::resume()
{
    advance();
    m_suspended = false;
}

void PacedAudioOutput::reset()
{
    m_written = 0;
    m_played = 0;
    m_suspended = false;
    m_clock.start();
}

} // namespace velmira
