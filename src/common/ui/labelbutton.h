// A clickable text on a rounded rectangle: the buttons of the program's secondary windows.
#pragma once

#include <QAbstractButton>
#include <QColor>

namespace velmira {

// Draws its text centred on a rounded rectangle, shows a hand cursor, takes the keyboard focus and is
// pressed with the mouse, Space or Enter like any button (screen readers see a button named by its
// text).
class LabelButton : public QAbstractButton
{
    Q_OBJECT

public:
    explicit LabelButton(const QString &text, QWidget *parent = nullptr);

    // The fill of the rounded rectangle; the light green of the program's buttons by default.
    void setFill(const QColor &fill);
    QColor fill() const { return m_fill; }

    // Bold italic text, as the program's "OK" buttons have.
    void setBoldItalic(bool on);

    // A flat button draws no rectangle and puts its text at the left, like a link in a window.
    void setFlat(bool on);

    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    QColor m_fill;
    bool m_flat = false;
};

} // namespace velmira
