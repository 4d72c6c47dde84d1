#include "settingswindow.h"

#include "app/application.h"
#include "common/error.h"
#include "common/inifile.h"
#include "common/labelbutton.h"
#include "common/programfolder.h"
#include "platform/desktopshell.h"
#include "speech/speechcontrol.h"

#include <QCheckBox>
#include <QFrame>
#include <QKeyEvent>

namespace velmira {

namespace {

void showGeneralError(const QString &message)
{
    if (Application *app = velmiraApp())
        app->showGeneralError(message);
    else
        qCritical("%s", qUtf8Printable(message));
}

// Runs an option's change; its failure goes to the general error box.
template <typename Change>
void reporting(Change change)
{
    try {
        change();
    } catch (const Error &error) {
        showGeneralError(error.message());
    }
}

} // namespace

SettingsWindow::SettingsWindow(DesktopShell *shell, std::function<SpeechControl *()> speech, QWidget *parent)
    : DialogWindow(QStringLiteral("TForm4"), QStringLiteral("Настройки программы"), parent), m_shell(shell),
      m_speech(std::move(speech))
{
    setClientSize(289, 197);
    setBackground(QColor(0, 192, 0));

    auto *panel = new QFrame(this);
    panel->setObjectName(QStringLiteral("Panel1"));
    panel->setGeometry(8, 8, 273, 156);
    panel->setFrameStyle(QFrame::Panel | QFrame::Raised);
    panel->setAutoFillBackground(true);
    QPalette pal = panel->palette();
    pal.setColor(QPalette::Window, QColor(128, 255, 128));
    pal.setColor(QPalette::WindowText, Qt::black);
    panel->setPalette(pal);

    m_autostart = addBox(panel, QStringLiteral("CheckBox2"), QStringLiteral("Автозагрузка при старте Windows"), 6);
    m_greeting = addBox(panel, QStringLiteral("CheckBox3"), QStringLiteral("Говорить приветствие"), 26);
    m_time = addBox(panel, QStringLiteral("CheckBox6"), QStringLiteral("Произносить время каждый час"), 46);
    m_remText = addBox(panel, QStringLiteral("CheckBox1"), QStringLiteral("Запоминать текст при выходе"), 66);
    m_openTxt = addBox(panel, QStringLiteral("CheckBox4"), QStringLiteral("Добавить Вельмиру в меню .TXT файлов"), 86);
    m_openRtf = addBox(panel, QStringLiteral("CheckBox5"), QStringLiteral("Добавить Вельмиру в меню .RTF файлов"), 106);

    connect(m_remText, &QCheckBox::toggled, this, [this](bool on) { applySetting(QStringLiteral("RemText"), on); });
    connect(m_greeting, &QCheckBox::toggled, this, [this](bool on) { applySetting(QStringLiteral("Greeting"), on); });
    connect(m_time, &QCheckBox::toggled, this, [this](bool on) { applySetting(QStringLiteral("Time"), on); });
    connect(m_autostart, &QCheckBox::toggled, this,
            [this](bool on) { applyEntry(ShellEntry::Autostart, on); });
    connect(m_openTxt, &QCheckBox::toggled, this, [this](bool on) { applyEntry(ShellEntry::OpenWithText, on); });
    connect(m_openRtf, &QCheckBox::toggled, this, [this](bool on) { applyEntry(ShellEntry::OpenWithRtf, on); });

    auto *pronunciation = new LabelButton(QStringLiteral("Свойства произношения"), panel);
    pronunciation->setObjectName(QStringLiteral("StaticText2"));
    pronunciation->setGeometry(36, 128, 201, 22);
    connect(pronunciation, &LabelButton::clicked, this, &SettingsWindow::StaticText2Click);

    auto *ok = new LabelButton(QStringLiteral("OK"), this);
    ok->setObjectName(QStringLiteral("StaticText1"));
    ok->setBoldItalic(true);
    ok->setGeometry(86, 169, 116, 23);
    connect(ok, &LabelButton::clicked, this, &QWidget::close);
}

QCheckBox *SettingsWindow::addBox(QWidget *panel, const QString &name, const QString &caption, int y)
{
    auto *box = new QCheckBox(caption, panel);
    box->setObjectName(name);
    // The window keeps its size; the longest caption must still fit.
    QFont font = box->font();
    font.setPixelSize(11);
    box->setFont(font);
    box->setGeometry(8, y, 261, 20);
    return box;
}

void SettingsWindow::showEvent(QShowEvent *event)
{
    DialogWindow::showEvent(event);
    if (!event->spontaneous())
        FormShow();
}

void SettingsWindow::FormShow()
{
    Q_ASSERT(m_shell);
    // Setting a box to another state applies its option, as any change of the box does.
    const IniFile settings = IniFile::settings();
    const QString global = IniFile::global();
    m_remText->setChecked(settings.readBool(global, QStringLiteral("RemText"), true));
    m_greeting->setChecked(settings.readBool(global, QStringLiteral("Greeting"), true));
    m_time->setChecked(settings.readBool(global, QStringLiteral("Time"), true));
    const QString program = executablePath();
    m_autostart->setChecked(m_shell->startsProgram(ShellEntry::Autostart, program));
    m_openTxt->setChecked(m_shell->startsProgram(ShellEntry::OpenWithText, program));
    m_openRtf->setChecked(m_shell->startsProgram(ShellEntry::OpenWithRtf, program));
}

void SettingsWindow::applySetting(const QString &key, bool on)
{
    reporting([&] {
        IniFile settings = IniFile::settings();
        settings.writeBool(IniFile::global(), key, on);
    });
}

void SettingsWindow::applyEntry(ShellEntry which, bool on)
{
    Q_ASSERT(m_shell);
    reporting([&] {
        if (!on) {
            m_shell->remove(which);
            return;
        }
        Launcher launcher;
        launcher.name = which == ShellEntry::Autostart ? QStringLiteral("Вельмира") : QStringLiteral("Открыть Вельмирой");
        launcher.program = executablePath();
        m_shell->write(which, launcher);
    });
}

void SettingsWindow::StaticText2Click()
{
    SpeechControl *speech = m_speech ? m_speech() : nullptr;
    if (!speech)
        return;
    reporting([&] { speech->LexiconDlg(parentWidget() ? parentWidget() : this, QStringLiteral("Свойства произношения")); });
}

bool SettingsWindow::previewKey(QKeyEvent *event)
{
    if (event->key() == Qt::Key_Escape || isEnterKey(event)) {
        close();
        return true;
    }
    return false;
}

} // namespace velmira
