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
#include <vector>

class QThread;

namespace velmira {

class Corrections;
class SpeechControl;

// Speaks texts after text preparation, in the order they were given. A long text is heard at once: its
// start is prepared and spoken straight away, while the whole text is prepared on a thread of its own,
// and the rest follows when it is ready. The speech therefore is what preparing the whole text at once
// gives; only when a correction reaches across the end of the start (a word of the dictionary that
// spans a sentence end) is the rest joined where the two preparations first differ.
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
    void read(const QString &text);
    // Drops the texts and rests still being prepared (the speech was stopped, or another text cuts in).
    void discard();
    // Whether a text is still being prepared.
    bool isPreparing() const { return m_preparing; }

signals:
    // Preparing the rest of a text stopped at a line of the dictionary: `message` names it.
    void dictionaryFailed(const QString &message);
    // The speech control refused the rest of a text.
    void speechFailed();

private:
    struct Prepared
    {
        QString whole;
        QString failure;
    };

    // A long text as it was prepared: the start spoken at once and the rest that followed.
    struct Parts
    {
        QString source;
        std::shared_ptr<const Corrections> corrections;
        QString opening;
        QString rest;
    };

    void start(const QString &text, const std::shared_ptr<const Corrections> &corrections);
    void restPrepared(quint64 generation, Parts parts, const std::shared_ptr<Prepared> &prepared);
    void speak(const QString &text);

    std::function<SpeechControl *()> m_speech;
    // Texts given while another was being prepared, with the dictionary they were given with.
    std::deque<std::pair<QString, std::shared_ptr<const Corrections>>> m_waiting;
    // The text being prepared, and the last long text prepared: the same text read again (Read pressed
    // over and over) is neither prepared nor held once more.
    QString m_preparingText;
    Parts m_last;
    std::vector<QPointer<QThread>> m_threads;
    // Counts discards: a rest prepared for an earlier generation is not spoken.
    quint64 m_generation = 0;
    bool m_preparing = false;
};

} // namespace velmira
