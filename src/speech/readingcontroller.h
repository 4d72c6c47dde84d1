// Reading the editor's text aloud, pausing and stopping, and the choice of voice engine, speed and
// pitch on the main window's settings panel.
#pragma once

#include <QObject>
#include <QString>
#include <functional>

class QComboBox;
class QLabel;
class QScrollBar;
class QWidget;

namespace velmira {

class Prompter;
class ReadingQueue;
class SpeechControl;

// Drives the main speech control from the settings panel and the reading commands. It keeps no
// reading state of its own: whether speech runs or is held is known only to the speech control.
class ReadingController : public QObject
{
    Q_OBJECT

public:
    // The settings panel's controls.
    struct Controls
    {
        QComboBox *engineList = nullptr; // lstEngine
        QScrollBar *speedBar = nullptr;  // hscSpeed
        QScrollBar *pitchBar = nullptr;  // hscPitch
        QLabel *speedLabel = nullptr;    // Label1
        QLabel *pitchLabel = nullptr;    // Label2
    };

    // What the controller needs from the main window.
    struct Window
    {
        QWidget *owner = nullptr;
        Prompter *prompter = nullptr;
        // The main speech control; null when there is none (not created, or the window has closed).
        std::function<SpeechControl *()> speech;
        // The editor's whole text and its selected text, as plain text.
        std::function<QString()> wholeText;
        std::function<QString()> selectedText;
        // A short message in the status bar.
        std::function<void(const QString &)> statusMessage;
    };

    ReadingController(const Controls &controls, Window window, QObject *parent = nullptr);

    // The start-up step: lists the engines, speaks an empty text once, selects the stored engine
    // ("Engine") and sets it up. Failures are thrown to the caller.
    void startUp();
    // Applies the engine chosen in the list to the speech control and the scroll bars, with the stored
    // speed and pitch when they lie within the engine's limits. Failures are thrown to the caller.
    void setUpEngine();

    // Read: speaks the selection, or the whole text when nothing is selected, after text preparation,
    // behind whatever is queued, and resumes held speech. A long text is heard before it is prepared
    // whole (see ReadingQueue). Reports failures in the status bar.
    void Read();
    // Holds the speech; the next Read resumes it. Failures are thrown to the caller.
    void Pause();
    // Stops the speech and discards everything queued, texts still being prepared included. Failures
    // are thrown to the caller.
    void Stop();
    // Cuts off whatever is being spoken and speaks `text` after text preparation, with the control's
    // current voice even when no engine is chosen in the list. Reports failures in a message box.
    void ReadText(const QString &text);

    // The message a failed Read or ReadText shows.
    static QString failureText();

    // What the controller was given of the main window (other ways of speaking need the same).
    const Window &window() const { return m_window; }

private:
    void engineChosen();
    void speedMoved(int position);
    void pitchMoved(int position);
    // The default positions within the current engine's limits.
    int defaultSpeed(SpeechControl &speech) const;
    int defaultPitch(SpeechControl &speech) const;
    void reportInBox(const QString &text);

    Controls m_controls;
    Window m_window;
    ReadingQueue *m_queue;
    // The list position of the engine last set up, or -1.
    int m_engineSetUp = -1;
};

} // namespace velmira
