#include "recordingwindow.h"

#include "common/labelbutton.h"
#include "common/prompter.h"
#include "soundwriter.h"
#include "speechcontrol.h"

#include <QFile>
#include <QFileInfo>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QTimer>
#include <cmath>

namespace velmira {

namespace {

const QString StartCaption = QStringLiteral("Начать запись");
const QString InterruptCaption = QStringLiteral("Прервать запись");
const QString SoundFilter = QStringLiteral("Звуковые файлы (*.wav *.mp3 *.ogg *.opus *.flac)|"
                                           "*.wav;*.mp3;*.ogg;*.opus;*.flac|"
                                           "WAV (*.wav)|*.wav|MP3 (*.mp3)|*.mp3|Ogg Vorbis (*.ogg)|*.ogg|"
                                           "Opus (*.opus)|*.opus|FLAC (*.flac)|*.flac|Все файлы (*.*)|*.*");
const QString WriteError = QStringLiteral("Ошибка записи. Выберете другой файл и повторите попытку.");

QLabel *label(const QString &text, QWidget *parent, const QString &name, int x, int y)
{
    auto *l = new QLabel(text, parent);
    l->setObjectName(name);
    l->move(x, y);
    l->adjustSize();
    return l;
}

} // namespace

RecordingWindow::RecordingWindow(Prompter &prompter, std::unique_ptr<SpeechControl> recorder, Context context,
                                 QWidget *parent)
    : DialogWindow(QStringLiteral("TForm3"), QStringLiteral("Запись голоса в звуковой файл"), parent),
      m_prompter(prompter), m_recorder(std::move(recorder)), m_context(std::move(context))
{
    setClientSize(434, 178);
    setBackground(QColor(0, 192, 0));

    auto *fileLabel = label(QStringLiteral("Файл для записи:"), this, QStringLiteral("StaticText1"), 12, 12);
    m_path = new QLineEdit(this);
    m_path->setObjectName(QStringLiteral("Edit1"));
    m_path->setAccessibleName(QStringLiteral("Файл для записи"));
    m_path->setGeometry(12, 32, 310, 23);
    fileLabel->setBuddy(m_path);
    connect(m_path, &QLineEdit::textChanged, this, &RecordingWindow::Edit1Change);

    m_choose = new LabelButton(QStringLiteral("Выбрать"), this);
    m_choose->setObjectName(QStringLiteral("StaticText6"));
    m_choose->setGeometry(332, 32, 90, 23);
    connect(m_choose, &LabelButton::clicked, this, &RecordingWindow::StaticText6Click);

    m_startStop = new LabelButton(StartCaption, this);
    m_startStop->setObjectName(QStringLiteral("StaticText2"));
    m_startStop->setBoldItalic(true);
    m_startStop->setGeometry(12, 66, 150, 25);
    m_startStop->setEnabled(false);
    connect(m_startStop, &LabelButton::clicked, this, &RecordingWindow::StaticText2Click);

    m_progress = new QLabel(QStringLiteral("Записано: 0 кб"), this);
    m_progress->setObjectName(QStringLiteral("Label1"));
    QFont bold = m_progress->font();
    bold.setBold(true);
    bold.setItalic(true);
    m_progress->setFont(bold);
    m_progress->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    m_progress->setGeometry(222, 66, 200, 25);

    label(QStringLiteral("Обратите внимание, что время сохранения голоса в файл "), this,
          QStringLiteral("StaticText4"), 12, 100);
    label(QStringLiteral("равно времени обычного чтения."), this, QStringLiteral("StaticText5"), 12, 118);

    m_back = new LabelButton(QStringLiteral("Вернуться в программу"), this);
    m_back->setObjectName(QStringLiteral("StaticText3"));
    m_back->setGeometry(12, 144, 200, 25);
    connect(m_back, &LabelButton::clicked, this, &QDialog::close);

    m_minimize = new LabelButton(QStringLiteral("Свернуть"), this);
    m_minimize->setObjectName(QStringLiteral("StaticText7"));
    m_minimize->setGeometry(322, 144, 100, 25);
    connect(m_minimize, &LabelButton::clicked, this, &RecordingWindow::StaticText7Click);

    m_timer1 = new QTimer(this);
    m_timer1->setObjectName(QStringLiteral("Timer1"));
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
    return QStringLiteral("Записано: %1 кб").arg(qint64(kb));
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
    const QString chosen =
        m_prompter.saveFileName(this, QStringLiteral("Файл для записи"), SoundFilter, m_lastChosen);
    // A cancelled choice puts back the name chosen the time before.
    if (!chosen.isEmpty())
        m_lastChosen = chosen;
    QString name = m_lastChosen;
    // Any letter case of a sound file's extension is kept; every other name is taken for WAV.
    if (!name.isEmpty() && !soundFormatForPath(name))
        name += QStringLiteral(".wav");
    m_path->setText(name);
}

void RecordingWindow::StaticText7Click()
{
    if (m_context.hideToTray)
        m_context.hideToTray();
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
    m_progress->setText(QStringLiteral("Записано: 0 кб"));
    // Only ".wav" in small letters counts as WAV here; the compressed formats are known in any case.
    const std::optional<SoundFormat> format = soundFormatForPath(m_path->text());
    if ((!format || format == SoundFormat::Wav) && !m_path->text().endsWith(QStringLiteral(".wav")))
        m_path->setText(m_path->text() + QStringLiteral(".wav"));
    const QString path = m_path->text();
    if (QFileInfo::exists(path)) {
        if (!m_prompter.askYesNo(this, programCaption(),
                                 QStringLiteral("Такой файл уже существует! Удалить этот файл и продолжить?")))
            return;
        QFile::remove(path);
    }
    try {
        setLocked(true);
        SpeechControl *main = m_context.mainSpeech();
        if (!main)
            throw SpeechError(QStringLiteral("Нет речевого движка."));
        main->setPitch(m_context.pitch());
        main->setSpeed(m_context.speed());
        m_recorder->setFileName(path);
        m_recorder->Select(m_context.engineIndex() + 1);
        m_recorder->setPitch(main->Pitch());
        m_recorder->setSpeed(main->Speed());
        m_recorder->Speak(m_context.prepare(m_context.text()));
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
    setBackground(QColor(0, 0, 255));
    interrupt();
    m_prompter.inform(this, programCaption(), QStringLiteral("Речь успешно записана в звуковой файл."));
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
