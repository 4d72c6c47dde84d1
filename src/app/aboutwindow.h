// The About window, which also serves as the splash while the program starts.
#pragma once

#include "common/ui/dialogwindow.h"

namespace velmira {

class DesktopShell;
class LabelButton;

class AboutWindow : public DialogWindow
{
    Q_OBJECT

public:
    explicit AboutWindow(QWidget *parent = nullptr);

    // Shows the window as the start-up splash: caption "Вельмира", button text "   Загрузка...", painted
    // at once. The splash does not close by a click.
    void showSplash();

    // Shows the window modally as "О программе Вельмира 6.1".
    void showAbout();

    // The shell that opens the mail and web addresses; without one Qt opens them.
    void setShell(DesktopShell *shell) { m_shell = shell; }

protected:
    bool previewKey(QKeyEvent *event) override;

private:
    void Label4Click();
    void Label5Click();
    void Label6Click();

    void openAddress(const QString &address);

    LabelButton *m_button = nullptr;
    DesktopShell *m_shell = nullptr;
};

} // namespace velmira
