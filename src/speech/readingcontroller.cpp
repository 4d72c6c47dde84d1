#include "readingcontroller.h"

#include "common/inifile.h"
#include "common/prompter.h"
#include "speech/readingqueue.h"
#include "speech/speechcontrol.h"
#include "speech/textpreparation.h"

#include <QComboBox>
#include <QLabel>
#include <QScrollBar>

using namespace Qt::StringLiterals;

namespace velmira {

ReadingController::ReadingController(const Controls &controls, Window window, QObject *parent)
    : QObject(parent), m_controls(controls), m_window(std::move(window)),
      m_queue(new ReadingQueue(m_window.speech, this))
{
    Q_ASSERT(m_controls.engineList && m_controls.speedBar && m_controls.pitchBar);
    Q_ASSERT(m_controls.speedLabel && m_controls.pitchLabel && m_window.speech && m_window.prompter);
    // `activated` comes only from the user, never from the program's own changes of the selection.
    connect(m_controls.engineList, &QComboBox::activated, this, [this] { engineChosen(); });
    connect(m_controls.speedBar, &QScrollBar::valueChanged, this, &ReadingController::speedMoved);
    connect(m_controls.pitchBar, &QScrollBar::valueChanged, this, &ReadingController::pitchMoved);
    connect(m_queue, &ReadingQueue::dictionaryFailed, this, &ReadingController::reportInBox);
    connect(m_queue, &ReadingQueue::speechFailed, this, [this] { m_window.statusMessage(failureText()); });
}

QString ReadingController::failureText()
{
    return u"Ошибка! Возможно, звуковая карта занята другим приложением."_s;
}

void ReadingController::startUp()
{
    SpeechControl *speech = m_window.speech();
    if (!speech)
        return;
    QComboBox *list = m_controls.engineList;
    const int count = speech->CountEngines();
    for (int i = 1; i <= count; ++i) {
        list->addItem(speech->ModeName(i));
        list->setCurrentIndex(0);
    }
    speech->Speak(QString());
    const int stored = IniFile::settings().readInteger(IniFile::global(), u"Engine"_s, 0);
    // A stored position that is not in the list leaves no engine selected; Read then reports.
    list->setCurrentIndex(stored >= 0 && stored < list->count() ? stored : -1);
    setUpEngine();
}

int ReadingController::defaultSpeed(SpeechControl &speech) const
{
    const int low = speech.MinSpeed();
    return int(low + (double(speech.MaxSpeed()) - low) / 4);
}

int ReadingController::defaultPitch(SpeechControl &speech) const
{
    const int low = speech.MinPitch();
    return int(low + (double(speech.MaxPitch()) - low) / 3);
}

void ReadingController::setUpEngine()
{
    SpeechControl *speech = m_window.speech();
    const int position = m_controls.engineList->currentIndex();
    if (!speech || position < 0)
        return;
    speech->Select(position + 1);
    m_engineSetUp = position;

    QScrollBar *speedBar = m_controls.speedBar;
    QScrollBar *pitchBar = m_controls.pitchBar;
    speedBar->setRange(0, 500);
    pitchBar->setRange(0, 500);
    speedBar->setMinimum(speech->MinSpeed());
    speedBar->setMaximum(speech->MaxSpeed());
    pitchBar->setMinimum(speech->MinPitch());
    pitchBar->setMaximum(speech->MaxPitch());

    speedBar->setValue(defaultSpeed(*speech));
    pitchBar->setValue(defaultPitch(*speech));

    const IniFile settings = IniFile::settings();
    const int storedSpeed = settings.readInteger(IniFile::global(), u"ReadSpeed"_s, speedBar->value());
    const int storedPitch = settings.readInteger(IniFile::global(), u"ReadPitch"_s, pitchBar->value());
    if (storedPitch >= speech->MinPitch() && storedPitch <= speech->MaxPitch())
        pitchBar->setValue(storedPitch);
    if (storedSpeed >= speech->MinSpeed() && storedSpeed <= speech->MaxSpeed())
        speedBar->setValue(storedSpeed);

    // A bar that did not move sent nothing to the control, which may still hold the values of the
    // engine before: the control always speaks with what the bars show.
    speech->setSpeed(speedBar->value());
    speech->setPitch(pitchBar->value());
}

void ReadingController::engineChosen()
{
    // Picking the entry that is already chosen is no change of engine.
    if (m_controls.engineList->currentIndex() == m_engineSetUp)
        return;
    setUpEngine();
    SpeechControl *speech = m_window.speech();
    if (!speech || m_controls.engineList->currentIndex() < 0)
        return;
    // A new engine starts from its own defaults; stored values apply only at start-up.
    m_controls.speedBar->setValue(defaultSpeed(*speech));
    m_controls.pitchBar->setValue(defaultPitch(*speech));
    speech->setSpeed(m_controls.speedBar->value());
    speech->setPitch(m_controls.pitchBar->value());
}

void ReadingController::speedMoved(int position)
{
    m_controls.speedLabel->setText(QString::number(position));
    if (SpeechControl *speech = m_window.speech())
        speech->setSpeed(position);
}

void ReadingController::pitchMoved(int position)
{
    m_controls.pitchLabel->setText(QString::number(position));
    if (SpeechControl *speech = m_window.speech())
        speech->setPitch(position);
}

void ReadingController::Read()
{
    const QString whole = m_window.wholeText();
    if (whole.isEmpty()) {
        m_window.statusMessage(u"Нет текста для чтения"_s);
        return;
    }
    try {
        SpeechControl *speech = m_window.speech();
        if (!speech || m_controls.engineList->currentIndex() < 0)
            throw SpeechError(u"Голосовой движок не выбран."_s);
        const QString selected = m_window.selectedText();
        m_queue->read(selected.isEmpty() ? whole : selected);
        speech->AudioResume();
    } catch (const DictionaryRunaway &e) {
        // Not the sound card: say which line of the dictionary to mend.
        reportInBox(e.message());
    } catch (const std::exception &) {
        m_window.statusMessage(failureText());
    }
}

void ReadingController::Pause()
{
    if (SpeechControl *speech = m_window.speech())
        speech->AudioPause();
}

void ReadingController::Stop()
{
    m_queue->discard();
    if (SpeechControl *speech = m_window.speech())
        speech->AudioReset();
}

void ReadingController::ReadText(const QString &text)
{
    try {
        // No engine check here, unlike Read: a reminder is spoken with whatever voice the control has.
        SpeechControl *speech = m_window.speech();
        // None once the main window has closed: nothing speaks any more.
        if (!speech)
            return;
        m_queue->discard();
        speech->AudioReset();
        speech->Speak(prepareText(text));
    } catch (const DictionaryRunaway &e) {
        reportInBox(e.message());
    } catch (const std::exception &) {
        reportInBox(failureText());
    }
}

void ReadingController::reportInBox(const QString &text)
{
    m_window.prompter->message(m_window.owner, programCaption(), text, Prompter::Icon::Warning, Prompter::Button::Ok);
}

} // namespace velmira
