// Speaking without a Read command: the clipboard on demand, every new clipboard text (clipboard
// tracking) and every word as it is typed (typing tracking).
#pragma once

#include "reading/speaker.h"

#include <QObject>
#include <QString>
#include <functional>

class QAbstractButton;
class QKeyEvent;
class QTextEdit;
class QTimer;

namespace velmira {

class ReadingHost;

// Drives clipboard and typing tracking from the main window's two toggle buttons, which exclude each
// other and may both be up. Switching typing tracking on releases clipboard tracking and stops its
// polling too, so the clipboard button always shows whether the clipboard is being listened to.
class TrackingController : public QObject
{
    Q_OBJECT

public:
    struct Controls
    {
        QAbstractButton *typingButton = nullptr;    // SpeedButton5
        QAbstractButton *clipboardButton = nullptr; // SpeedButton9
        QTimer *timer = nullptr;                    // Timer1, polls the clipboard
        QTextEdit *editor = nullptr;                // RichEdit1
    };

    TrackingController(const Controls &controls, ReadingHost &host, QObject *parent = nullptr);

    // Whether the desktop keeps a program from reading the clipboard while another program's window is
    // active, as Wayland does. Found from the platform; tests set it.
    void setBlindInBackground(bool blind) { m_blindInBackground = blind; }

    // At start-up with clipboard tracking stored on: puts the clipboard button down, remembers the
    // clipboard's current text without speaking it and starts polling.
    void restoreClipboardTracking();

    // Speaks the clipboard's text after text preparation, behind whatever is queued, and resumes held
    // speech. An empty clipboard and failures are reported in the status bar.
    void ReadClipboard();
    // The menu items flip their button, which runs the button's command.
    void toggleClipboardTracking();
    void toggleTypingTracking();
    // One poll: a clipboard text that differs from the one seen last cuts off the speech and is spoken.
    void pollClipboard();

    // The editor's key handler for typing tracking, run after the keyboard shortcuts: when typing
    // tracking is on and the key ends a word, speaks that word (at most the last 100 characters before
    // the caret) after text preparation, behind whatever is queued. Never consumes the key. Speech
    // failures are thrown to the caller.
    bool keyTyped(QKeyEvent *event);

    // The text clipboard tracking saw last.
    const QString &rememberedText() const { return m_remembered; }

    // What the status bar says, once a run, when clipboard tracking goes on where the clipboard cannot
    // be read in the background.
    static QString blindNotice();

private:
    // The clipboard button went down: polling starts; or up: polling stops and so does any speech.
    void clipboardToggled(bool down);
    void trackingStarted();

    Controls m_controls;
    ReadingHost &m_host;
    Speaker m_speaker;
    QString m_remembered;
    bool m_blindInBackground = false;
    bool m_blindNoticeShown = false;
};

} // namespace velmira
