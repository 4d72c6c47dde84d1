#include "trackingcontroller.h"

#include "common/prompter.h"
#include "speech/speechcontrol.h"
#include "speech/textpreparation.h"
#include "speech/typedwords.h"

#include <QAbstractButton>
#include <QClipboard>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QTextCursor>
#include <QTextEdit>
#include <QTimer>

using namespace Qt::StringLiterals;

namespace velmira {

namespace {

QString clipboardText()
{
    // No text on the clipboard (a picture, files, nothing at all) reads as the empty text.
    return QGuiApplication::clipboard()->text();
}

} // namespace

TrackingController::TrackingController(const Controls &controls, ReadingController::Window window, QObject *parent)
    : QObject(parent), m_controls(controls), m_window(std::move(window)),
      m_blindInBackground(QGuiApplication::platformName().startsWith(u"wayland"_s))
{
    Q_ASSERT(m_controls.typingButton && m_controls.clipboardButton && m_controls.timer && m_controls.editor);
    Q_ASSERT(m_window.speech && m_window.statusMessage && m_window.prompter);
    connect(m_controls.timer, &QTimer::timeout, this, &TrackingController::Timer1Timer);
    // Tracking follows the clipboard button's state, however it changes: its own click, its menu item,
    // a screen reader's "Toggle", or typing tracking going on.
    connect(m_controls.clipboardButton, &QAbstractButton::toggled, this, &TrackingController::clipboardToggled);
}

QString TrackingController::blindNotice()
{
    return u"Буфер слышен, только пока окно программы активно"_s;
}

void TrackingController::trackingStarted()
{
    m_controls.timer->start();
    if (m_blindInBackground && !m_blindNoticeShown) {
        m_blindNoticeShown = true;
        m_window.statusMessage(blindNotice());
    }
}

void TrackingController::restoreClipboardTracking()
{
    // The text already on the clipboard at start is remembered, not spoken.
    m_remembered = clipboardText();
    if (m_controls.clipboardButton->isChecked())
        trackingStarted();
    else
        m_controls.clipboardButton->setChecked(true);
}

void TrackingController::speakFailure(const std::exception &failure)
{
    if (const auto *runaway = dynamic_cast<const DictionaryRunaway *>(&failure)) {
        // Not the sound card: say which line of the dictionary to mend.
        m_window.prompter->message(m_window.owner, programCaption(), runaway->message(), Prompter::Icon::Warning,
                                   Prompter::Button::Ok);
        return;
    }
    m_window.statusMessage(ReadingController::failureText());
}

void TrackingController::ReadClipboard()
{
    try {
        const QString text = clipboardText();
        if (text.isEmpty()) {
            m_window.statusMessage(u"В буфере нет текста"_s);
            return;
        }
        SpeechControl *speech = m_window.speech();
        if (!speech)
            return;
        speech->Speak(prepareText(text));
        speech->AudioResume();
    } catch (const std::exception &failure) {
        speakFailure(failure);
    }
}

void TrackingController::clipboardToggled(bool down)
{
    if (down) {
        // The remembered text stays: a clipboard text not seen before is spoken at the first tick.
        trackingStarted();
        return;
    }
    m_controls.timer->stop();
    if (SpeechControl *speech = m_window.speech())
        speech->AudioReset();
}

void TrackingController::N15Click()
{
    m_controls.clipboardButton->toggle();
}

void TrackingController::N21Click()
{
    m_controls.typingButton->toggle();
}

void TrackingController::Timer1Timer()
{
    try {
        const QString text = clipboardText();
        if (text == m_remembered)
            return;
        m_remembered = text;
        SpeechControl *speech = m_window.speech();
        if (!speech)
            return;
        speech->AudioReset();
        speech->Speak(prepareText(text));
    } catch (const std::exception &failure) {
        speakFailure(failure);
    }
}

bool TrackingController::keyTyped(QKeyEvent *event)
{
    if (!m_controls.typingButton->isChecked())
        return false;
    const QChar typed = typedCharacter(*event);
    const int caret = m_controls.editor->textCursor().selectionStart();
    if (typed.isNull() || !endsWord(typed, caret))
        return false;
    SpeechControl *speech = m_window.speech();
    if (!speech)
        return false;
    // Read the text with a cursor of our own, so that the caret and a selection (which the typed
    // character replaces) stay as they are.
    QTextCursor window(m_controls.editor->document());
    window.setPosition(std::max(0, caret - TypedWordWindow));
    window.setPosition(caret, QTextCursor::KeepAnchor);
    const QString text = window.selectedText();
    speech->Speak(prepareText(wordAtEnd(text).toString()));
    return false;
}

} // namespace velmira
