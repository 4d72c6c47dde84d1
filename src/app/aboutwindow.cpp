#include "aboutwindow.h"

#include "app/application.h"
#include "app/buildinfo.h"
#include "app/datafiles.h"
#include "common/error.h"
#include "common/labelbutton.h"
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
    line->setStyleSheet(QStringLiteral("background: black;"));
    return line;
}

} // namespace

AboutWindow::AboutWindow(QWidget *parent)
    : DialogWindow(QStringLiteral("TForm2"), QStringLiteral("Вельмира"), parent)
{
    setClientSize(380, 224);
    setBackground(QColor(0, 192, 0));

    auto *panel = new QFrame(this);
    panel->setObjectName(QStringLiteral("Panel1"));
    panel->setGeometry(8, 8, 369, 185);
    panel->setFrameStyle(QFrame::Panel | QFrame::Raised);
    panel->setLineWidth(2);
    panel->setAutoFillBackground(true);
    QPalette pal = panel->palette();
    pal.setColor(QPalette::Window, QColor(0, 255, 0));
    pal.setColor(QPalette::WindowText, Qt::black);
    panel->setPalette(pal);

    auto *title = new QLabel(QStringLiteral("Вельмира 6.1"), panel);
    title->setObjectName(QStringLiteral("Label1"));
    title->setFont(aboutFont(QStringLiteral("Times New Roman"), 24, true));
    title->move(72, 8);
    title->adjustSize();

    blackLine(panel, 48);

    const QString sans = QStringLiteral("Liberation Sans");
    auto *programming = new QLabel(QStringLiteral("Программирование и поддержка:"), panel);
    programming->setObjectName(QStringLiteral("Label2"));
    programming->setFont(aboutFont(sans, 19));
    programming->move(8, 56);
    programming->adjustSize();

    auto *credits = new QLabel(QStringLiteral("Команда Вельмиры"), panel);
    credits->setObjectName(QStringLiteral("Label3"));
    credits->setFont(aboutFont(sans, 19));
    credits->move(64, 80);
    credits->adjustSize();

    blackLine(panel, 112);

    auto *mail = new LabelButton(QStringLiteral("Наша почта: ") + QString::fromUtf16(buildinfo::email), panel);
    mail->setObjectName(QStringLiteral("Label4"));
    mail->setFlat(true);
    mail->setFont(fitting(aboutFont(sans, 19), mail->text(), 296));
    mail->setGeometry(64, 120, 300, 26);
    connect(mail, &LabelButton::clicked, this, &AboutWindow::Label4Click);

    auto *site = new LabelButton(QStringLiteral("Наш сайт: ") + QString::fromUtf16(buildinfo::site), panel);
    site->setObjectName(QStringLiteral("Label5"));
    site->setFlat(true);
    site->setFont(fitting(aboutFont(sans, 19), site->text(), 296));
    site->setGeometry(64, 152, 300, 26);
    connect(site, &LabelButton::clicked, this, &AboutWindow::Label5Click);

    m_button = new LabelButton(QStringLiteral("OK"), this);
    m_button->setObjectName(QStringLiteral("Label6"));
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
    setWindowTitle(QStringLiteral("Вельмира"));
    m_button->setText(QStringLiteral("   Загрузка..."));
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
    setWindowTitle(QStringLiteral("О программе Вельмира 6.1"));
    m_button->setText(QStringLiteral("OK"));
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
    openAddress(QStringLiteral("mailto:") + QString::fromUtf16(buildinfo::email));
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
