// Reading the editor's text aloud, pausing and stopping, and the choice of voice, speed and pitch on
// the main window's settings panel.
#pragma once

#include "reading/readingqueue.h"
#include "reading/speaker.h"

#include <QObject>
#include <QString>
#include <QStringList>

namespace velmira {

class ReadingHost;
class ReadingQueue;
class SpeechControl;

// The settings panel as the reading controller fills it: the list of voices and the speed and pitch
// bars. The controller reads the chosen voice and the bars' positions through its ReadingHost.
class VoicePanel
{
public:
    virtual ~VoicePanel() = default;

    // Appends a voice to the list: its display name, and what names it across runs
    // (SpeechControl::VoiceIdentity), which the list keeps for the settings file.
    virtual void addVoice(const QString &name, const QString &identity) = 0;
    virtual int voiceCount() const = 0;
    // Chooses the voice at `position` in the list; -1 chooses none.
    virtual void chooseVoice(int position) = 0;
    // The limits of the speed and pitch bars. A bar whose position falls outside moves inside.
    virtual void setLimits(int minSpeed, int maxSpeed, int minPitch, int maxPitch) = 0;
    // Moves a bar. Every move of a bar, the program's or the user's, reaches speedMoved or pitchMoved.
    virtual void moveSpeed(int position) = 0;
    virtual void movePitch(int position) = 0;
};

// Drives the main speech control from the settings panel and the reading commands. It keeps no
// reading state of its own: whether speech runs or is held is known only to the speech control.
class ReadingController : public QObject
{
    Q_OBJECT

public:
    ReadingController(ReadingHost &host, VoicePanel &panel, QObject *parent = nullptr);

    // The start-up step: lists the engines, speaks an empty text once, selects the stored engine
    // ("EngineVoice" by name, else "Engine" by position) and sets it up. Failures are thrown to the
    // caller.
    void startUp();
    // Applies the engine chosen in the list to the speech control and the bars, with the stored speed
    // and pitch when they lie within the engine's limits. Failures are thrown to the caller.
    void setUpEngine();

    // The user chose a voice in the list (the program's own changes of the choice do not count).
    void voiceChosen();
    // A bar moved: the speech control takes the new position.
    void speedMoved(int position);
    void pitchMoved(int position);

    // Read: speaks the selection, or the whole text when nothing is selected, after text preparation,
    // behind whatever is queued, and resumes held speech. A long text is heard before it is copied and
    // prepared whole (see ReadingQueue). Reports failures in the status bar.
    void Read();
    // Holds the speech; the next Read resumes it. Failures are thrown to the caller.
    void Pause();
    // Stops the speech and discards everything queued, texts still being prepared included. Failures
    // are thrown to the caller.
    void Stop();
    // Cuts off whatever is being spoken and speaks `text` after text preparation, with the control's
    // current voice even when no engine is chosen in the list. Reports failures in a message box.
    void ReadText(const QString &text);
    // The same for several texts, spoken one after another; a failure is reported once.
    void ReadText(const QStringList &texts);

    // A whole text longer than this (in the editor's characters) is read in two steps: its start at
    // once, the whole of it copied from the editor once the first words are heard.
    static constexpr qsizetype OpeningLength = 2 * ReadingQueue::StartLength;

private:
    // Gives the queue the whole text whose opening it is speaking, when it still waits for it.
    void copyRest();

    // The default positions within the current engine's limits.
    int defaultSpeed(SpeechControl &speech) const;
    int defaultPitch(SpeechControl &speech) const;

    ReadingHost &m_host;
    VoicePanel &m_panel;
    Speaker m_speaker;
    ReadingQueue *m_queue;
    // The list position of the engine last set up, or -1.
    int m_engineSetUp = -1;
};

} // namespace velmira
