// The settings window "Настройки программы": six options applied the moment they change, and the
// engine's pronunciation settings.
#pragma once

#include "common/core/settings.h"
#include "common/ui/dialogwindow.h"

#include <functional>

class QCheckBox;

namespace velmira {

class DesktopShell;
enum class ShellEntry;
class LabelButton;
class SpeechControl;

// Three options are keys of "Settings.ini" ("RemText", "Greeting", "Time"); three are desktop entries
// (autostart and the two open-with entries), on when they start this very executable. Opening the
// window sets the boxes from what is stored; each change of a box applies its option at once, the
// changes that opening makes included. A failure shows in the general error box and the box keeps
// its new state. "OK", Enter and Esc close the window; nothing is applied at closing.
class SettingsWindow : public DialogWindow
{
    Q_OBJECT

public:
    // `speech` gives the main speech control, whose pronunciation dialog the window opens.
    SettingsWindow(DesktopShell *shell, std::function<SpeechControl *()> speech, QWidget *parent = nullptr);

protected:
    void showEvent(QShowEvent *event) override;
    bool previewKey(QKeyEvent *event) override;

private:
    QCheckBox *addBox(QWidget *panel, const QString &name, const QString &caption, int y);
    void FormShow();
    void applySetting(const Setting<bool> &setting, bool on);
    void applyEntry(ShellEntry entry, bool on);
    void StaticText2Click();

    DesktopShell *m_shell;
    std::function<SpeechControl *()> m_speech;
    QCheckBox *m_autostart = nullptr;
    QCheckBox *m_greeting = nullptr;
    QCheckBox *m_time = nullptr;
    QCheckBox *m_remText = nullptr;
    QCheckBox *m_openTxt = nullptr;
    QCheckBox *m_openRtf = nullptr;
};

} // namespace velmira
