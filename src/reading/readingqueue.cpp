#include "readingqueue.h"

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

void ReadingQueue::read(const QString &text, bool fromSelection)
{
    Text queued{text, correctionLinesInUse(), ++m_lastTextId, fromSelection};
    if (m_preparing) {
        m_waiting.push_back(std::move(queued));
        return;
    }
    start(queued);
}

void ReadingQueue::discard()
{
    ++m_generation;
    m_waiting.clear();
    m_preparing = false;
}

void ReadingQueue::speak(const Text &text, const QString &original, const QString &spoken, qsizetype offset)
{
    SpeechControl *speech = m_speech();
    if (!speech)
        return;
    // Speech cut off by anyone (a reminder, the clipboard, the dictionary window) takes the rests
    // still being prepared with it.
    connect(speech, &SpeechControl::discarded, this, &ReadingQueue::discard, Qt::UniqueConnection);
    speech->Speak(offset == 0 ? spoken : spoken.sliced(offset));
    emit queued(text.id, text.fromSelection, original, spoken, offset);
}

void ReadingQueue::start(const Text &queued)
{
    const QString &text = queued.text;
    const QStringList &lines = queued.lines;
    // Without a dictionary nothing is prepared: the speech control cuts the text into pieces itself.
    if (lines.isEmpty() || text.size() <= StartLength) {
        speak(queued, text, lines.isEmpty() ? text : applyCorrections(text, lines));
        return;
    }
    // The start ends where the synthesiser would cut the text anyway, so that it sounds the same.
    const qsizetype cut = findPieceEnd(text, 0, StartLength).end;
    const QString opening = applyCorrections(text.first(cut), lines);
    speak(queued, text.first(cut), opening);

    m_preparing = true;
    const quint64 generation = m_generation;
    auto prepared = std::make_shared<Prepared>();
    QThread *thread = QThread::create([text, lines, prepared] {
        try {
            prepared->whole = applyCorrections(text, lines);
        } catch (const Error &error) {
            prepared->failure = error.message();
        }
    });
    connect(thread, &QThread::finished, this, [this, thread, generation, queued, opening, prepared] {
        std::erase(m_threads, QPointer<QThread>(thread));
        thread->deleteLater();
        restPrepared(generation, queued, opening, prepared);
    });
    m_threads.emplace_back(thread);
    thread->start();
}

void ReadingQueue::restPrepared(quint64 generation, const Text &text, const QString &opening,
                                const std::shared_ptr<Prepared> &prepared)
{
    if (generation != m_generation)
        return;
    m_preparing = false;
    if (!prepared->failure.isEmpty()) {
        // What was queued behind the text is not read either, as when Read itself reports.
        m_waiting.clear();
        emit dictionaryFailed(prepared->failure);
        return;
    }
    const QString &whole = prepared->whole;
    qsizetype same = 0;
    const qsizetype common = std::min(opening.size(), whole.size());
    while (same < common && opening[same] == whole[same])
        ++same;
    try {
        if (same < whole.size())
            speak(text, text.text, whole, same);
        while (!m_preparing && !m_waiting.empty()) {
            const Text next = std::move(m_waiting.front());
            m_waiting.pop_front();
            start(next);
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
