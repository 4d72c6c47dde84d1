// Speech played on the desktop's sound server (PulseAudio or PipeWire) through Qt Multimedia.
#pragma once

#include "audiooutput.h"

#include <deque>
#include <memory>

class QAudioSink;
class QIODevice;

namespace velmira {

// The sound card output. Lives in the thread that uses it (the user-interface thread).
class DeviceAudioOutput : public AudioOutput
{
public:
    DeviceAudioOutput();
    ~DeviceAudioOutput() override;

    // Throws SpeechError when the system offers no sound output device at all.
    static void checkDevice();

    void open(int sampleRate) override;
    bool isOpen() const override { return m_io != nullptr; }
    qint64 room() override;
    qint64 write(const qint16 *samples, qint64 count) override;
    qint64 played() override;
    void drain() override;
    void suspend() override;
    void resume() override;
    void reset() override;
    QString error() const override;

private:
    qint64 handOver(const char *data, qint64 bytes);

    // Silence added to the stream so that the sound server starts playing what it holds: the
    // server waits for a full buffer before it starts, which a short word never fills.
    struct Silence
    {
        qint64 at = 0;
        qint64 length = 0;
    };

    std::unique_ptr<QAudioSink> m_sink;
    QIODevice *m_io = nullptr;
    int m_sampleRate = 0;
    qint64 m_handed = 0;  // samples given to the server, silence included
    qint64 m_written = 0; // samples of speech given to the server
    std::deque<Silence> m_silences;
    qint64 m_silencePlayed = 0;
    bool m_drained = false;
};

} // namespace velmira
