// The About window, which also serves as the splash while the program starts.
#pragma once

#include "common/dialogwindow.h"

namespace velmira {

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

protected:
    bool previewKey(QKeyEvent *event) override;

private:
    void Label4Click();
    void Label5Click();
    void Label6Click();

    LabelButton *m_button = nullptr;
};

} // namespace velmira
