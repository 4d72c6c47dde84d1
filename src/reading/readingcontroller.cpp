#include "readingcontroller.h"

#include "common/core/prompter.h"
#include "common/core/settings.h"
#include "reading/readinghost.h"
#include "reading/readingqueue.h"
#include "reading/wordfollower.h"
#include "speech/speechcontrol.h"

#include <QTimer>

#include <algorithm>

using namespace Qt::StringLiterals;

namespace velmira {

namespace {

// How long the start of a long text waits for its first words to be heard before the rest is copied.
constexpr int RestDelayMs = 250;

} // namespace

ReadingController::ReadingController(ReadingHost &host, VoicePanel &panel, QObject *parent)
    : QObject(parent), m_host(host), m_panel(panel), m_speaker(host),
      m_queue(new ReadingQueue([&host] { return host.speech(); }, this))
{
    connect(m_queue, &ReadingQueue::dictionaryFailed, this, [this](const QString &message) {
        m_speaker.showInBox(message);
    });
    connect(m_queue, &ReadingQueue::speechFailed, this, [this] { m_host.statusMessage(speechFailureText()); });
    connect(m_queue, &ReadingQueue::queued, this,
            [this](quint64 textId, bool fromSelection, const QString &original, const QString &spoken,
                   qsizetype offset) {
                SpeechControl *speech = m_host.speech();
                if (WordFollower *follower = m_host.wordFollower(); follower && speech)
                    follower->followPiece(*speech, textId, fromSelection, original, spoken, offset);
            });
}

void ReadingController::startUp()
{
    SpeechControl *speech = m_host.speech();
    if (!speech)
        return;
    const int count = speech->CountEngines();
    int named = -1;
    const QString voice = readSetting(settings::EngineVoice);
    for (int i = 1; i <= count; ++i) {
        const QString identity = speech->VoiceIdentity(i);
        m_panel.addVoice(speech->ModeName(i), identity);
        m_panel.chooseVoice(0);
        if (named < 0 && !voice.isEmpty() && identity == voice)
            named = i - 1;
    }
    speech->Speak(QString());
    const int stored = readSetting(settings::Engine);
    // The voice named when the program last closed, wherever voices installed or removed since have
    // moved it. When it is gone (its synthesiser was removed) the stored position means another
    // voice, perhaps of another language: the first voice, a Russian one, stands in.
    if (named >= 0 || (!voice.isEmpty() && count > 0))
        m_panel.chooseVoice(std::max(named, 0));
    else // A stored position that is not in the list leaves no engine selected; Read then reports.
        m_panel.chooseVoice(stored >= 0 && stored < m_panel.voiceCount() ? stored : -1);
    setUpEngine();
}

int ReadingController::defaultSpeed(SpeechControl &speech) const
{
    const int low = speech.MinSpeed();
    return int(low + (double(speech.MaxSpeed()) - low) / 4);
}

int ReadingController::defaultPitch(SpeechControl &speech) const
{
    const int low = speech.MinPitch();
    return int(low + (double(speech.MaxPitch()) - low) / 3);
}

void ReadingController::setUpEngine()
{
    SpeechControl *speech = m_host.speech();
    const int position = m_host.voice();
    if (!speech || position < 0)
        return;
    speech->Select(position + 1);
    m_engineSetUp = position;

    m_panel.setLimits(speech->MinSpeed(), speech->MaxSpeed(), speech->MinPitch(), speech->MaxPitch());
    m_panel.moveSpeed(defaultSpeed(*speech));
    m_panel.movePitch(defaultPitch(*speech));

    const int storedSpeed = readSetting(settings::ReadSpeed).value_or(m_host.speed());
    const int storedPitch = readSetting(settings::ReadPitch).value_or(m_host.pitch());
    if (storedPitch >= speech->MinPitch() && storedPitch <= speech->MaxPitch())
        m_panel.movePitch(storedPitch);
    if (storedSpeed >= speech->MinSpeed() && storedSpeed <= speech->MaxSpeed())
        m_panel.moveSpeed(storedSpeed);

    // A bar that did not move sent nothing to the control, which may still hold the values of the
    // engine before: the control always speaks with what the bars show.
    speech->setSpeed(m_host.speed());
    speech->setPitch(m_host.pitch());
}

void ReadingController::voiceChosen()
{
    // Picking the entry that is already chosen is no change of engine.
    if (m_host.voice() == m_engineSetUp)
        return;
    setUpEngine();
    SpeechControl *speech = m_host.speech();
    if (!speech || m_host.voice() < 0)
        return;
    // A new engine starts from its own defaults; stored values apply only at start-up.
    m_panel.moveSpeed(defaultSpeed(*speech));
    m_panel.movePitch(defaultPitch(*speech));
    speech->setSpeed(m_host.speed());
    speech->setPitch(m_host.pitch());
}

void ReadingController::speedMoved(int position)
{
    if (SpeechControl *speech = m_host.speech())
        speech->setSpeed(position);
}

void ReadingController::pitchMoved(int position)
{
    if (SpeechControl *speech = m_host.speech())
        speech->setPitch(position);
}

void ReadingController::Read()
{
    // The whole text is copied only when it is what is read, and a long one only once its start is
    // heard: the copy holds the window (tens of milliseconds at 10 M characters).
    const QString selected = m_host.selectedText();
    const bool inTwoSteps = selected.isEmpty() && m_host.wholeTextLength() > OpeningLength;
    const QString text = !selected.isEmpty() ? selected
                         : inTwoSteps        ? m_host.wholeTextStart(OpeningLength)
                                             : m_host.wholeText();
    if (text.isEmpty()) {
        m_host.statusMessage(u"Нет текста для чтения"_s);
        return;
    }
    // Without a voice chosen in the list there is nothing to read with.
    if (!m_host.speech() || m_host.voice() < 0) {
        m_host.statusMessage(speechFailureText());
        return;
    }
    m_speaker.attempt(
        [&](SpeechControl &speech) {
            if (!inTwoSteps) {
                m_queue->read(text, !selected.isEmpty());
            } else if (!m_queue->readOpening(text)) {
                m_queue->read(m_host.wholeText());
            } else {
                // Once the first words are heard, the output holds enough speech to ride over the
                // copy; a start without words waits a moment instead.
                connect(&speech, &SpeechControl::wordReached, this, &ReadingController::copyRest,
                        Qt::SingleShotConnection);
                QTimer::singleShot(RestDelayMs, this, &ReadingController::copyRest);
            }
            speech.AudioResume();
        },
        Speaker::Report::StatusBar);
}

void ReadingController::copyRest()
{
    if (!m_queue->awaitsRest())
        return;
    m_speaker.attempt([&](SpeechControl &) { m_queue->readRest(m_host.wholeText()); }, Speaker::Report::StatusBar);
}

void ReadingController::Pause()
{
    if (SpeechControl *speech = m_host.speech())
        speech->AudioPause();
}

void ReadingController::Stop()
{
    m_queue->discard();
    if (SpeechControl *speech = m_host.speech())
        speech->AudioReset();
}

void ReadingController::ReadText(const QString &text)
{
    // No engine check here, unlike Read: a reminder is spoken with whatever voice the control has. Once
    // the main window has closed there is no control, and nothing speaks any more.
    m_speaker.say(text, Speaker::Turn::CutOff, Speaker::Report::MessageBox);
}

void ReadingController::ReadText(const QStringList &texts)
{
    Speaker::Turn turn = Speaker::Turn::CutOff;
    for (const QString &text : texts) {
        // After a failure the rest would fail as well: one box tells of them all.
        if (!m_speaker.say(text, turn, Speaker::Report::MessageBox))
            return;
        turn = Speaker::Turn::Queue;
    }
}

} // namespace velmira
