#include "speaker.h"

#include "common/core/prompter.h"
#include "dictionary/textpreparation.h"
#include "reading/readinghost.h"
#include "speech/speechcontrol.h"

namespace velmira {

QString Speaker::speak(SpeechControl &speech, const QString &text, Turn turn)
{
    if (turn == Turn::CutOff)
        speech.AudioReset();
    QString prepared = prepareText(text);
    speech.Speak(prepared);
    if (turn == Turn::QueueAndResume)
        speech.AudioResume();
    return prepared;
}

void Speaker::sayOrThrow(const QString &text, Turn turn, QString *spoken)
{
    if (SpeechControl *speech = m_host.speech()) {
        QString prepared = speak(*speech, text, turn);
        if (spoken)
            *spoken = std::move(prepared);
    }
}

bool Speaker::say(const QString &text, Turn turn, Report report, QString *spoken)
{
    return attempt(
        [&](SpeechControl &speech) {
            QString prepared = speak(speech, text, turn);
            if (spoken)
                *spoken = std::move(prepared);
        },
        report);
}

bool Speaker::attempt(const std::function<void(SpeechControl &)> &action, Report report)
{
    SpeechControl *speech = m_host.speech();
    if (!speech)
        return false;
    try {
        action(*speech);
        return true;
    } catch (const DictionaryRunaway &runaway) {
        // Not the sound card: say which line of the dictionary to mend.
        showInBox(runaway.message());
    } catch (const std::exception &) {
        if (report == Report::StatusBar)
            m_host.statusMessage(speechFailureText());
        else
            showInBox(speechFailureText());
    }
    return false;
}

void Speaker::showInBox(const QString &text)
{
    m_host.prompter().message(m_host.dialogOwner(), programCaption(), text, Prompter::Icon::Warning,
                              Prompter::Button::Ok);
}

} // namespace velmira
