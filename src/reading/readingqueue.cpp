#include "readingqueue.h"

#include "common/core/stringops.h"
#include "dictionary/textpreparation.h"
#include "speech/speechcontrol.h"
#include "speech/textpieces.h"

#include <QThread>

namespace velmira {

ReadingQueue::ReadingQueue(std::function<SpeechControl *()> speech, QObject *parent)
    : QObject(parent), m_speech(std::move(speech))
{}

ReadingQueue::~ReadingQueue()
{
    for (const QPointer<QThread> &thread : m_threads) {
        if (thread) {
            thread->wait();
            delete thread.data();
        }
    }
}

void ReadingQueue::read(const QString &text)
{
    const std::shared_ptr<const Corrections> corrections = correctionsInUse();
    if (m_preparing) {
        QString waiting = text;
        shareIfEqual(waiting, m_waiting.empty() ? m_preparingText : m_waiting.back().first);
        m_waiting.emplace_back(std::move(waiting), corrections);
        return;
    }
    start(text, corrections);
}

void ReadingQueue::discard()
{
    ++m_generation;
    m_waiting.clear();
    m_preparing = false;
    m_preparingText.clear();
}

void ReadingQueue::speak(const QString &text)
{
    SpeechControl *speech = m_speech();
    if (!speech)
        return;
    // Speech cut off by anyone (a reminder, the clipboard, the dictionary window) takes the rests
    // still being prepared with it.
    connect(speech, &SpeechControl::discarded, this, &ReadingQueue::discard, Qt::UniqueConnection);
    speech->Speak(text);
}

void ReadingQueue::start(const QString &text, const std::shared_ptr<const Corrections> &corrections)
{
    // Without a dictionary nothing is prepared: the speech control cuts the text into pieces itself.
    if (!corrections || text.size() <= StartLength) {
        speak(corrections ? corrections->apply(text) : text);
        return;
    }
    if (corrections == m_last.corrections && m_last.source == text) {
        speak(m_last.opening);
        if (!m_last.rest.isEmpty())
            speak(m_last.rest);
        return;
    }
    // The start ends where the synthesiser would cut the text anyway, so that it sounds the same.
    const qsizetype cut = findPieceEnd(text, 0, StartLength).end;
    Parts parts{text, corrections, corrections->apply(text.first(cut)), {}};
    speak(parts.opening);

    m_preparing = true;
    m_preparingText = text;
    const quint64 generation = m_generation;
    auto prepared = std::make_shared<Prepared>();
    QThread *thread = QThread::create([text, corrections, prepared] {
        try {
            prepared->whole = corrections->apply(text);
        } catch (const Error &error) {
            prepared->failure = error.message();
        }
    });
    connect(thread, &QThread::finished, this, [this, thread, generation, parts = std::move(parts), prepared] {
        std::erase(m_threads, QPointer<QThread>(thread));
        thread->deleteLater();
        restPrepared(generation, parts, prepared);
    });
    m_threads.emplace_back(thread);
    thread->start();
}

void ReadingQueue::restPrepared(quint64 generation, Parts parts, const std::shared_ptr<Prepared> &prepared)
{
    if (generation != m_generation)
        return;
    m_preparing = false;
    m_preparingText.clear();
    if (!prepared->failure.isEmpty()) {
        // What was queued behind the text is not read either, as when Read itself reports.
        m_waiting.clear();
        emit dictionaryFailed(prepared->failure);
        return;
    }
    const QString &whole = prepared->whole;
    const QString &opening = parts.opening;
    qsizetype same = 0;
    const qsizetype common = std::min(opening.size(), whole.size());
    while (same < common && opening[same] == whole[same])
        ++same;
    parts.rest = whole.sliced(same);
    m_last = std::move(parts);
    try {
        if (!m_last.rest.isEmpty())
            speak(m_last.rest);
        while (!m_preparing && !m_waiting.empty()) {
            const auto [text, corrections] = std::move(m_waiting.front());
            m_waiting.pop_front();
            start(text, corrections);
        }
    } catch (const DictionaryRunaway &error) {
        m_waiting.clear();
        emit dictionaryFailed(error.message());
    } catch (const std::exception &) {
        m_waiting.clear();
        emit speechFailed();
    }
}

} // namespace velmira
