// The main window: toolbar, settings panel, editor, status bar, menus, and the program's life from
// start to close.
#pragma once

#include "reading/readingcontroller.h"
#include "reading/readinghost.h"

#include <QHash>
#include <QMainWindow>
#include <QPointer>
#include <QWindow>
#include <functional>
#include <optional>
#include <memory>

class QAction;
class QComboBox;
class QFrame;
class QGroupBox;
class QLabel;
class QMenu;
class QScrollBar;
class QSystemTrayIcon;
class QTimer;
class QUrl;
class QToolButton;

namespace velmira {

class AboutWindow;
class Clock;
class DesktopShell;
class DocumentCommands;
class FormatCommands;
class HighlightingWindow;
class Organizer;
class RecordingWindow;
class RepeatedReadingWindow;
class RichEdit;
class SettingsWindow;
class TrackingController;
class WordExport;
class WordFollower;

// What the main window needs from outside; tests give fakes.
struct MainWindowServices
{
    Prompter *prompter = nullptr;
    // Makes the main speech control; throws when speech cannot work on this computer.
    std::function<std::unique_ptr<SpeechControl>()> createSpeechControl;
    // The command-line arguments after the program's name.
    QStringList arguments;
    // The About window, which the menu shows (may be null in tests).
    AboutWindow *aboutWindow = nullptr;
    // Whether the desktop has a notification area; unset means ask Qt.
    std::function<bool()> trayAvailable;
    // The desktop shell (a start with "new" and the settings window need it; may be null in tests).
    DesktopShell *shell = nullptr;
    // The clock reminders go by; null means the system clock.
    const Clock *clock = nullptr;
};

// The main window lends itself to the reading features as their ReadingHost, and its settings panel
// to the reading controller as its VoicePanel.
class MainWindow : public QMainWindow, public ReadingHost, public VoicePanel
{
    Q_OBJECT

public:
    explicit MainWindow(MainWindowServices services, QWidget *parent = nullptr);
    ~MainWindow() override;

    // True when the window could not be created (the user was told); the program then ends.
    bool creationFailed() const { return m_creationFailed; }

    // Shows a short message in the status bar: a blue flash, then the text on yellow, cleared after
    // four seconds.
    void SBM(const QString &text);

    // Cuts off whatever is being spoken and speaks the text after text preparation; a failure is shown
    // in a message box.
    void ReadText(const QString &text);

    // What the reading features see of the window.
    int voice() const override;
    int speed() const override;
    int pitch() const override;
    QString wholeText() const override;
    qsizetype wholeTextLength() const override;
    QString wholeTextStart(qsizetype length) const override;
    QString selectedText() const override;
    void statusMessage(const QString &text) override { SBM(text); }
    QWidget *dialogOwner() const override { return const_cast<MainWindow *>(this); }

    // The settings panel as the reading controller fills it.
    void addVoice(const QString &name, const QString &identity) override;
    int voiceCount() const override;
    void chooseVoice(int position) override;
    void setLimits(int minSpeed, int maxSpeed, int minPitch, int maxPitch) override;
    void moveSpeed(int position) override;
    void movePitch(int position) override;

    // Says a greeting from "Greetings.txt", never the one said last, behind whatever is queued.
    void Speak_Greetin();

    // The main speech control; null once the window has closed.
    SpeechControl *speech() const override { return m_speech.get(); }
    RichEdit *editor() const { return m_editor; }
    WordFollower *wordFollower() const override { return m_follower; }
    // The reminders, their scheduler and the organizer's windows.
    Organizer *organizer() const { return m_organizer; }
    Prompter &prompter() const override { return *m_services.prompter; }

    // The first command-line argument, lower-cased ("new", "delete", a path, or empty).
    QString firstArgument() const;

    // Toolbar and formatting buttons and menu items by object name.
    QToolButton *button(const QString &name) const;
    QAction *action(const QString &name) const;

    // Hides the window and shows the program's icon in the notification area; a click on the icon
    // brings the window back maximized. Where the desktop has no notification area the window is
    // minimized instead, so that it can always be found again.
    void hideToTray();
    bool isInTray() const { return m_inTray; }

    // Asked to stop from outside (the session ends, kill, Ctrl+C in a terminal): no question about the
    // tray; the text and the settings are saved as at closing (a failed save still offers its
    // choices), then the program ends.
    void endOnStopRequest();

    // Runs `command` when any of the named buttons is clicked or menu items chosen.
    void bindCommand(std::initializer_list<const char16_t *> names, const std::function<void()> &command);
    // Runs `command` when Ctrl and `key` are pressed in the editor; the key is then not typed.
    void bindEditorKey(Qt::Key key, const std::function<void()> &command);

protected:
    void showEvent(QShowEvent *event) override;
    void closeEvent(QCloseEvent *event) override;

private:
    void buildToolbar();
    void buildSettingsPanel();
    void buildStatusBar();
    void buildMenus();
    QToolButton *addButton(QWidget *parent, const QString &name, const QString &icon, const QString &tip,
                           int size);
    QAction *addMenuItem(QMenu *menu, const QString &name, const QString &caption, const QString &icon = {});
    void setStatusColor(const QColor &color);
    bool editorKey(QKeyEvent *event);
    void bindEditorCommands();

    void FormCreate();
    void creationFailure();
    void createRecordingWindow();
    void FormShow();
    bool FormCloseQuery();
    bool SaveMainSettings();
    void writeMainSettings(bool withSelection);
    enum class ClosingSave { Saved, SavedElsewhere, Skipped, Stay };
    ClosingSave saveBeforeClosing(const std::function<void()> &save, const QString &path, bool isText);
    bool loadRememberedText(const QString &path);
    void keepRememberedTextUntilEdited();
    bool openStartDocument(const QString &path, bool remembered);
    void openStartDocumentAfterShow();
    void setStatusText(const QString &text);
    void N19Click();
    void openOnDesktop(const QUrl &url);
    void Timer2Timer();
    void trayIconActivated(int reason);
    void focusWindowChanged(QWindow *window);
    // Whether a reminder is switched on, so that closing should offer the tray instead.
    bool hasActiveReminder() const;

    MainWindowServices m_services;
    std::unique_ptr<SpeechControl> m_speech;
    ReadingController *m_reading = nullptr;
    TrackingController *m_tracking = nullptr;
    WordFollower *m_follower = nullptr;
    RepeatedReadingWindow *m_repeatWindow = nullptr;
    std::unique_ptr<DocumentCommands> m_documents;
    std::unique_ptr<FormatCommands> m_formatting;
    std::unique_ptr<WordExport> m_wordExport;
    bool m_creationFailed = false;
    bool m_inTray = false;
    bool m_laidOut = false;
    bool m_closing = false;
    bool m_stopRequested = false;
    // "Text.rtf" holds a text that the editor does not: it could not be read, or a document named on
    // the command line could not be opened in its place. It is not overwritten at closing until the
    // editor's content changes.
    bool m_keepRememberedText = false;
    // A long document to open at start (named on the command line, or the remembered text) is read
    // once the window is shown, so that the window comes at once and is drawn while it is read.
    struct StartDocument
    {
        QString path;
        bool remembered = false;
    };
    std::optional<StartDocument> m_startDocument;
    // The window that had the keyboard last, to tell a closed window of the program from another program.
    QPointer<QWindow> m_focusWindow;
    bool m_hadFocusWindow = false;

    QFrame *m_toolbar = nullptr;
    QFrame *m_settingsPanel = nullptr;
    RichEdit *m_editor = nullptr;
    QLabel *m_statusPanel = nullptr;
    QComboBox *m_engineList = nullptr;
    QScrollBar *m_pitchBar = nullptr;
    QScrollBar *m_speedBar = nullptr;
    QLabel *m_pitchLabel = nullptr;
    QLabel *m_speedLabel = nullptr;
    QMenu *m_popupMenu = nullptr;
    Organizer *m_organizer = nullptr;
    QSystemTrayIcon *m_trayIcon = nullptr;
    QTimer *m_timer1 = nullptr;
    QTimer *m_timer2 = nullptr;
    QTimer *m_timer3 = nullptr;
    SettingsWindow *m_settingsWindow = nullptr;
    RecordingWindow *m_recordingWindow = nullptr;
    HighlightingWindow *m_highlightingWindow = nullptr;

    QHash<QString, QToolButton *> m_buttons;
    QHash<QString, QAction *> m_actions;
    QHash<int, std::function<void()>> m_editorKeys;
};

} // namespace velmira
