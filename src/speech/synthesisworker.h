// The one thread on which the synthesisers speak for every speech control of the program.
#pragma once

#include "synthesisengine.h"

#include <QList>
#include <QString>

#include <atomic>
#include <condition_variable>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <span>
#include <thread>
#include <vector>

namespace velmira {

class SoundWriter;

// How many of `samples` (at `sampleRate`) are the silence a synthesiser puts before its voice, less a
// few milliseconds kept before the voice sets in; all of them when they are all silent. Played speech
// leaves it out at the start of a text, where it would only hold back the first sound the user waits
// for (RHVoice's voices begin with about 35 ms of it, espeak-ng's with about 12).
qint64 leadingSilence(std::span<const qint16> samples, int sampleRate);

// A word the listener hears when the sample at `sample` is played: characters [position,
// position + length) of the text of Speak call `serial`.
struct WordMark
{
    qint64 sample = 0;
    quint64 serial = 0;
    int position = 0;
    int length = 0;
};

// What one speech control shares with the synthesis thread: its queue of texts, its voice, and the
// speech made for it. Everything here is guarded by SynthesisWorker::mutex() unless noted.
struct SpeechChannel
{
    struct Text
    {
        quint64 serial = 0;
        QString text;
        qsizetype next = 0; // where the next piece starts
    };

    // Set by the control. The voice is a position in SynthesisWorker::voices().
    int voice = 0;
    // Whether the control has chosen `voice` (Select). Only a chosen voice is got ready ahead of its
    // first words: the first voice, set before the settings are known, would cost a second of loading
    // that nobody asked for.
    bool voiceChosen = false;
    int rate = 0;
    int pitch = 0;
    std::deque<Text> texts;
    // Speech is written to `file` (none while it is being changed) instead of being played.
    bool toFile = false;
    std::shared_ptr<SoundWriter> file;
    // While set, no new piece is started for a file (the output of played speech is held instead).
    bool held = false;

    // Made by the worker for played speech: samples not yet taken by the control, and the words in
    // them, counted in samples since the last reset.
    std::deque<std::vector<qint16>> audio;
    size_t audioFrontTaken = 0;
    qint64 buffered = 0;
    qint64 produced = 0;
    std::deque<WordMark> marks;
    // Texts queued and not yet completely synthesised (or written).
    int unfinished = 0;
    // A failure the control has not reported yet.
    QString failure;

    // Changes at every reset; a piece made for an older generation is abandoned.
    std::atomic<quint64> generation{0};
    // The worker is synthesising a piece for this channel.
    bool busy = false;
    bool detached = false;
    // Tells the control that there is news (posted to its thread); empty once it is gone.
    std::function<void()> notify;
    bool notifyPending = false;
};

// Serves the queues of all speech controls on one thread, a piece at a time and in turn, so that a
// long recording never starves speech that is being played; each piece with its own control's
// voice, speed and pitch. Played speech is made only a few seconds ahead of what has been heard.
//
// The voices of all synthesisers (espeak-ng, and RHVoice when it is installed) are served alike and
// speak at espeak-ng's sample rate.
class SynthesisWorker
{
public:
    // The worker shared by all living controls, started on first use. Throws SpeechError when
    // espeak-ng cannot start (no voice data); RHVoice that cannot start only lends no voices.
    static std::shared_ptr<SynthesisWorker> instance();
    // Whether a worker started after this call starts RHVoice too (the default) or espeak-ng alone,
    // whose voices are then the only ones listed. A process that is to speak with a voice of
    // espeak-ng and list no others is spared RHVoice's start-up this way.
    static void setRhvoiceWanted(bool wanted);
    ~SynthesisWorker();

    SynthesisWorker(const SynthesisWorker &) = delete;
    SynthesisWorker &operator=(const SynthesisWorker &) = delete;

    int sampleRate() const { return m_sampleRate; }
    // The voices of every synthesiser, in the order of the program's engine list (see listVoices()).
    const QList<Voice> &voices() const { return m_voices; }

    std::mutex &mutex() { return m_mutex; }

    void attach(const std::shared_ptr<SpeechChannel> &channel);
    // Abandons the channel's work and forgets it; returns once the thread no longer touches it.
    void detach(const std::shared_ptr<SpeechChannel> &channel);
    // With the mutex held by `lock`: waits until the thread has finished its piece for `channel`.
    void waitUntilIdle(SpeechChannel &channel, std::unique_lock<std::mutex> &lock);
    // There may be new work (a text was queued, played speech was taken, a hold was released, a voice
    // was chosen).
    void wake();

    // Speech made this many samples ahead of what a control has taken is enough.
    qint64 aheadLimit() const { return qint64(m_sampleRate) * 3; }

    // A piece being synthesised (known to the engine's callback only).
    struct Job;

private:
    struct Engines;
    explicit SynthesisWorker(Engines engines);
    void run();
    std::shared_ptr<SpeechChannel> nextReadyChannel();
    // A voice chosen by a control that its synthesiser has not got ready yet; -1 when none.
    int nextVoiceToPrepare();
    bool takePiece(SpeechChannel &channel, Job &job);
    void synthesise(Job &job);
    void finishPiece(SpeechChannel &channel, Job &job);
    static void postNews(SpeechChannel &channel);

    std::vector<std::shared_ptr<SynthesisEngine>> m_engines;
    int m_sampleRate = 0;
    QList<Voice> m_voices;
    // The synthesiser of each voice.
    std::vector<SynthesisEngine *> m_voiceEngines;

    std::mutex m_mutex;
    std::condition_variable m_wake;
    std::condition_variable m_idle;
    std::vector<std::shared_ptr<SpeechChannel>> m_channels;
    std::vector<bool> m_prepared;
    size_t m_turn = 0;
    bool m_stop = false;

    std::thread m_thread;
};

} // namespace velmira
