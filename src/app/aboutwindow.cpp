#include "aboutwindow.h"

#include "app/application.h"
#include "app/buildinfo.h"
#include "app/datafiles.h"
#include "common/core/error.h"
#include "common/ui/labelbutton.h"
#include "platform/desktopshell.h"

#include <QCoreApplication>
#include <QDesktopServices>
#include <QElapsedTimer>
#include <QFrame>
#include <QKeyEvent>
#include <QLabel>
#include <QTimer>
#include <QWindow>
#include <QUrl>

using namespace Qt::StringLiterals;

namespace velmira {

namespace {

constexpr qint64 SplashWaitMs = 2000;

QFont aboutFont(const QString &family, int pixels, bool boldItalic = false)
{
    QFont font(family);
    font.setPixelSize(pixels);
    font.setBold(boldItalic);
    font.setItalic(boldItalic);
    return font;
}

// The font, made smaller when needed so that `text` fits in `width` pixels (addresses are set when the
// program is built and may be long).
QFont fitting(QFont font, const QString &text, int width)
{
    while (font.pixelSize() > 10 && QFontMetrics(font).horizontalAdvance(text) > width)
        font.setPixelSize(font.pixelSize() - 1);
    return font;
}

QLabel *blackLine(QWidget *parent, int y)
{
    auto *line = new QLabel(parent);
    line->setGeometry(0, y, parent->width(), 2);
    line->setStyleSheet(u"background: black;"_s);
    return line;
}

} // namespace

AboutWindow::AboutWindow(QWidget *parent)
    : DialogWindow(u"TForm2"_s, u"Вельмира"_s, parent)
{
    setClientSize(380, 224);
    setBackground(QColor(0, 192, 0));

    auto *panel = new QFrame(this);
    panel->setObjectName(u"Panel1"_s);
    panel->setGeometry(8, 8, 369, 185);
    panel->setFrameStyle(QFrame::Panel | QFrame::Raised);
    panel->setLineWidth(2);
    panel->setAutoFillBackground(true);
    QPalette pal = panel->palette();
    pal.setColor(QPalette::Window, QColor(0, 255, 0));
    pal.setColor(QPalette::WindowText, Qt::black);
    panel->setPalette(pal);

    auto *title = new QLabel(u"Вельмира 6.1"_s, panel);
    title->setObjectName(u"Label1"_s);
    title->setFont(aboutFont(u"Times New Roman"_s, 24, true));
    title->move(72, 8);
    title->adjustSize();

    blackLine(panel, 48);

    const QString sans = u"Liberation Sans"_s;
    auto *programming = new QLabel(u"Программирование и поддержка:"_s, panel);
    programming->setObjectName(u"Label2"_s);
    programming->setFont(aboutFont(sans, 19));
    programming->move(8, 56);
    programming->adjustSize();

    auto *credits = new QLabel(u"Команда Вельмиры"_s, panel);
    credits->setObjectName(u"Label3"_s);
    credits->setFont(aboutFont(sans, 19));
    credits->move(64, 80);
    credits->adjustSize();

    blackLine(panel, 112);

    auto *mail = new LabelButton(u"Наша почта: "_s + QString::fromUtf16(buildinfo::email), panel);
    mail->setObjectName(u"Label4"_s);
    mail->setFlat(true);
    mail->setFont(fitting(aboutFont(sans, 19), mail->text(), 296));
    mail->setGeometry(64, 120, 300, 26);
    connect(mail, &LabelButton::clicked, this, &AboutWindow::Label4Click);

    auto *site = new LabelButton(u"Наш сайт: "_s + QString::fromUtf16(buildinfo::site), panel);
    site->setObjectName(u"Label5"_s);
    site->setFlat(true);
    site->setFont(fitting(aboutFont(sans, 19), site->text(), 296));
    site->setGeometry(64, 152, 300, 26);
    connect(site, &LabelButton::clicked, this, &AboutWindow::Label5Click);

    m_button = new LabelButton(u"OK"_s, this);
    m_button->setObjectName(u"Label6"_s);
    m_button->setFont(aboutFont(sans, 13, true));
    m_button->setGeometry(135, 198, 116, 23);
    connect(m_button, &LabelButton::clicked, this, &AboutWindow::Label6Click);

    // Every start restores the data files the user has deleted.
    try {
        writeMissingDataFiles();
    } catch (const Error &error) {
        reportGeneralError(error.message());
    }
}

void AboutWindow::showSplash()
{
    setWindowTitle(u"Вельмира"_s);
    m_button->setText(u"   Загрузка..."_s);
    show();
    // The main window is built without the event loop running, so the splash is painted now. What is
    // painted before the window manager has put the window on screen is lost: wait until it has (a
    // window manager that never does is not waited for long).
    QElapsedTimer waited;
    waited.start();
    QTimer wake;
    wake.start(20);
    while (!(windowHandle() && windowHandle()->isExposed()) && waited.elapsed() < SplashWaitMs)
        QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents | QEventLoop::WaitForMoreEvents);
    repaint();
    QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
}

void AboutWindow::showAbout()
{
    setWindowTitle(u"О программе Вельмира 6.1"_s);
    m_button->setText(u"OK"_s);
    m_button->setFocus();
    exec();
}

bool AboutWindow::previewKey(QKeyEvent *event)
{
    if (event->key() == Qt::Key_Escape || isEnterKey(event)) {
        close();
        return true;
    }
    return false;
}

void AboutWindow::openAddress(const QString &address)
{
    if (m_shell)
        m_shell->open(QUrl(address));
    else
        QDesktopServices::openUrl(QUrl(address));
}

void AboutWindow::Label4Click()
{
    openAddress(u"mailto:"_s + QString::fromUtf16(buildinfo::email));
}

void AboutWindow::Label5Click()
{
    openAddress(QString::fromUtf16(buildinfo::site));
}

void AboutWindow::Label6Click()
{
    // The splash's "   Загрузка..." never closes the window.
    if (m_button->text() == u"OK")
        close();
}

} // namespace velmira
