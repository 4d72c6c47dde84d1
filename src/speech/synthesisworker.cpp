// The one thread on which the synthesisers speak for every speech control of the program.
#include "synthesisworker.h"

#include "espeakengine.h"
#include "speechcontrol.h"
#include "speechlog.h"
#include "textpieces.h"
#include "soundwriter.h"
#include "voicelist.h"

#ifdef VELMIRA_HAVE_RHVOICE
#include "rhvoiceengine.h"
#endif

#include <algorithm>
#include <cstdlib>

using namespace Qt::StringLiterals;

namespace velmira {

namespace {

// The first piece of a text is short so that its sound starts at once; later pieces are whole
// sentences, cut at a blank when a sentence runs on longer than this.
constexpr qsizetype FirstPieceLimit = 160;
constexpr qsizetype PieceLimit = 500;

// Below about -60 dB: the faint noise some voices make before they speak is silence too.
constexpr int SilenceLevel = 32;
// Kept before the voice, so that its first sound sets in as it was made.
constexpr int LeadInMs = 3;

} // namespace

qint64 leadingSilence(std::span<const qint16> samples, int sampleRate)
{
    const auto voice = std::find_if(samples.begin(), samples.end(), [](qint16 s) { return std::abs(int(s)) > SilenceLevel; });
    if (voice == samples.end())
        return qint64(samples.size());
    return std::max<qint64>(0, (voice - samples.begin()) - qint64(sampleRate) * LeadInMs / 1000);
}

struct SynthesisWorker::Engines
{
    std::vector<std::shared_ptr<SynthesisEngine>> engines;
    int sampleRate = 0;
    QList<Voice> voices;
    std::vector<SynthesisEngine *> voiceEngines;
};

// One piece of one text being synthesised.
struct SynthesisWorker::Job : PieceSink
{
    SynthesisWorker *worker = nullptr;
    std::shared_ptr<SpeechChannel> channel;
    quint64 generation = 0;
    quint64 serial = 0;
    QString text;
    qsizetype start = 0;
    qsizetype end = 0;
    bool sentenceEnd = true;
    bool lastPiece = false;
    // The last piece of the last text queued when it was taken.
    bool lastQueued = false;
    // Only blanks: nothing for the engine to say.
    bool blank = false;
    int voice = 0;
    int rate = 0;
    int pitch = 0;
    std::shared_ptr<SoundWriter> file;

    qint64 firstSample = 0; // where the piece starts in the channel's played speech
    qint64 samples = 0;     // made so far for this piece
    // The silence before the voice is still being left out (see leadingSilence); `dropped` samples were.
    bool trimLead = false;
    qint64 dropped = 0;
    std::vector<WordMark> words;
    TextSpan lastWord;
    QString failure;

    bool abandoned() const
    {
        return channel->generation.load(std::memory_order_relaxed) != generation;
    }
    QStringView piece() const { return QStringView(text).sliced(start, end - start); }
    bool deliver(const qint16 *wav, qint64 count, std::span<const EngineWord> reported) override;
};

namespace {

std::mutex instanceMutex;
bool rhvoiceWanted = true;

} // namespace

void SynthesisWorker::setRhvoiceWanted(bool wanted)
{
    const std::lock_guard guard(instanceMutex);
    rhvoiceWanted = wanted;
}

std::shared_ptr<SynthesisWorker> SynthesisWorker::instance()
{
    static std::weak_ptr<SynthesisWorker> shared;
    const std::lock_guard guard(instanceMutex);
    if (auto worker = shared.lock())
        return worker;

    Engines engines;
    auto espeak = std::make_unique<EspeakEngine>();
    engines.sampleRate = espeak->sampleRate();
    engines.engines.push_back(std::move(espeak));
#ifdef VELMIRA_HAVE_RHVOICE
    if (rhvoiceWanted) {
        // Started once for the life of the process, as espeak-ng is, so that voices it has got ready stay
        // ready for the workers that follow.
        static const std::shared_ptr<SynthesisEngine> rhvoice = []() -> std::shared_ptr<SynthesisEngine> {
            qCDebug(lcSpeech) << "starting RHVoice";
            try {
                return std::make_shared<RhvoiceEngine>();
            } catch (const SpeechError &e) {
                // Not installed, or without voices: the program speaks with espeak-ng's voices alone.
                qCInfo(lcSpeech) << e.message();
                return nullptr;
            }
        }();
        if (rhvoice)
            engines.engines.push_back(rhvoice);
    }
#endif
    QList<std::pair<Voice, SynthesisEngine *>> all;
    for (const auto &engine : engines.engines) {
        for (const Voice &voice : engine->voices())
            all.append({voice, engine.get()});
    }
    QList<Voice> voices;
    for (const auto &entry : all)
        voices.append(entry.first);
    for (const Voice &voice : listVoices(voices)) {
        engines.voices.append(voice);
        const auto owner = std::find_if(all.begin(), all.end(), [&](const auto &entry) {
            return entry.first.engine == voice.engine && entry.first.identifier == voice.identifier;
        });
        engines.voiceEngines.push_back(owner->second);
    }

    std::shared_ptr<SynthesisWorker> worker(new SynthesisWorker(std::move(engines)));
    shared = worker;
    return worker;
}

SynthesisWorker::SynthesisWorker(Engines engines)
    : m_engines(std::move(engines.engines)), m_sampleRate(engines.sampleRate), m_voices(std::move(engines.voices)),
      m_voiceEngines(std::move(engines.voiceEngines)), m_prepared(m_voiceEngines.size(), false)
{
    m_thread = std::thread([this] { run(); });
}

SynthesisWorker::~SynthesisWorker()
{
    {
        const std::lock_guard lock(m_mutex);
        m_stop = true;
        for (const auto &channel : m_channels)
            channel->generation.fetch_add(1);
    }
    m_wake.notify_all();
    m_thread.join();
}

void SynthesisWorker::attach(const std::shared_ptr<SpeechChannel> &channel)
{
    {
        const std::lock_guard lock(m_mutex);
        m_channels.push_back(channel);
    }
    wake();
}

void SynthesisWorker::detach(const std::shared_ptr<SpeechChannel> &channel)
{
    std::unique_lock lock(m_mutex);
    channel->detached = true;
    channel->notify = nullptr;
    channel->generation.fetch_add(1);
    waitUntilIdle(*channel, lock);
    std::erase(m_channels, channel);
}

void SynthesisWorker::waitUntilIdle(SpeechChannel &channel, std::unique_lock<std::mutex> &lock)
{
    m_idle.wait(lock, [&] { return !channel.busy; });
}

void SynthesisWorker::wake()
{
    m_wake.notify_one();
}

void SynthesisWorker::postNews(SpeechChannel &channel)
{
    if (!channel.notifyPending && channel.notify) {
        channel.notifyPending = true;
        channel.notify();
    }
}

std::shared_ptr<SpeechChannel> SynthesisWorker::nextReadyChannel()
{
    for (size_t i = 0; i < m_channels.size(); ++i) {
        const size_t index = (m_turn + i) % m_channels.size();
        const auto &channel = m_channels[index];
        if (channel->detached || channel->texts.empty())
            continue;
        if (channel->toFile ? !channel->file || channel->held : channel->buffered >= aheadLimit())
            continue;
        m_turn = index + 1;
        return channel;
    }
    return nullptr;
}

int SynthesisWorker::nextVoiceToPrepare()
{
    for (const auto &channel : m_channels) {
        const auto voice = size_t(channel->voice);
        if (!channel->detached && channel->voiceChosen && voice < m_prepared.size() && !m_prepared[voice])
            return int(voice);
    }
    return -1;
}

void SynthesisWorker::run()
{
    std::unique_lock lock(m_mutex);
    for (;;) {
        std::shared_ptr<SpeechChannel> channel;
        int voice = -1;
        m_wake.wait(lock, [&] { return m_stop || (channel = nextReadyChannel()) || (voice = nextVoiceToPrepare()) >= 0; });
        if (m_stop)
            return;
        if (!channel) {
            // Nothing to say: the voice a control chose gets ready, so that its first words come at once.
            m_prepared[size_t(voice)] = true;
            const QByteArray identifier = m_voices.at(voice).identifier;
            qCDebug(lcSpeech) << "getting the voice ready:" << m_voices.at(voice).identity();
            lock.unlock();
            m_voiceEngines[size_t(voice)]->prepare(identifier, m_sampleRate);
            lock.lock();
            continue;
        }
        Job job;
        job.channel = channel;
        if (!takePiece(*channel, job))
            continue;
        channel->busy = true;
        lock.unlock();
        synthesise(job);
        lock.lock();
        finishPiece(*channel, job);
        channel->busy = false;
        m_idle.notify_all();
    }
}

bool SynthesisWorker::takePiece(SpeechChannel &channel, Job &job)
{
    SpeechChannel::Text &text = channel.texts.front();
    job.worker = this;
    job.generation = channel.generation.load();
    job.serial = text.serial;
    job.text = text.text;
    job.voice = channel.voice;
    job.rate = channel.rate;
    job.pitch = channel.pitch;
    job.file = channel.file;
    job.firstSample = channel.produced;
    job.start = text.next;
    job.trimLead = !job.file && job.start == 0;
    if (text.text.isEmpty()) {
        job.end = 0;
    } else {
        const PieceEnd end = findPieceEnd(text.text, text.next, text.next == 0 ? FirstPieceLimit : PieceLimit);
        job.end = end.end;
        job.sentenceEnd = end.sentenceEnd;
    }
    text.next = job.end;
    job.lastPiece = job.end >= text.text.size();
    if (job.lastPiece)
        channel.texts.pop_front();
    job.lastQueued = job.lastPiece && channel.texts.empty();
    job.blank = std::all_of(job.text.cbegin() + job.start, job.text.cbegin() + job.end, [](QChar c) { return c.isSpace(); });
    // A file's sound is waited for at the end of the queue even when its last piece says nothing.
    if (!job.blank || (job.lastQueued && job.file))
        return true;
    // Nothing to say in this piece (blanks between sentences, an empty text).
    if (job.lastPiece) {
        --channel.unfinished;
        postNews(channel);
    }
    return false;
}

void SynthesisWorker::synthesise(Job &job)
{
    const int voice = std::clamp(job.voice, 0, int(m_voices.size()) - 1);
    const PieceVoice settings{m_voices.at(voice).identifier, job.rate, job.pitch};
    const QString failure = job.blank ? QString()
                                      : m_voiceEngines.at(size_t(voice))->synthesise(settings, job.piece(), job.sentenceEnd,
                                                                                     m_sampleRate, job);
    if (job.failure.isEmpty() && !job.abandoned())
        job.failure = failure;

    if (job.file) {
        try {
            job.file->flush();
            // Encoding may lag behind synthesis; the end of the queue waits for it, so that a
            // file that could not be written is reported as failed, never as finished.
            if (job.lastQueued && !job.abandoned())
                job.file->drain();
        } catch (const SpeechError &e) {
            if (job.failure.isEmpty())
                job.failure = e.message();
        }
    }
}

bool SynthesisWorker::Job::deliver(const qint16 *wav, qint64 count, std::span<const EngineWord> reported)
{
    if (abandoned() || !failure.isEmpty())
        return false;

    if (trimLead && wav) {
        const qint64 silent = leadingSilence(std::span(wav, size_t(std::max<qint64>(count, 0))), worker->m_sampleRate);
        trimLead = silent == count;
        dropped += silent;
        wav += silent;
        count -= silent;
    }

    const size_t firstWord = words.size();
    for (const EngineWord &w : reported) {
        const TextSpan word = wordAt(piece(), w.position);
        if (word.isEmpty() || word == lastWord)
            continue;
        lastWord = word;
        WordMark mark;
        mark.sample = firstSample + std::clamp(w.sample - dropped, samples, samples + count);
        mark.serial = serial;
        mark.position = int(start + word.position);
        mark.length = int(word.length);
        words.push_back(mark);
    }

    if (file) {
        if (wav && count > 0) {
            try {
                file->write(wav, count);
            } catch (const SpeechError &e) {
                failure = e.message();
                return false;
            }
        }
        samples += count;
        return true;
    }

    const std::lock_guard lock(worker->m_mutex);
    if (abandoned())
        return false;
    SpeechChannel &ch = *channel;
    if (wav && count > 0) {
        const bool wasEmpty = ch.buffered == 0;
        ch.audio.emplace_back(wav, wav + count);
        ch.buffered += count;
        ch.produced += count;
        samples += count;
        // The control's timer collects the rest; the first sound is fetched at once.
        if (wasEmpty)
            postNews(ch);
    }
    ch.marks.insert(ch.marks.end(), words.begin() + qsizetype(firstWord), words.end());
    return true;
}

void SynthesisWorker::finishPiece(SpeechChannel &channel, Job &job)
{
    if (job.abandoned())
        return;
    if (!job.failure.isEmpty()) {
        qCWarning(lcSpeech) << job.failure;
        channel.failure = job.failure;
        channel.texts.clear();
        channel.unfinished = 0;
        postNews(channel);
        return;
    }
    if (job.file)
        channel.marks.insert(channel.marks.end(), job.words.begin(), job.words.end());
    if (job.lastPiece)
        --channel.unfinished;
    if (job.file || job.lastPiece)
        postNews(channel);
}

} // namespace velmira
