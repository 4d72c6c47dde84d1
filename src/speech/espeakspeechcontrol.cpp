// The speech control that speaks with espeak-ng.
#include "espeakspeechcontrol.h"

#include "audiooutput.h"
#include "common/core/stringops.h"
#include "speechlog.h"
#include "synthesisworker.h"
#include "soundwriter.h"

#include <espeak-ng/speak_lib.h>

#include <QCoreApplication>
#include <QPointer>
#include <QSet>

#include <algorithm>

using namespace Qt::StringLiterals;

namespace velmira {

namespace {

// How often the sound output is fed while speech is under way; it holds a quarter of a second.
constexpr int PumpIntervalMs = 20;
constexpr int DefaultPitch = 50;

} // namespace

EspeakSpeechControl::EspeakSpeechControl(std::unique_ptr<AudioOutput> output, QObject *parent)
    : SpeechControl(parent), m_worker(SynthesisWorker::instance()), m_channel(std::make_shared<SpeechChannel>()),
      m_output(std::move(output)), m_speed(espeakRATE_NORMAL), m_pitch(DefaultPitch)
{
    Q_ASSERT(m_output);
    m_channel->voice = 0;
    m_channel->rate = m_speed;
    m_channel->pitch = m_pitch;
    // Called on the synthesis thread, with the worker's mutex held: the control is alive then.
    m_channel->notify = [this] { QMetaObject::invokeMethod(this, &EspeakSpeechControl::pump, Qt::QueuedConnection); };
    m_worker->attach(m_channel);

    m_pumpTimer.setInterval(PumpIntervalMs);
    connect(&m_pumpTimer, &QTimer::timeout, this, &EspeakSpeechControl::pump);
}

EspeakSpeechControl::~EspeakSpeechControl()
{
    m_closing = true;
    m_pumpTimer.stop();
    m_worker->detach(m_channel);
    QCoreApplication::removePostedEvents(this, QEvent::MetaCall);
    // Closing a sound device may process events; nothing of this control answers them any more.
    m_output->reset();
    m_output.reset();
}

int EspeakSpeechControl::sampleRate() const
{
    return m_worker->sampleRate();
}

qsizetype EspeakSpeechControl::queuedTextSize() const
{
    const std::lock_guard lock(m_worker->mutex());
    QSet<const QChar *> counted;
    qsizetype size = 0;
    for (const SpeechChannel::Text &queued : m_channel->texts) {
        if (!counted.contains(queued.text.constData())) {
            counted.insert(queued.text.constData());
            size += queued.text.size();
        }
    }
    return size;
}

void EspeakSpeechControl::Speak(const QString &text)
{
    if (m_toFile) {
        if (!m_fileError.isEmpty())
            throw SpeechError(m_fileError);
        const std::lock_guard lock(m_worker->mutex());
        if (m_channel->file && m_channel->file->isClosed())
            throw SpeechError(u"Звуковой файл «%1» уже закрыт: запись в него закончена."_s.arg(m_channel->file->path()));
    }
    {
        const std::lock_guard lock(m_worker->mutex());
        // The same text queued again (Read pressed over and over on a long text, each time with a copy
        // of its own) shares the memory of the one already queued instead of adding to it.
        QString queued = text;
        QSet<const QChar *> compared;
        for (auto it = m_channel->texts.crbegin(); it != m_channel->texts.crend(); ++it) {
            const QChar *data = it->text.constData();
            if (compared.contains(data))
                continue;
            compared.insert(data);
            if (shareIfEqual(queued, it->text))
                break;
        }
        m_channel->texts.push_back({nextSerial(), std::move(queued), 0});
        ++m_channel->unfinished;
    }
    m_active = true;
    m_worker->wake();
    // The sound output is opened while the first piece is being synthesised: opening it takes about as
    // long, and the first sound waits for both.
    if (!m_toFile && !m_output->isOpen()) {
        try {
            m_output->open(sampleRate());
        } catch (const SpeechError &) {
            clearQueue();
            throw;
        }
        m_outputStart = m_taken;
        if (m_paused)
            m_output->suspend();
    }
    if (!m_pumpTimer.isActive())
        m_pumpTimer.start();
}

void EspeakSpeechControl::Select(int engine)
{
    if (engine < 1 || engine > CountEngines())
        throw SpeechError(u"Нет голосового движка с номером %1."_s.arg(engine));
    m_engine = engine;
    {
        const std::lock_guard lock(m_worker->mutex());
        m_channel->voice = engine - 1;
        m_channel->voiceChosen = true;
    }
    m_worker->wake();
}

QString EspeakSpeechControl::ModeName(int engine) const
{
    if (engine < 1 || engine > CountEngines())
        throw SpeechError(u"Нет голосового движка с номером %1."_s.arg(engine));
    return m_worker->voices().at(engine - 1).displayName;
}

QString EspeakSpeechControl::VoiceIdentity(int engine) const
{
    if (engine < 1 || engine > CountEngines())
        throw SpeechError(u"Нет голосового движка с номером %1."_s.arg(engine));
    return m_worker->voices().at(engine - 1).identity();
}

int EspeakSpeechControl::CountEngines() const
{
    return int(m_worker->voices().size());
}

void EspeakSpeechControl::setPitch(int pitch)
{
    m_pitch = std::clamp(pitch, MinPitch(), MaxPitch());
    const std::lock_guard lock(m_worker->mutex());
    m_channel->pitch = m_pitch;
}

int EspeakSpeechControl::MinPitch() const
{
    return 0;
}

int EspeakSpeechControl::MaxPitch() const
{
    return 100;
}

void EspeakSpeechControl::setSpeed(int speed)
{
    m_speed = std::clamp(speed, MinSpeed(), MaxSpeed());
    const std::lock_guard lock(m_worker->mutex());
    m_channel->rate = m_speed;
}

int EspeakSpeechControl::MinSpeed() const
{
    return espeakRATE_MINIMUM;
}

int EspeakSpeechControl::MaxSpeed() const
{
    return espeakRATE_MAXIMUM;
}

void EspeakSpeechControl::AudioPause()
{
    m_paused = true;
    m_output->suspend();
    const std::lock_guard lock(m_worker->mutex());
    m_channel->held = true;
}

void EspeakSpeechControl::AudioResume()
{
    if (!m_paused)
        return;
    m_paused = false;
    m_output->resume();
    {
        const std::lock_guard lock(m_worker->mutex());
        m_channel->held = false;
    }
    m_worker->wake();
    if (m_active && !m_pumpTimer.isActive())
        m_pumpTimer.start();
}

void EspeakSpeechControl::AudioReset()
{
    clearQueue();
    if (m_toFile) {
        // The abandoned piece ends at the engine's next call back and writes out what it collected;
        // waiting for it makes the file final when the recording is stopped, so that the user can
        // play, copy or record over it at once.
        std::unique_lock lock(m_worker->mutex());
        m_worker->waitUntilIdle(*m_channel, lock);
        // A compressed file is completed here, so that it plays to where the speech was cut off.
        if (m_channel->file) {
            try {
                m_channel->file->finish();
            } catch (const SpeechError &e) {
                qCWarning(lcSpeech) << e.message();
                m_unfinishedFile = e.message();
            }
        }
    }
    m_output->reset();
    m_outputStart = 0;
    m_paused = false;
    emit discarded();
}

void EspeakSpeechControl::clearQueue()
{
    {
        const std::lock_guard lock(m_worker->mutex());
        SpeechChannel &ch = *m_channel;
        // The piece under way is abandoned at the engine's next call back.
        ch.generation.fetch_add(1);
        ch.texts.clear();
        ch.audio.clear();
        ch.audioFrontTaken = 0;
        ch.buffered = 0;
        ch.produced = 0;
        ch.marks.clear();
        ch.unfinished = 0;
        ch.failure.clear();
        ch.held = false;
    }
    m_taken = 0;
    m_wordsWritten.clear();
    m_scratch.clear();
    m_active = false;
    ++m_resets;
    m_pumpTimer.stop();
}

void EspeakSpeechControl::LexiconDlg(QWidget *, const QString &)
{
    throw SpeechError(u"У голосового движка «%1» нет собственного окна настройки произношения."_s.arg(ModeName(m_engine)));
}

void EspeakSpeechControl::setFileName(const QString &path)
{
    m_unfinishedFile.clear();
    AudioReset();
    // A compressed file's last frames are written as it is completed here: a file that could not
    // be completed is reported, never let go as whole.
    const QString unfinished = std::exchange(m_unfinishedFile, QString());
    {
        std::unique_lock lock(m_worker->mutex());
        m_channel->toFile = !path.isEmpty();
        m_channel->file.reset();
        // The abandoned piece may still be closing the old file, which may have the same name.
        m_worker->waitUntilIdle(*m_channel, lock);
    }
    m_toFile = !path.isEmpty();
    m_fileError.clear();
    if (!m_toFile) {
        if (!unfinished.isEmpty())
            throw SpeechError(unfinished);
        return;
    }
    std::shared_ptr<SoundWriter> file;
    try {
        // A name without one of the known extensions gets WAV, as it always has.
        file = createSoundWriter(path, sampleRate(), soundFormatForPath(path).value_or(SoundFormat::Wav));
    } catch (const SpeechError &e) {
        m_fileError = e.message();
        throw;
    }
    {
        const std::lock_guard lock(m_worker->mutex());
        m_channel->file = std::move(file);
    }
    if (!unfinished.isEmpty())
        throw SpeechError(unfinished);
}

void EspeakSpeechControl::pump()
{
    if (m_closing)
        return;
    const quint64 resets = m_resets;
    std::vector<WordMark> heard;
    QString failure;
    bool synthesised = false;
    const qint64 room = m_toFile || m_paused || !m_output->isOpen()
                            ? 0
                            : std::max<qint64>(0, m_output->room() - qint64(m_scratch.size()));
    bool tookAudio = false;
    {
        const std::lock_guard lock(m_worker->mutex());
        SpeechChannel &ch = *m_channel;
        ch.notifyPending = false;
        failure = std::exchange(ch.failure, QString());
        if (m_toFile) {
            heard.assign(ch.marks.begin(), ch.marks.end());
            ch.marks.clear();
        } else {
            qint64 left = room;
            while (left > 0 && !ch.audio.empty()) {
                const std::vector<qint16> &chunk = ch.audio.front();
                const qint64 take = std::min(left, qint64(chunk.size() - ch.audioFrontTaken));
                const auto from = chunk.begin() + qsizetype(ch.audioFrontTaken);
                m_scratch.insert(m_scratch.end(), from, from + take);
                ch.audioFrontTaken += size_t(take);
                ch.buffered -= take;
                m_taken += take;
                left -= take;
                tookAudio = true;
                if (ch.audioFrontTaken == chunk.size()) {
                    ch.audio.pop_front();
                    ch.audioFrontTaken = 0;
                }
            }
            while (!ch.marks.empty() && ch.marks.front().sample <= m_taken) {
                m_wordsWritten.push_back(ch.marks.front());
                ch.marks.pop_front();
            }
        }
        synthesised = ch.unfinished == 0 && ch.buffered == 0;
    }
    if (!failure.isEmpty()) {
        fail(failure);
        return;
    }

    bool done = synthesised;
    if (!m_toFile && m_output->isOpen()) {
        if (tookAudio)
            m_worker->wake();
        if (!m_scratch.empty()) {
            const qint64 written = m_output->write(m_scratch.data(), qint64(m_scratch.size()));
            m_scratch.erase(m_scratch.begin(), m_scratch.begin() + qsizetype(written));
        }
        const QString error = m_output->error();
        if (!error.isEmpty()) {
            fail(error);
            return;
        }
        const qint64 played = m_outputStart + m_output->played();
        while (!m_wordsWritten.empty() && m_wordsWritten.front().sample <= played) {
            heard.push_back(m_wordsWritten.front());
            m_wordsWritten.pop_front();
        }
        if (synthesised && m_scratch.empty())
            m_output->drain();
        done = synthesised && m_scratch.empty() && m_wordsWritten.empty() && played >= m_taken;
    }

    const QPointer<EspeakSpeechControl> alive(this);
    for (const WordMark &word : heard) {
        emit wordReached(word.serial, word.position, word.length);
        // A receiver may have cut off the speech, or destroyed the control, meanwhile.
        if (!alive || m_resets != resets)
            return;
    }
    if (done && m_active)
        finish();
}

void EspeakSpeechControl::fail(const QString &message)
{
    AudioReset();
    emit failed(message);
}

void EspeakSpeechControl::finish()
{
    m_active = false;
    m_pumpTimer.stop();
    emit finished();
}

} // namespace velmira
