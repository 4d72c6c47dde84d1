// Handing the texts that are read aloud to the speech control without holding the window while a long
// text is prepared.
#pragma once

#include <QObject>
#include <QPointer>
#include <QString>
#include <QStringList>

#include <deque>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

class QThread;
class QTimer;

namespace velmira {

class Corrections;
class SpeechControl;

// Speaks texts after text preparation, in the order they were given. A long text is heard at once: its
// start is prepared and spoken straight away, while the whole text is prepared on a thread of its own,
// and the rest follows when it is ready. The speech therefore is what preparing the whole text at once
// gives; only when a correction reaches across the end of the start (a word of the dictionary that
// spans a sentence end) is the rest joined where the two preparations first differ.
//
// While the finder of a large dictionary is still being built, a text that would have to wait for it
// waits in the queue, with the window free, and is spoken when the finder is ready.
class ReadingQueue : public QObject
{
    Q_OBJECT

public:
    // A text longer than this is spoken in two steps.
    static constexpr qsizetype StartLength = 2000;

    explicit ReadingQueue(std::function<SpeechControl *()> speech, QObject *parent = nullptr);
    // Waits for a preparation that is under way.
    ~ReadingQueue() override;

    // Queues `text` behind what is queued: a text given while another is still being prepared waits
    // for it. Throws what text preparation throws for the dictionary file and for the start of the
    // text (Error, DictionaryRunaway), and what the speech control's Speak throws.
    void read(const QString &text, bool fromSelection = false);
    // Speaks the start of a long text before the whole of it is known: `opening` is how the text
    // begins (a few thousand characters of it), and readRest gives the whole text once it is copied.
    // Meanwhile texts given with read wait. False, and nothing spoken, when the start cannot go first
    // (texts are waiting already, or the dictionary is still being read): read the whole text then.
    // Throws as read does.
    bool readOpening(const QString &opening);
    // The whole text whose opening is being spoken; ignored when it was discarded meanwhile. Its start
    // may differ from the opening (the text was edited since): what follows is then read from where
    // they part.
    void readRest(const QString &whole);
    bool awaitsRest() const { return m_opening.has_value(); }
    // Drops the texts and rests still being prepared (the speech was stopped, or another text cuts in).
    void discard();
    // Whether a text is still being prepared.
    bool isPreparing() const { return m_preparing; }

signals:
    // Preparing the rest of a text stopped at a line of the dictionary: `message` names it.
    void dictionaryFailed(const QString &message);
    // The speech control refused the rest of a text.
    void speechFailed();
    // `spoken` from `offset` on has just been queued on the speech control for the text numbered
    // `textId` (read from the editor's selection when `fromSelection`); `original` is the text, or its
    // start, that `spoken` was prepared from. A long text comes in two pieces with the same number.
    void queued(quint64 textId, bool fromSelection, const QString &original, const QString &spoken,
                qsizetype offset);

private:
    struct Text
    {
        QString text;
        std::shared_ptr<const Corrections> corrections;
        quint64 id = 0;
        bool fromSelection = false;
    };
    struct Prepared
    {
        QString whole;
        QString failure;
    };

    // A long text as it was prepared: its start as read and as spoken, and the whole text prepared,
    // whose `rest` from `same` on follows the start.
    struct Parts
    {
        QString source;
        std::shared_ptr<const Corrections> corrections;
        QString openingSource;
        QString opening;
        QString whole;
        qsizetype same = 0;
        QString rest;
    };

    // The start of a text given by readOpening, spoken while the whole text is awaited: `cut` characters
    // of `text.text`, prepared as `spoken`.
    struct Opening
    {
        Text text;
        qsizetype cut = 0;
        QString spoken;
    };

    void start(const Text &text);
    // Prepares the whole of a long text whose opening `parts` has been spoken, on a thread of its own.
    void prepareRest(const Text &text, Parts parts);
    // Starts the texts waiting, in turn, until one is being prepared; reports what they throw.
    void startWaiting();
    // `text` waits at the head of the queue until the finder of its dictionary is ready.
    void waitForFinder(const Text &text);
    void checkFinder();
    void restPrepared(quint64 generation, const Text &text, Parts parts, const std::shared_ptr<Prepared> &prepared);
    // Speaks `spoken` (from `original`) whole, or its rest from `offset` on, which is `rest`.
    void speak(const Text &text, const QString &original, const QString &spoken);
    void speak(const Text &text, const QString &original, const QString &spoken, qsizetype offset,
               const QString &rest);

    std::function<SpeechControl *()> m_speech;
    // Texts given while another was being prepared, with the dictionary they were given with.
    std::deque<Text> m_waiting;
    // The last text read, and the last long text prepared: the same text read again (Read pressed
    // over and over, each time with a copy of the editor's text of its own) shares their memory, here,
    // in the speech control's queue and wherever word following keeps it, and is not prepared again.
    QString m_lastRead;
    Parts m_last;
    quint64 m_lastTextId = 0;
    std::vector<QPointer<QThread>> m_threads;
    // Looks whether the finder that the first text waiting needs is ready, while m_awaitingFinder.
    QTimer *m_finderCheck = nullptr;
    bool m_awaitingFinder = false;
    // Counts discards: a rest prepared for an earlier generation is not spoken.
    quint64 m_generation = 0;
    bool m_preparing = false;
    std::optional<Opening> m_opening;
};

} // namespace velmira
