// The window that records the editor's text, spoken, into a sound file.
#pragma once

#include "common/ui/dialogwindow.h"

#include <functional>
#include <memory>

class QLabel;
class QLineEdit;
class QTimer;

namespace velmira {

class LabelButton;
class Prompter;
class ReadingHost;
class SpeechControl;

// Speaks the editor's selection, or its whole text, into a sound file (WAV, MP3, Ogg Vorbis, Opus or
// FLAC, as the file's extension says) with a speech control of its own,
// which takes the main control's voice, speed and pitch. Recording runs as fast as the engine can
// synthesise; the end comes from the control's finished signal. The window's colour tells its state:
// green at first, red while recording, blue once a recording has ended or been interrupted.
class RecordingWindow : public DialogWindow
{
    Q_OBJECT

public:
    // The window records the text `host` gives (its selection, or its whole text) with the voice,
    // speed and pitch `host` has chosen; `hideToTray` hides the program to the notification area.
    RecordingWindow(std::unique_ptr<SpeechControl> recorder, ReadingHost &host,
                    std::function<void()> hideToTray, QWidget *parent = nullptr);
    ~RecordingWindow() override;

    bool isRecording() const;

    // The progress text for a file of `bytes` bytes: "Записано: N кб", N the size in kilobytes
    // rounded to the nearest whole number, a half to the even one.
    static QString progressText(qint64 bytes);

protected:
    bool previewKey(QKeyEvent *event) override;

private:
    void StaticText6Click();
    void StaticText2Click();
    void StaticText7Click();
    void Edit1Change();
    void Timer1Timer();
    void start();
    void interrupt();
    void finishedSpeaking();
    void failedSpeaking();
    void setLocked(bool locked);

    ReadingHost &m_host;
    Prompter &m_prompter;
    std::unique_ptr<SpeechControl> m_recorder;
    std::function<void()> m_hideToTray;
    QLineEdit *m_path = nullptr;
    LabelButton *m_choose = nullptr;
    LabelButton *m_startStop = nullptr;
    LabelButton *m_back = nullptr;
    LabelButton *m_minimize = nullptr;
    QLabel *m_progress = nullptr;
    QTimer *m_timer1 = nullptr;
    QString m_lastChosen;
};

} // namespace velmira
