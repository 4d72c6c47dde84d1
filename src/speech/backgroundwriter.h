// Encoding speech on a thread of its own while the next speech is made.
#pragma once

#include "soundwriter.h"

#include <condition_variable>
#include <deque>
#include <mutex>
#include <thread>
#include <vector>

namespace velmira {

// Hands the samples it is given to another writer on a thread of its own. The compressed formats'
// encoders cost several times what synthesis does, and on a machine with more than one core they
// then run beside the synthesis instead of after it. At most a few seconds of sound wait in between;
// write() waits when more would.
//
// A failure of the writer behind is reported by the next write(), flush(), drain() or finish().
class BackgroundSoundWriter : public SoundWriter
{
public:
    explicit BackgroundSoundWriter(std::unique_ptr<SoundWriter> writer);
    // Completes the file as finish() does.
    ~BackgroundSoundWriter() override;

    BackgroundSoundWriter(const BackgroundSoundWriter &) = delete;
    BackgroundSoundWriter &operator=(const BackgroundSoundWriter &) = delete;

    void write(const qint16 *samples, qsizetype count) override;
    // Reports a failure so far; it does not wait for the encoder, which is what keeps the two apart.
    void flush() override;
    void drain() override;
    void finish() override;
    bool isClosed() const override;
    const QString &path() const override { return m_path; }

private:
    void run();
    // Waits until the thread has handed on everything queued; with the lock held.
    void waitUntilHandedOn(std::unique_lock<std::mutex> &lock);
    // Throws the writer's failure, if it had one that was not reported yet; with the lock held.
    void reportFailure();

    const QString m_path;
    const std::unique_ptr<SoundWriter> m_writer;

    mutable std::mutex m_mutex;
    std::condition_variable m_changed;
    std::deque<std::vector<qint16>> m_queue;
    qsizetype m_queued = 0;
    bool m_busy = false;
    bool m_closed = false;
    bool m_stopping = false;
    QString m_failure;
    std::thread m_thread;
};

} // namespace velmira
