#include "settingswindow.h"

#include "app/application.h"
#include "common/core/error.h"
#include "common/core/programfolder.h"
#include "common/core/settings.h"
#include "common/ui/labelbutton.h"
#include "platform/desktopshell.h"
#include "speech/speechcontrol.h"

#include <QCheckBox>
#include <QFrame>
#include <QKeyEvent>

using namespace Qt::StringLiterals;

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
    : DialogWindow(u"TForm4"_s, u"Настройки программы"_s, parent), m_shell(shell),
      m_speech(std::move(speech))
{
    setClientSize(289, 197);
    setBackground(QColor(0, 192, 0));

    auto *panel = new QFrame(this);
    panel->setObjectName(u"Panel1"_s);
    panel->setGeometry(8, 8, 273, 156);
    panel->setFrameStyle(QFrame::Panel | QFrame::Raised);
    panel->setAutoFillBackground(true);
    QPalette pal = panel->palette();
    pal.setColor(QPalette::Window, QColor(128, 255, 128));
    pal.setColor(QPalette::WindowText, Qt::black);
    panel->setPalette(pal);

    m_autostart = addBox(panel, u"CheckBox2"_s, u"Автозагрузка при старте Windows"_s, 6);
    m_greeting = addBox(panel, u"CheckBox3"_s, u"Говорить приветствие"_s, 26);
    m_time = addBox(panel, u"CheckBox6"_s, u"Произносить время каждый час"_s, 46);
    m_remText = addBox(panel, u"CheckBox1"_s, u"Запоминать текст при выходе"_s, 66);
    m_openTxt = addBox(panel, u"CheckBox4"_s, u"Добавить Вельмиру в меню .TXT файлов"_s, 86);
    m_openRtf = addBox(panel, u"CheckBox5"_s, u"Добавить Вельмиру в меню .RTF файлов"_s, 106);

    connect(m_remText, &QCheckBox::toggled, this, [this](bool on) { applySetting(settings::RemText, on); });
    connect(m_greeting, &QCheckBox::toggled, this, [this](bool on) { applySetting(settings::Greeting, on); });
    connect(m_time, &QCheckBox::toggled, this, [this](bool on) { applySetting(settings::Time, on); });
    connect(m_autostart, &QCheckBox::toggled, this,
            [this](bool on) { applyEntry(ShellEntry::Autostart, on); });
    connect(m_openTxt, &QCheckBox::toggled, this, [this](bool on) { applyEntry(ShellEntry::OpenWithText, on); });
    connect(m_openRtf, &QCheckBox::toggled, this, [this](bool on) { applyEntry(ShellEntry::OpenWithRtf, on); });

    auto *pronunciation = new LabelButton(u"Свойства произношения"_s, panel);
    pronunciation->setObjectName(u"StaticText2"_s);
    pronunciation->setGeometry(36, 128, 201, 22);
    connect(pronunciation, &LabelButton::clicked, this, &SettingsWindow::StaticText2Click);

    auto *ok = new LabelButton(u"OK"_s, this);
    ok->setObjectName(u"StaticText1"_s);
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
    m_remText->setChecked(readSetting(settings::RemText));
    m_greeting->setChecked(readSetting(settings::Greeting));
    m_time->setChecked(readSetting(settings::Time));
    const QString program = executablePath();
    m_autostart->setChecked(m_shell->startsProgram(ShellEntry::Autostart, program));
    m_openTxt->setChecked(m_shell->startsProgram(ShellEntry::OpenWithText, program));
    m_openRtf->setChecked(m_shell->startsProgram(ShellEntry::OpenWithRtf, program));
}

void SettingsWindow::applySetting(const Setting<bool> &setting, bool on)
{
    reporting([&] { writeSetting(setting, on); });
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
        launcher.name = which == ShellEntry::Autostart ? u"Вельмира"_s : u"Открыть Вельмирой"_s;
        launcher.program = executablePath();
        m_shell->write(which, launcher);
    });
}

void SettingsWindow::StaticText2Click()
{
    SpeechControl *speech = m_speech ? m_speech() : nullptr;
    if (!speech)
        return;
    reporting([&] { speech->LexiconDlg(parentWidget() ? parentWidget() : this, u"Свойства произношения"_s); });
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
