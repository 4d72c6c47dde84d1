#include "recordingwindow.h"

#include "common/core/prompter.h"
#include "common/ui/labelbutton.h"
#include "reading/readinghost.h"
#include "reading/speaker.h"
#include "speech/soundwriter.h"
#include "speech/speechcontrol.h"

#include <QFile>
#include <QFileInfo>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QTimer>
#include <cmath>

using namespace Qt::StringLiterals;

namespace velmira {

namespace {

const QString StartCaption = u"Начать запись"_s;
const QString InterruptCaption = u"Прервать запись"_s;
const QString SoundFilter = u"Звуковые файлы (*.wav *.mp3 *.ogg *.opus *.flac)|*.wav;*.mp3;*.ogg;*.opus;*.flac|"
                            "WAV (*.wav)|*.wav|MP3 (*.mp3)|*.mp3|Ogg Vorbis (*.ogg)|*.ogg|"
                            "Opus (*.opus)|*.opus|FLAC (*.flac)|*.flac|Все файлы (*.*)|*.*"_s;
// The extension that the type at `type` in SoundFilter gives a name typed without one: that of its only
// pattern, or ".wav" for the list of all sound files, for all files and when no type is known.
QString extensionOfType(int type)
{
    const QString patterns = SoundFilter.split(u'|').value(2 * type + 1);
    if (patterns.startsWith(u"*."_s) && !patterns.contains(u';') && patterns != u"*.*"_s)
        return patterns.mid(1);
    return u".wav"_s;
}
const QString WriteError = u"Ошибка записи. Выберете другой файл и повторите попытку."_s;

QLabel *label(const QString &text, QWidget *parent, const QString &name, int x, int y)
{
    auto *l = new QLabel(text, parent);
    l->setObjectName(name);
    l->move(x, y);
    l->adjustSize();
    return l;
}

} // namespace

RecordingWindow::RecordingWindow(std::unique_ptr<SpeechControl> recorder, ReadingHost &host,
                                 std::function<void()> hideToTray, QWidget *parent)
    : DialogWindow(u"TForm3"_s, u"Запись голоса в звуковой файл"_s, parent), m_host(host),
      m_prompter(host.prompter()), m_recorder(std::move(recorder)), m_hideToTray(std::move(hideToTray))
{
    setClientSize(434, 178);
    setBackground(QColor(0, 192, 0));
    // It keeps the main window from being used while open, but not the program's icon in the
    // notification area: "Свернуть" puts the program there, and the icon must bring it back.
    setWindowModality(Qt::WindowModal);

    auto *fileLabel = label(u"Файл для записи:"_s, this, u"StaticText1"_s, 12, 12);
    m_path = new QLineEdit(this);
    m_path->setObjectName(u"Edit1"_s);
    m_path->setAccessibleName(u"Файл для записи"_s);
    m_path->setGeometry(12, 32, 310, 23);
    fileLabel->setBuddy(m_path);
    connect(m_path, &QLineEdit::textChanged, this, &RecordingWindow::Edit1Change);

    m_choose = new LabelButton(u"Выбрать"_s, this);
    m_choose->setObjectName(u"StaticText6"_s);
    m_choose->setGeometry(332, 32, 90, 23);
    connect(m_choose, &LabelButton::clicked, this, &RecordingWindow::StaticText6Click);

    m_startStop = new LabelButton(StartCaption, this);
    m_startStop->setObjectName(u"StaticText2"_s);
    m_startStop->setBoldItalic(true);
    m_startStop->setGeometry(12, 66, 150, 25);
    m_startStop->setEnabled(false);
    connect(m_startStop, &LabelButton::clicked, this, &RecordingWindow::StaticText2Click);

    m_progress = new QLabel(u"Записано: 0 кб"_s, this);
    m_progress->setObjectName(u"Label1"_s);
    QFont bold = m_progress->font();
    bold.setBold(true);
    bold.setItalic(true);
    m_progress->setFont(bold);
    m_progress->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    m_progress->setGeometry(222, 66, 200, 25);

    label(u"Обратите внимание, что запись голоса в файл идёт"_s, this, u"StaticText4"_s, 12, 100);
    label(u"намного быстрее, чем чтение вслух."_s, this, u"StaticText5"_s, 12, 118);

    m_back = new LabelButton(u"Вернуться в программу"_s, this);
    m_back->setObjectName(u"StaticText3"_s);
    m_back->setGeometry(12, 144, 200, 25);
    connect(m_back, &LabelButton::clicked, this, &QDialog::close);

    m_minimize = new LabelButton(u"Свернуть"_s, this);
    m_minimize->setObjectName(u"StaticText7"_s);
    m_minimize->setGeometry(322, 144, 100, 25);
    connect(m_minimize, &LabelButton::clicked, this, &RecordingWindow::StaticText7Click);

    m_timer1 = new QTimer(this);
    m_timer1->setObjectName(u"Timer1"_s);
    m_timer1->setInterval(70);
    connect(m_timer1, &QTimer::timeout, this, &RecordingWindow::Timer1Timer);

    connect(m_recorder.get(), &SpeechControl::finished, this, &RecordingWindow::finishedSpeaking);
    connect(m_recorder.get(), &SpeechControl::failed, this, &RecordingWindow::failedSpeaking);
}

RecordingWindow::~RecordingWindow() = default;

bool RecordingWindow::isRecording() const
{
    return m_startStop->text() == InterruptCaption;
}

QString RecordingWindow::progressText(qint64 bytes)
{
    // Kilobytes rounded to the nearest, a half to the even neighbour (1.5 -> 2, 2.5 -> 2).
    const double kb = std::nearbyint(double(bytes) / 1024.0);
    return u"Записано: %1 кб"_s.arg(qint64(kb));
}

bool RecordingWindow::previewKey(QKeyEvent *event)
{
    if (isEnterKey(event)) {
        if (m_startStop->isEnabled())
            StaticText2Click();
        return true;
    }
    if (event->key() == Qt::Key_Escape) {
        if (m_back->isEnabled())
            close();
        return true;
    }
    return false;
}

void RecordingWindow::Edit1Change()
{
    m_startStop->setEnabled(!m_path->text().isEmpty());
}

void RecordingWindow::StaticText6Click()
{
    int type = -1;
    const QString chosen = m_prompter.saveFileName(this, u"Файл для записи"_s, SoundFilter, m_lastChosen, &type);
    // A cancelled choice puts back the name chosen the time before.
    if (!chosen.isEmpty()) {
        m_lastChosen = chosen;
        // Any letter case of a sound file's extension is kept; a name without one gets the extension of
        // the type chosen in the box, and every other name is taken for WAV.
        if (!soundFormatForPath(chosen))
            m_lastChosen += extensionOfType(type);
    }
    m_path->setText(m_lastChosen);
}

void RecordingWindow::StaticText7Click()
{
    if (m_hideToTray)
        m_hideToTray();
    showMinimized();
}

void RecordingWindow::StaticText2Click()
{
    if (isRecording())
        interrupt();
    else
        start();
}

void RecordingWindow::setLocked(bool locked)
{
    m_choose->setEnabled(!locked);
    m_back->setEnabled(!locked);
    m_path->setEnabled(!locked);
}

void RecordingWindow::start()
{
    m_progress->setText(u"Записано: 0 кб"_s);
    // Only ".wav" in small letters counts as WAV here; the compressed formats are known in any case.
    const std::optional<SoundFormat> format = soundFormatForPath(m_path->text());
    if ((!format || format == SoundFormat::Wav) && !m_path->text().endsWith(u".wav"_s))
        m_path->setText(m_path->text() + u".wav"_s);
    const QString path = m_path->text();
    if (QFileInfo::exists(path)) {
        if (!m_prompter.askYesNo(this, programCaption(),
                                 u"Такой файл уже существует! Удалить этот файл и продолжить?"_s))
            return;
        QFile::remove(path);
    }
    try {
        setLocked(true);
        SpeechControl *main = m_host.speech();
        if (!main)
            throw SpeechError(u"Нет речевого движка."_s);
        main->setPitch(m_host.pitch());
        main->setSpeed(m_host.speed());
        m_recorder->setFileName(path);
        m_recorder->Select(m_host.voice() + 1);
        m_recorder->setPitch(main->Pitch());
        m_recorder->setSpeed(main->Speed());
        const QString selected = m_host.selectedText();
        Speaker::speak(*m_recorder, selected.isEmpty() ? m_host.wholeText() : selected, Speaker::Turn::Queue);
        m_timer1->start();
        setBackground(QColor(255, 0, 0));
        m_startStop->setText(InterruptCaption);
    } catch (const std::exception &) {
        m_prompter.inform(this, programCaption(), WriteError, Prompter::Icon::Critical);
        try {
            m_recorder->AudioReset();
        } catch (const std::exception &) {
            // The control is already in trouble; the window goes back to idle all the same.
        }
        m_startStop->setText(StartCaption);
        setLocked(false);
        m_timer1->stop();
    }
}

void RecordingWindow::interrupt()
{
    m_recorder->AudioReset();
    m_startStop->setText(StartCaption);
    setLocked(false);
    m_timer1->stop();
    Timer1Timer();
    setBackground(QColor(0, 0, 255));
}

void RecordingWindow::finishedSpeaking()
{
    if (!isRecording())
        return;
    try {
        // A compressed file's last frames reach the disk as it is completed: success is claimed after.
        m_recorder->setFileName(QString());
    } catch (const std::exception &) {
        failedSpeaking();
        return;
    }
    setBackground(QColor(0, 0, 255));
    interrupt();
    m_prompter.inform(this, programCaption(), u"Речь успешно записана в звуковой файл."_s);
    close();
}

void RecordingWindow::failedSpeaking()
{
    if (!isRecording())
        return;
    // The file holds what was written before the failure, with a valid header, but the recording is
    // not complete: say so, never that it succeeded.
    interrupt();
    m_prompter.inform(this, programCaption(), WriteError, Prompter::Icon::Critical);
}

void RecordingWindow::Timer1Timer()
{
    m_progress->setText(progressText(QFileInfo(m_path->text()).size()));
}

} // namespace velmira
