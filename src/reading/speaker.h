// The one way a text is spoken for the user: prepared with the correction dictionary, handed to the
// main speech control, and a failure reported.
#pragma once

#include <QString>

#include <functional>

namespace velmira {

class ReadingHost;
class SpeechControl;

class Speaker
{
public:
    // How a text joins the speech.
    enum class Turn {
        Queue,          // behind whatever is queued
        QueueAndResume, // behind whatever is queued, and held speech resumes
        CutOff,         // whatever is being spoken is cut off first
    };
    // Where a failure is reported. A dictionary that runs away is always reported in a message box,
    // with the line to mend; any other failure as speechFailureText().
    enum class Report { StatusBar, MessageBox };

    explicit Speaker(ReadingHost &host) : m_host(host) {}

    // Prepares `text` and speaks it on the main speech control. Without a control nothing happens.
    // Returns whether the text was handed to the control; a failure is reported where `report` says.
    // When `spoken` is given it receives the prepared text handed to the control.
    bool say(const QString &text, Turn turn, Report report, QString *spoken = nullptr);
    // The same without reporting: failures are thrown to the caller.
    void sayOrThrow(const QString &text, Turn turn, QString *spoken = nullptr);

    // Prepares `text` and speaks it on `speech`. Returns the prepared text. Throws what text
    // preparation and the control throw.
    static QString speak(SpeechControl &speech, const QString &text, Turn turn);

    // Runs `action` on the main speech control and reports its failure as say does. Without a control
    // nothing happens. Returns whether the action ran without failing.
    bool attempt(const std::function<void(SpeechControl &)> &action, Report report);
    // Shows `text` in a message box over the main window, as a failure is reported there.
    void showInBox(const QString &text);

private:
    ReadingHost &m_host;
};

} // namespace velmira
