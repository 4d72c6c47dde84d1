// The frame of the program's secondary windows.
#pragma once

#include <QDialog>

class QKeyEvent;

namespace velmira {

// A fixed dialog window without title-bar buttons that sees every key pressed in it before its
// controls do (so Enter and Esc act on the window even while an edit box has the focus).
class DialogWindow : public QDialog
{
    Q_OBJECT

public:
    // `objectName` is the window's name, `caption` its title.
    DialogWindow(const QString &objectName, const QString &caption, QWidget *parent = nullptr);

    // Gives the window a fixed client size and a background colour.
    void setClientSize(int width, int height);
    void setBackground(const QColor &color);

    // Keeps or removes the title bar's close box (some windows have one).
    void setCloseBox(bool on);

protected:
    // Called for every key pressed in the window or any of its controls, before they see it. Return true
    // to consume the key. The default consumes nothing.
    virtual bool previewKey(QKeyEvent *event);

    bool eventFilter(QObject *watched, QEvent *event) override;
    // The window manager's close box (some desktops draw one whatever the window asks) acts as Esc,
    // so that it closes the window only the way the window's own "Отмена" would.
    void closeEvent(QCloseEvent *event) override;
    void showEvent(QShowEvent *event) override;
    void hideEvent(QHideEvent *event) override;
    // Esc does nothing by itself: each window decides what its keys do.
    void keyPressEvent(QKeyEvent *event) override;
};

// Whether the key is Enter (either Return key).
bool isEnterKey(const QKeyEvent *event);

} // namespace velmira
