#include "dialogwindow.h"

#include <QApplication>
#include <QCloseEvent>
#include <QKeyEvent>

namespace velmira {

DialogWindow::DialogWindow(const QString &objectName, const QString &caption, QWidget *parent)
    : QDialog(parent)
{
    setObjectName(objectName);
    setWindowTitle(caption);
    setCloseBox(false);
    setModal(true);
}

void DialogWindow::setClientSize(int width, int height)
{
    setFixedSize(width, height);
}

void DialogWindow::setBackground(const QColor &color)
{
    QPalette pal = palette();
    pal.setColor(QPalette::Window, color);
    setPalette(pal);
    setAutoFillBackground(true);
}

void DialogWindow::setCloseBox(bool on)
{
    Qt::WindowFlags flags = Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint;
    if (on)
        flags |= Qt::WindowCloseButtonHint;
    const bool wasVisible = isVisible();
    setWindowFlags(flags);
    if (wasVisible)
        show();
}

bool DialogWindow::previewKey(QKeyEvent *)
{
    return false;
}

bool DialogWindow::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::KeyPress || event->type() == QEvent::ShortcutOverride) {
        auto *widget = qobject_cast<QWidget *>(watched);
        if (widget && widget->window() == this) {
            auto *key = static_cast<QKeyEvent *>(event);
            if (event->type() == QEvent::ShortcutOverride) {
                // Let Enter and Esc reach us as key presses even where a control has a shortcut.
                if (key->key() == Qt::Key_Escape || isEnterKey(key))
                    event->accept();
                return false;
            }
            if (previewKey(key))
                return true;
        }
    }
    return QDialog::eventFilter(watched, event);
}

void DialogWindow::closeEvent(QCloseEvent *event)
{
    if (!event->spontaneous()) {
        QDialog::closeEvent(event);
        return;
    }
    event->ignore();
    QKeyEvent escape(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
    if (!previewKey(&escape))
        reject();
}

void DialogWindow::showEvent(QShowEvent *event)
{
    qApp->installEventFilter(this);
    QDialog::showEvent(event);
}

void DialogWindow::hideEvent(QHideEvent *event)
{
    qApp->removeEventFilter(this);
    QDialog::hideEvent(event);
}

void DialogWindow::keyPressEvent(QKeyEvent *event)
{
    // QDialog would close on Esc and press a default button on Enter; our windows decide for
    // themselves in previewKey.
    if (event->key() == Qt::Key_Escape || isEnterKey(event)) {
        event->accept();
        return;
    }
    QDialog::keyPressEvent(event);
}

bool isEnterKey(const QKeyEvent *event)
{
    return event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter;
}

} // namespace velmira
