// Encoding speech on a thread of its own while the next speech is made.
#include "backgroundwriter.h"

#include "speechcontrol.h"

namespace velmira {

namespace {

// Samples that may wait for the encoder: about six seconds of speech at 22 kHz, a few hundred
// kilobytes, and far more than one piece of speech holds, so that synthesis seldom waits.
constexpr qsizetype QueueLimit = 1 << 17;

} // namespace

BackgroundSoundWriter::BackgroundSoundWriter(std::unique_ptr<SoundWriter> writer)
    : m_path(writer->path()), m_writer(std::move(writer)), m_thread([this] { run(); })
{
}

BackgroundSoundWriter::~BackgroundSoundWriter()
{
    try {
        finish();
    } catch (const SpeechError &) {
        // The file is closed all the same and keeps what the encoder completed.
    }
    {
        const std::lock_guard lock(m_mutex);
        m_stopping = true;
    }
    m_changed.notify_all();
    m_thread.join();
}

void BackgroundSoundWriter::write(const qint16 *samples, qsizetype count)
{
    std::unique_lock lock(m_mutex);
    reportFailure();
    if (m_closed) {
        // The thread is idle and the writer says in its own words that it takes no more.
        m_writer->write(samples, count);
        return;
    }
    if (count <= 0)
        return;
    m_changed.wait(lock, [this] { return m_queued < QueueLimit || !m_failure.isEmpty(); });
    reportFailure();
    m_queue.emplace_back(samples, samples + count);
    m_queued += count;
    lock.unlock();
    m_changed.notify_all();
}

void BackgroundSoundWriter::flush()
{
    const std::lock_guard lock(m_mutex);
    reportFailure();
}

void BackgroundSoundWriter::drain()
{
    std::unique_lock lock(m_mutex);
    waitUntilHandedOn(lock);
    reportFailure();
    if (!m_closed)
        m_writer->flush();
}

void BackgroundSoundWriter::finish()
{
    std::unique_lock lock(m_mutex);
    waitUntilHandedOn(lock);
    if (m_closed) {
        reportFailure();
        return;
    }
    m_closed = true;
    reportFailure();
    // The thread is idle: the writer is this thread's now.
    m_writer->finish();
}

bool BackgroundSoundWriter::isClosed() const
{
    const std::lock_guard lock(m_mutex);
    return m_closed;
}

void BackgroundSoundWriter::waitUntilHandedOn(std::unique_lock<std::mutex> &lock)
{
    m_changed.wait(lock, [this] { return m_queue.empty() && !m_busy; });
}

void BackgroundSoundWriter::reportFailure()
{
    if (!m_failure.isEmpty())
        throw SpeechError(std::exchange(m_failure, QString()));
}

void BackgroundSoundWriter::run()
{
    std::unique_lock lock(m_mutex);
    for (;;) {
        m_changed.wait(lock, [this] { return m_stopping || !m_queue.empty(); });
        if (m_queue.empty())
            return;
        const std::vector<qint16> block = std::move(m_queue.front());
        m_queue.pop_front();
        m_busy = true;
        lock.unlock();
        QString failure;
        try {
            m_writer->write(block.data(), qsizetype(block.size()));
        } catch (const SpeechError &e) {
            failure = e.message();
        }
        lock.lock();
        m_busy = false;
        m_queued -= qsizetype(block.size());
        if (!failure.isEmpty()) {
            // The writer closed its file as far as it got; what is still queued has nowhere to go.
            m_failure = failure;
            m_closed = true;
            for (const std::vector<qint16> &dropped : m_queue)
                m_queued -= qsizetype(dropped.size());
            m_queue.clear();
        }
        m_changed.notify_all();
    }
}

} // namespace velmira
