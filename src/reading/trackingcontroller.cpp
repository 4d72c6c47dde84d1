#include "trackingcontroller.h"

#include "reading/readinghost.h"
#include "reading/typedwords.h"
#include "speech/speechcontrol.h"

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

TrackingController::TrackingController(const Controls &controls, ReadingHost &host, QObject *parent)
    : QObject(parent), m_controls(controls), m_host(host), m_speaker(host),
      m_blindInBackground(QGuiApplication::platformName().startsWith(u"wayland"_s))
{
    Q_ASSERT(m_controls.typingButton && m_controls.clipboardButton && m_controls.timer && m_controls.editor);
    connect(m_controls.timer, &QTimer::timeout, this, &TrackingController::pollClipboard);
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
        m_host.statusMessage(blindNotice());
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

void TrackingController::ReadClipboard()
{
    const QString text = clipboardText();
    if (text.isEmpty()) {
        m_host.statusMessage(u"В буфере нет текста"_s);
        return;
    }
    m_speaker.say(text, Speaker::Turn::QueueAndResume, Speaker::Report::StatusBar);
}

void TrackingController::clipboardToggled(bool down)
{
    if (down) {
        // The remembered text stays: a clipboard text not seen before is spoken at the first tick.
        trackingStarted();
        return;
    }
    m_controls.timer->stop();
    if (SpeechControl *speech = m_host.speech())
        speech->AudioReset();
}

void TrackingController::toggleClipboardTracking()
{
    m_controls.clipboardButton->toggle();
}

void TrackingController::toggleTypingTracking()
{
    m_controls.typingButton->toggle();
}

void TrackingController::pollClipboard()
{
    const QString text = clipboardText();
    if (text == m_remembered)
        return;
    m_remembered = text;
    m_speaker.say(text, Speaker::Turn::CutOff, Speaker::Report::StatusBar);
}

bool TrackingController::keyTyped(QKeyEvent *event)
{
    if (!m_controls.typingButton->isChecked())
        return false;
    const QChar typed = typedCharacter(*event);
    const int caret = m_controls.editor->textCursor().selectionStart();
    if (typed.isNull() || !endsWord(typed, caret))
        return false;
    if (!m_host.speech())
        return false;
    // Read the text with a cursor of our own, so that the caret and a selection (which the typed
    // character replaces) stay as they are.
    QTextCursor window(m_controls.editor->document());
    window.setPosition(std::max(0, caret - TypedWordWindow));
    window.setPosition(caret, QTextCursor::KeepAnchor);
    const QString text = window.selectedText();
    m_speaker.sayOrThrow(wordAtEnd(text).toString(), Speaker::Turn::Queue);
    return false;
}

} // namespace velmira
