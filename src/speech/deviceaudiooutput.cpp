// Speech played on the desktop's sound server through Qt Multimedia.
#include "deviceaudiooutput.h"

#include "speechcontrol.h"

#include <QAudioDevice>
#include <QAudioFormat>
#include <QAudioSink>
#include <QMediaDevices>

#include <algorithm>
#include <vector>

using namespace Qt::StringLiterals;

namespace velmira {

namespace {

// What the server holds: enough to ride over a busy moment of the user-interface thread, little
// enough that nothing written long ago is still waiting to be heard.
constexpr int BufferMs = 250;

QString noDeviceMessage()
{
    return u"Не найдено звуковое устройство для воспроизведения речи."_s;
}

} // namespace

DeviceAudioOutput::DeviceAudioOutput() = default;

DeviceAudioOutput::~DeviceAudioOutput()
{
    if (m_sink)
        m_sink->reset();
}

void DeviceAudioOutput::checkDevice()
{
    if (QMediaDevices::audioOutputs().isEmpty())
        throw SpeechError(noDeviceMessage());
}

void DeviceAudioOutput::open(int sampleRate)
{
    if (m_io && m_sampleRate == sampleRate && m_sink->error() == QAudio::NoError)
        return;
    if (!m_sink || m_sampleRate != sampleRate) {
        const QAudioDevice device = QMediaDevices::defaultAudioOutput();
        if (device.isNull())
            throw SpeechError(noDeviceMessage());
        QAudioFormat format;
        format.setSampleRate(sampleRate);
        format.setChannelCount(1);
        format.setSampleFormat(QAudioFormat::Int16);
        m_sink = std::make_unique<QAudioSink>(device, format);
        m_sink->setBufferSize(qsizetype(sampleRate) * 2 * BufferMs / 1000);
        m_sampleRate = sampleRate;
    }
    m_io = m_sink->start();
    m_handed = 0;
    m_written = 0;
    m_silences.clear();
    m_silencePlayed = 0;
    m_drained = false;
    if (!m_io || m_sink->error() != QAudio::NoError) {
        m_io = nullptr;
        m_sink->stop();
        throw SpeechError(u"Не удалось открыть звуковое устройство: возможно, оно занято другим приложением."_s);
    }
}

qint64 DeviceAudioOutput::room()
{
    if (!m_io || m_sink->state() == QAudio::SuspendedState)
        return 0;
    return m_sink->bytesFree() / 2;
}

qint64 DeviceAudioOutput::handOver(const char *data, qint64 bytes)
{
    const qint64 taken = m_io->write(data, bytes) / 2;
    m_handed += taken;
    return taken;
}

qint64 DeviceAudioOutput::write(const qint16 *samples, qint64 count)
{
    if (!m_io || count <= 0)
        return 0;
    count = std::min(count, room());
    const qint64 taken = handOver(reinterpret_cast<const char *>(samples), count * 2);
    m_written += taken;
    if (taken > 0)
        m_drained = false;
    return taken;
}

void DeviceAudioOutput::drain()
{
    if (!m_io || m_drained || m_written == 0)
        return;
    const qint64 count = std::min(room(), qint64(m_sampleRate) * BufferMs / 1000);
    if (count <= 0)
        return;
    const std::vector<qint16> silence(size_t(count), 0);
    const qint64 at = m_handed;
    const qint64 taken = handOver(reinterpret_cast<const char *>(silence.data()), count * 2);
    if (taken > 0) {
        m_silences.push_back({at, taken});
        m_drained = true;
    }
}

qint64 DeviceAudioOutput::played()
{
    if (!m_io)
        return 0;
    const qint64 heard = std::min(m_handed, m_sink->processedUSecs() * m_sampleRate / 1000000);
    while (!m_silences.empty() && heard >= m_silences.front().at + m_silences.front().length) {
        m_silencePlayed += m_silences.front().length;
        m_silences.pop_front();
    }
    qint64 speech = heard;
    if (!m_silences.empty() && heard > m_silences.front().at)
        speech = m_silences.front().at;
    return std::clamp(speech - m_silencePlayed, qint64(0), m_written);
}

void DeviceAudioOutput::suspend()
{
    if (m_io)
        m_sink->suspend();
}

void DeviceAudioOutput::resume()
{
    if (m_io && m_sink->state() == QAudio::SuspendedState)
        m_sink->resume();
}

void DeviceAudioOutput::reset()
{
    // Stopping drops what the server still holds. The next open() starts a fresh stream on a new sink:
    // a sink started again keeps what it learnt of the old stream (PulseAudio's smaller buffer, its
    // clock), and speech that follows a reset at once could then go unheard.
    if (m_sink) {
        m_sink->stop();
        m_sink.reset();
    }
    m_io = nullptr;
    m_handed = 0;
    m_written = 0;
    m_silences.clear();
    m_silencePlayed = 0;
    m_drained = false;
}

QString DeviceAudioOutput::error() const
{
    if (!m_io)
        return {};
    switch (m_sink->error()) {
    case QAudio::NoError:
    case QAudio::UnderrunError:
        return {};
    case QAudio::OpenError:
    case QAudio::IOError:
    case QAudio::FatalError:
        break;
    }
    return u"Звуковое устройство перестало принимать звук: возможно, оно занято другим приложением или отключено."_s;
}

} // namespace velmira
