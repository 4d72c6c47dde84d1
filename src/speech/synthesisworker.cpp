// The one thread on which espeak-ng synthesises speech for every speech control of the program.
#include "synthesisworker.h"

#include "speechcontrol.h"
#include "speechlog.h"
#include "textpieces.h"
#include "soundwriter.h"

#include <espeak-ng/espeak_ng.h>
#include <espeak-ng/speak_lib.h>

#include <algorithm>
#include <cstring>

using namespace Qt::StringLiterals;

namespace velmira {

namespace {

// The first piece of a text is short so that its sound starts at once; later pieces are whole
// sentences, cut at a blank when a sentence runs on longer than this.
constexpr qsizetype FirstPieceLimit = 160;
constexpr qsizetype PieceLimit = 500;
// Milliseconds of sound that espeak-ng hands over at a time.
constexpr int CallbackMs = 100;

struct Engine
{
    int sampleRate = 0;
    QList<EspeakVoice> voices;
};

// espeak-ng is started once for the life of the process (it cannot be started twice); its voice
// list is read then too, as reading it again would disturb a synthesis under way.
const Engine &startEngine()
{
    static Engine engine;
    if (engine.sampleRate > 0)
        return engine;

    espeak_ng_InitializePath(nullptr);
    espeak_ng_ERROR_CONTEXT context = nullptr;
    espeak_ng_STATUS status = espeak_ng_Initialize(&context);
    if (status == ENS_OK)
        status = espeak_ng_InitializeOutput(ENOUTPUT_MODE_SYNCHRONOUS, CallbackMs, nullptr);
    if (status != ENS_OK) {
        char reason[512] = {};
        espeak_ng_GetStatusCodeMessage(status, reason, sizeof reason);
        espeak_ng_ClearErrorContext(&context);
        throw SpeechError(u"Не удалось запустить синтезатор речи espeak-ng: %1."_s.arg(QString::fromLocal8Bit(reason)));
    }

    QList<EspeakVoice> voices;
    for (const espeak_VOICE **v = espeak_ListVoices(nullptr); v && *v; ++v) {
        EspeakVoice voice;
        voice.identifier = QByteArray((*v)->identifier);
        voice.name = QString::fromUtf8((*v)->name);
        // A list of (priority byte, language code, zero byte), ended by an empty code.
        for (const char *l = (*v)->languages; l && l[0] != 0 && l[1] != 0; l += std::strlen(l + 1) + 2)
            voice.languages.append(QByteArray(l + 1));
        // Voices that need the separate MBROLA synthesiser cannot speak without it.
        if (!voice.identifier.startsWith("mb/"))
            voices.append(voice);
    }
    if (voices.isEmpty())
        throw SpeechError(u"Синтезатор речи espeak-ng не нашёл ни одного голоса."_s);

    engine.voices = orderVoices(voices);
    engine.sampleRate = espeak_ng_GetSampleRate();
    return engine;
}

} // namespace

// One piece of one text being synthesised.
struct SynthesisWorker::Job
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
    QByteArray voice;
    int rate = 0;
    int pitch = 0;
    std::shared_ptr<SoundWriter> file;

    std::unique_ptr<EnginePiece> piece;
    qint64 firstSample = 0; // where the piece starts in the channel's played speech
    qint64 samples = 0;     // made so far for this piece
    std::vector<WordMark> words;
    TextSpan lastWord;
    QString failure;

    bool abandoned() const
    {
        return channel->generation.load(std::memory_order_relaxed) != generation;
    }
    int deliver(const short *wav, int count, const espeak_EVENT *events);
};

namespace {

// espeak-ng calls back on the thread that called it: the worker's, one piece at a time.
thread_local SynthesisWorker::Job *currentJob = nullptr;

int synthCallback(short *wav, int count, espeak_EVENT *events)
{
    return currentJob ? currentJob->deliver(wav, count, events) : 1;
}

} // namespace

std::shared_ptr<SynthesisWorker> SynthesisWorker::instance()
{
    static std::mutex mutex;
    static std::weak_ptr<SynthesisWorker> shared;
    const std::lock_guard guard(mutex);
    if (auto worker = shared.lock())
        return worker;
    const Engine &engine = startEngine();
    std::shared_ptr<SynthesisWorker> worker(new SynthesisWorker(engine.sampleRate, engine.voices));
    shared = worker;
    return worker;
}

SynthesisWorker::SynthesisWorker(int sampleRate, QList<EspeakVoice> voices)
    : m_sampleRate(sampleRate), m_voices(std::move(voices))
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
    const std::lock_guard lock(m_mutex);
    m_channels.push_back(channel);
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

void SynthesisWorker::run()
{
    espeak_SetSynthCallback(synthCallback);
    std::unique_lock lock(m_mutex);
    for (;;) {
        std::shared_ptr<SpeechChannel> channel;
        m_wake.wait(lock, [&] { return m_stop || (channel = nextReadyChannel()); });
        if (m_stop)
            return;
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
    for (qsizetype i = job.start; i < job.end; ++i) {
        if (!job.text[i].isSpace())
            return true;
    }
    // Nothing to say in this piece (blanks between sentences, an empty text).
    if (job.lastPiece) {
        --channel.unfinished;
        postNews(channel);
    }
    return false;
}

void SynthesisWorker::synthesise(Job &job)
{
    if (job.voice != m_voice) {
        if (espeak_SetVoiceByName(job.voice.constData()) != EE_OK) {
            job.failure = u"Не удалось загрузить голос «%1» синтезатора речи espeak-ng."_s.arg(QString::fromUtf8(job.voice));
            return;
        }
        m_voice = job.voice;
        // A new voice brings its own speed and pitch.
        m_rate = -1;
        m_pitch = -1;
    }
    if (job.rate != m_rate) {
        espeak_SetParameter(espeakRATE, job.rate, 0);
        m_rate = job.rate;
    }
    if (job.pitch != m_pitch) {
        espeak_SetParameter(espeakPITCH, job.pitch, 0);
        m_pitch = job.pitch;
    }

    job.piece = std::make_unique<EnginePiece>(QStringView(job.text).sliced(job.start, job.end - job.start));
    currentJob = &job;
    const unsigned flags = espeakCHARS_WCHAR | (job.sentenceEnd ? espeakENDPAUSE : 0);
    const espeak_ERROR result = espeak_Synth(job.piece->data(), job.piece->byteSize(), 0, POS_CHARACTER, 0, flags,
                                             nullptr, nullptr);
    currentJob = nullptr;
    if (result != EE_OK && job.failure.isEmpty() && !job.abandoned())
        job.failure = u"Синтезатор речи espeak-ng не смог произнести текст."_s;

    if (job.file) {
        try {
            job.file->flush();
        } catch (const SpeechError &e) {
            if (job.failure.isEmpty())
                job.failure = e.message();
        }
    }
}

int SynthesisWorker::Job::deliver(const short *wav, int count, const espeak_EVENT *events)
{
    if (abandoned())
        return 1;

    const qint64 samplesPerSecond = worker->m_sampleRate;
    const size_t firstWord = words.size();
    for (const espeak_EVENT *e = events; e && e->type != espeakEVENT_LIST_TERMINATED; ++e) {
        // Now and then the engine reports a word of no length at position 0 between clauses.
        if (e->type != espeakEVENT_WORD || e->text_position < 1 || e->length <= 0)
            continue;
        // The engine counts characters from 1.
        const TextSpan word =
            wordAt(QStringView(text).sliced(start, end - start), piece->utf16Offset(e->text_position - 1));
        if (word.isEmpty() || word == lastWord)
            continue;
        lastWord = word;
        WordMark mark;
        mark.sample = firstSample + std::clamp(qint64(e->audio_position) * samplesPerSecond / 1000, samples, samples + count);
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
                return 1;
            }
        }
        samples += count;
        return 0;
    }

    const std::lock_guard lock(worker->m_mutex);
    if (abandoned())
        return 1;
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
    return 0;
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
