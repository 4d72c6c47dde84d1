#include "readingqueue.h"

#include "common/core/stringops.h"
#include "dictionary/textpreparation.h"
#include "speech/speechcontrol.h"
#include "speech/textpieces.h"

#include <QThread>
#include <QTimer>

#include <algorithm>

namespace velmira {

namespace {

// How many characters `a` and `b` begin with alike.
qsizetype sameStart(QStringView a, QStringView b)
{
    const qsizetype common = std::min(a.size(), b.size());
    return std::mismatch(a.begin(), a.begin() + common, b.begin()).first - a.begin();
}

} // namespace

ReadingQueue::ReadingQueue(std::function<SpeechControl *()> speech, QObject *parent)
    : QObject(parent), m_speech(std::move(speech)), m_finderCheck(new QTimer(this))
{
    m_finderCheck->setInterval(50);
    connect(m_finderCheck, &QTimer::timeout, this, &ReadingQueue::checkFinder);
}

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
    if (!shareIfEqual(m_lastRead, text))
        m_lastRead = text;
    Text queued{m_lastRead, correctionsInUse(), ++m_lastTextId, fromSelection};
    if (m_preparing) {
        m_waiting.push_back(std::move(queued));
        return;
    }
    start(queued);
}

bool ReadingQueue::readOpening(const QString &opening)
{
    if (m_preparing || !m_waiting.empty() || opening.isEmpty())
        return false;
    const std::shared_ptr<const Corrections> corrections = correctionsInUse();
    // Where the synthesiser would cut the text anyway, so that it sounds as when read whole.
    const qsizetype cut = findPieceEnd(opening, 0, StartLength).end;
    if (corrections && !corrections->appliesAtOnce(cut))
        return false;
    Opening started{Text{QString(), corrections, ++m_lastTextId, false}, cut, QString()};
    const QString source = opening.first(cut);
    started.spoken = corrections ? corrections->apply(source) : source;
    speak(started.text, source, started.spoken);
    m_opening = std::move(started);
    m_preparing = true;
    return true;
}

void ReadingQueue::readRest(const QString &whole)
{
    if (!m_opening)
        return;
    Opening opening = std::move(*m_opening);
    m_opening.reset();
    m_preparing = false;
    if (!shareIfEqual(m_lastRead, whole))
        m_lastRead = whole;
    Text &text = opening.text;
    text.text = m_lastRead;
    try {
        if (!text.corrections) {
            // Read on from where the text and its spoken start part (at the cut, unless it was edited).
            const qsizetype same = sameStart(opening.spoken, text.text);
            if (same < text.text.size())
                speak(text, text.text, text.text, same, text.text.sliced(same));
        } else if (text.corrections == m_last.corrections && m_last.source == text.text &&
                   m_last.opening == opening.spoken) {
            if (m_last.same < m_last.whole.size())
                speak(text, text.text, m_last.whole, m_last.same, m_last.rest);
        } else {
            prepareRest(text, Parts{text.text, text.corrections, text.text.first(std::min(opening.cut, text.text.size())),
                                    opening.spoken, {}, 0, {}});
            return;
        }
    } catch (const std::exception &) {
        m_waiting.clear();
        emit speechFailed();
        return;
    }
    startWaiting();
}

void ReadingQueue::discard()
{
    ++m_generation;
    m_waiting.clear();
    m_preparing = false;
    m_awaitingFinder = false;
    m_opening.reset();
}

void ReadingQueue::speak(const Text &text, const QString &original, const QString &spoken)
{
    speak(text, original, spoken, 0, spoken);
}

void ReadingQueue::speak(const Text &text, const QString &original, const QString &spoken, qsizetype offset,
                         const QString &rest)
{
    SpeechControl *speech = m_speech();
    if (!speech)
        return;
    // Speech cut off by anyone (a reminder, the clipboard, the dictionary window) takes the rests
    // still being prepared with it.
    connect(speech, &SpeechControl::discarded, this, &ReadingQueue::discard, Qt::UniqueConnection);
    speech->Speak(rest);
    emit queued(text.id, text.fromSelection, original, spoken, offset);
}

void ReadingQueue::start(const Text &queued)
{
    const QString &text = queued.text;
    const std::shared_ptr<const Corrections> &corrections = queued.corrections;
    // Without a dictionary nothing is prepared: the speech control cuts the text into pieces itself.
    if (!corrections || text.size() <= StartLength) {
        if (corrections && !corrections->appliesAtOnce(text.size()))
            waitForFinder(queued);
        else
            speak(queued, text, corrections ? corrections->apply(text) : text);
        return;
    }
    if (corrections == m_last.corrections && m_last.source == text) {
        speak(queued, m_last.openingSource, m_last.opening);
        if (m_last.same < m_last.whole.size())
            speak(queued, text, m_last.whole, m_last.same, m_last.rest);
        return;
    }
    // The start ends where the synthesiser would cut the text anyway, so that it sounds the same.
    const qsizetype cut = findPieceEnd(text, 0, StartLength).end;
    if (!corrections->appliesAtOnce(cut)) {
        waitForFinder(queued);
        return;
    }
    Parts parts{text, corrections, text.first(cut), corrections->apply(text.first(cut)), {}, 0, {}};
    speak(queued, parts.openingSource, parts.opening);
    prepareRest(queued, std::move(parts));
}

void ReadingQueue::prepareRest(const Text &queued, Parts parts)
{
    const QString &text = queued.text;
    const std::shared_ptr<const Corrections> &corrections = queued.corrections;
    m_preparing = true;
    const quint64 generation = m_generation;
    auto prepared = std::make_shared<Prepared>();
    QThread *thread = QThread::create([text, corrections, prepared] {
        try {
            prepared->whole = corrections->apply(text);
        } catch (const Error &error) {
            prepared->failure = error.message();
        }
    });
    connect(thread, &QThread::finished, this, [this, thread, generation, queued, parts = std::move(parts), prepared] {
        std::erase(m_threads, QPointer<QThread>(thread));
        thread->deleteLater();
        restPrepared(generation, queued, parts, prepared);
    });
    m_threads.emplace_back(thread);
    thread->start();
}

void ReadingQueue::restPrepared(quint64 generation, const Text &text, Parts parts, const std::shared_ptr<Prepared> &prepared)
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
    const QString &opening = parts.opening;
    const qsizetype same = sameStart(opening, whole);
    parts.whole = whole;
    parts.same = same;
    parts.rest = whole.sliced(same);
    m_last = std::move(parts);
    try {
        if (same < whole.size())
            speak(text, text.text, m_last.whole, same, m_last.rest);
    } catch (const std::exception &) {
        m_waiting.clear();
        emit speechFailed();
        return;
    }
    startWaiting();
}

void ReadingQueue::startWaiting()
{
    try {
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

void ReadingQueue::waitForFinder(const Text &text)
{
    m_preparing = true;
    m_awaitingFinder = true;
    m_waiting.push_front(text);
    m_finderCheck->start();
}

void ReadingQueue::checkFinder()
{
    // Discarded meanwhile.
    if (!m_awaitingFinder) {
        m_finderCheck->stop();
        return;
    }
    if (!m_waiting.front().corrections->isReady())
        return;
    m_finderCheck->stop();
    m_awaitingFinder = false;
    m_preparing = false;
    startWaiting();
}

} // namespace velmira
