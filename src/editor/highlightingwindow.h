// The window "Интуитивное выделение": marks every fourth word of the editor's text in bold, or removes
// all bold.
#pragma once

#include "common/ui/dialogwindow.h"

#include <chrono>
#include <functional>

class QFrame;
class QProgressBar;
class QRadioButton;

namespace velmira {

class RichEdit;

// Created once and kept for the whole run, so the chosen option stays from one opening to the next.
// "OK" (or Enter) carries out the option; marking runs with the window open, its progress bar
// following the scan, and "Отмена" (or Esc) stops it, keeping the marks set so far. Either way the
// editor's selection is as it was before the run, and the run is one step of the editor's undo.
class HighlightingWindow : public DialogWindow
{
    Q_OBJECT

public:
    // `status` shows a short message in the main window's status bar.
    HighlightingWindow(RichEdit &editor, std::function<void(const QString &)> status,
                       QWidget *parent = nullptr);

    // The main window's command: the window, shown modally, or a status message when there is no text.
    void SpeedButton23Click();

    // How often a run lets the window handle its events (tests make every step a turn).
    void setTurnInterval(std::chrono::milliseconds interval) { m_turnInterval = interval; }

    bool isRunning() const { return m_running; }

protected:
    void showEvent(QShowEvent *event) override;
    bool previewKey(QKeyEvent *event) override;

private:
    void FormShow();
    void StaticText1Click();
    void StaticText4Click();

    RichEdit &m_editor;
    std::function<void(const QString &)> m_status;
    QFrame *m_panel = nullptr;
    QRadioButton *m_mark = nullptr;
    QRadioButton *m_unmark = nullptr;
    QProgressBar *m_progress = nullptr;
    std::chrono::milliseconds m_turnInterval{30};
    bool m_running = false;
    bool m_cancelRequested = false;
};

} // namespace velmira
